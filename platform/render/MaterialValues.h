#pragma once

#include "platform/render/ImageData.h"

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include <memory>
#include <string>

namespace gloam::gpu {
class ShaderLibrary;
}

namespace gloam::render {

enum class FaceCulling { none, front, back };

// The values of one material as drawn in one frame (a copy: the scene may
// change its materials while the frame is drawn).
//
// physicallyBased: metallic-roughness with a specular level (Filament's
//   model); colours linear; emissive = colour × texture × intensity, where
//   intensity 1 is display white, so glows above 1 exceed white.
// unlit: colour × texture, untouched by light; `toneMapped` false shows the
//   colour as it is on the display.
// custom: a surface function from a shader library runs after the base
//   values are read and may change any of them (see SceneShaders).
struct MaterialValues {
    enum class Model { physicallyBased, unlit, custom };

    Model model = Model::physicallyBased;
    glm::vec4 baseColor{1.0f};
    ImagePtr baseColorTexture;
    float roughness = 0.5f;
    float metallic = 0.0f;
    float specular = 0.5f;
    ImagePtr normalTexture;
    ImagePtr roughnessMetallicTexture; // G roughness, B metallic (glTF)
    ImagePtr occlusionTexture;         // R
    glm::vec3 emissiveColor{0.0f};
    ImagePtr emissiveTexture;
    float emissiveIntensity = 1.0f;

    FaceCulling faceCulling = FaceCulling::back;
    bool transparent = false; // blended over what lies behind
    float opacity = 1.0f;     // multiplies the base colour's alpha when transparent
    bool writesDepth = true;
    bool toneMapped = true; // unlit only

    // Custom materials.
    std::shared_ptr<const gpu::ShaderLibrary> surfaceLibrary;
    std::string surfaceFunction;
    bool customLit = true;
    glm::vec4 customValue{0.0f};
    ImagePtr customTexture;
};

} // namespace gloam::render
