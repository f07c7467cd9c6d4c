#pragma once

#include "platform/material/MaterialTypes.h"
#include "platform/material/SurfaceShader.h"

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include <memory>
#include <string>

namespace gloam::platform {

class TextureResource;
using TexturePtr = std::shared_ptr<const TextureResource>;
struct PhysicallyBasedMaterial;
struct UnlitMaterial;

// A material whose surface is computed by a named surface function, on top
// of the ordinary material inputs it was made from. The function sees every
// input below plus the four-component `custom.value`.
struct CustomMaterial {
    enum class LightingModel { lit, unlit };
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
    struct Custom {
        glm::vec4 value{0.0f};
        TexturePtr texture;
        bool operator==(const Custom&) const = default;
    };

    // Made from a base material: every input of the base is kept.
    CustomMaterial(const PhysicallyBasedMaterial& base, SurfaceShader shader);
    CustomMaterial(const UnlitMaterial& base, SurfaceShader shader);

    std::string name;
    SurfaceShader surfaceShader;
    LightingModel lightingModel = LightingModel::lit;
    BaseColor baseColor;
    float roughness = 0.5f;
    float metallic = 0.0f;
    float specular = 0.5f;
    TexturePtr normal;
    EmissiveColor emissiveColor;
    float emissiveIntensity = 1.0f;
    Custom custom;
    FaceCulling faceCulling = FaceCulling::back;
    Blending blending;
    bool writesDepth = true;
    // Unlit only: whether the frame's tone mapping applies to the colour.
    bool toneMapped = true;

    bool operator==(const CustomMaterial&) const = default;
};

} // namespace gloam::platform
