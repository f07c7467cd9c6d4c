#pragma once

#include "platform/material/MaterialTypes.h"

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include <memory>
#include <string>

namespace gloam::platform {

class TextureResource;
using TexturePtr = std::shared_ptr<const TextureResource>;

// A metallic-roughness material, held by value: a copy is independent of
// the original (the textures it points at are immutable and shared).
// Units and meanings follow the usual glTF / Filament conventions: the base
// colour tint multiplies the texture, `specular` is the dielectric
// reflectance (0.5 = 4 %), emissive colour times intensity is the emitted
// radiance before exposure.
struct PhysicallyBasedMaterial {
    struct BaseColor {
        Color tint{1.0f, 1.0f, 1.0f, 1.0f};
        TexturePtr texture;
        bool operator==(const BaseColor&) const = default;
    };
    struct EmissiveColor {
        glm::vec3 color{0.0f};
        TexturePtr texture;
        bool operator==(const EmissiveColor&) const = default;
    };

    std::string name;
    BaseColor baseColor;
    float roughness = 0.5f;
    float metallic = 0.0f;
    float specular = 0.5f;
    TexturePtr normal;
    TexturePtr roughnessTexture; // glTF metallic-roughness texture: G = roughness, B = metallic
    TexturePtr occlusion;
    EmissiveColor emissiveColor;
    float emissiveIntensity = 1.0f;
    FaceCulling faceCulling = FaceCulling::back;
    Blending blending;

    bool operator==(const PhysicallyBasedMaterial&) const = default;
};

} // namespace gloam::platform
