#pragma once

#include <cstdint>
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
// `baseColorTexture` and `customTexture` (sampled at
// `textureCoordinate(s.uv)`); what it leaves in `s` is shaded.
struct SceneShaders {
    static std::string sceneVertex(bool skinned);
    // Compile-time features of a scene fragment program: a software
    // renderer runs every branch of a shader, so what a draw does not use
    // is left out of its program rather than skipped at run time.
    enum Feature : std::uint32_t {
        unlit = 1u << 0,
        rawColour = 1u << 1, // unlit, shown without tone mapping
        baseTexture = 1u << 2,
        roughnessTexture = 1u << 3,
        emissiveTexture = 1u << 4,
        occlusionTexture = 1u << 5,
        normalMap = 1u << 6,
        tangents = 1u << 7,
        sun = 1u << 8,
        sunShadow = 1u << 9,
        environment = 1u << 10,
        pointLights = 1u << 11,
        // The environment map sampled for reflections; without it, rough
        // materials take the reflection from the irradiance. A software
        // renderer pays dearly for a per-pixel level of detail.
        glossyEnvironment = 1u << 12,
        // One bilinear shadow comparison instead of four (software tier).
        singleShadowTap = 1u << 13,
        // Bits 16 to 19: 1 + the number of point lights the draw passes as
        // uniforms (`drawLights`); 0: the per-cluster lists (pointLights).
        drawLightsField = 0xFu << 16,
    };
    static constexpr std::uint32_t drawLights(int count) { return static_cast<std::uint32_t>(count + 1) << 16; }
    // `surface` is a spliced surface library (ShaderLibrary::surfaceSource)
    // or empty.
    static std::string sceneFragment(std::uint32_t features, const std::string& surface);
    static std::string shadowVertex(bool skinned);
    static std::string shadowFragment();
    static std::string fullscreenVertex();
    // Tone mapping, anti-aliasing (FXAA) and display encoding, HDR → output;
    // `scaled`: the picture is smaller than the output and filtered up.
    static std::string presentFragment(bool scaled = false);
    // Overlay quads: textured by a coverage-and-colour image.
    static std::string overlayVertex();
    static std::string overlayFragment();
};

} // namespace gloam::render
