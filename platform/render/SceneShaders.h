#pragma once

#include <string>

namespace gloam::render {

// The GLSL of the renderer's own programs.
//
// Scene programs share three blocks: `Frame` (uniform binding 1: camera,
// exposure, directional light, shadow, image-based light), `PointLights`
// (storage binding 2: two vec4 per light) and `Draw` (uniform binding 3:
// transforms and material values), plus `Joints` (storage binding 4) for
// skinned meshes. Texture units: 0 base colour, 1 normal, 2 roughness and
// metallic, 3 emissive, 4 occlusion, 5 custom, 8 shadow map, 9 environment.
//
// A custom material's surface function has the form
//     void name(inout Surface s)
// and may read `s` (base colour, opacity, roughness, metallic, specular,
// emissive, normal, occlusion, uv, position, custom value) and the samplers
// `baseColorTexture` and `customTexture`; what it leaves in `s` is shaded.
struct SceneShaders {
    static std::string sceneVertex(bool skinned);
    // `surface` is a spliced surface library (ShaderLibrary::surfaceSource)
    // or empty. `unlit` chooses the unlit path.
    static std::string sceneFragment(bool unlit, const std::string& surface);
    static std::string shadowVertex(bool skinned);
    static std::string shadowFragment();
    static std::string fullscreenVertex();
    // Tone mapping, anti-aliasing (FXAA) and display encoding, HDR → output.
    static std::string presentFragment();
    // Overlay quads: textured by a coverage-and-colour image.
    static std::string overlayVertex();
    static std::string overlayFragment();
};

} // namespace gloam::render
