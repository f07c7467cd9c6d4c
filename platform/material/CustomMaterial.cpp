#include "platform/material/CustomMaterial.h"

#include "platform/material/PhysicallyBasedMaterial.h"
#include "platform/material/UnlitMaterial.h"

#include <utility>

namespace gloam::platform {

CustomMaterial::CustomMaterial(const PhysicallyBasedMaterial& base, SurfaceShader shader)
    : name(base.name)
    , surfaceShader(std::move(shader))
    , lightingModel(LightingModel::lit)
    , baseColor{base.baseColor.tint, base.baseColor.texture}
    , roughness(base.roughness)
    , metallic(base.metallic)
    , specular(base.specular)
    , normal(base.normal)
    , emissiveColor{base.emissiveColor.color, base.emissiveColor.texture}
    , emissiveIntensity(base.emissiveIntensity)
    , faceCulling(base.faceCulling)
    , blending(base.blending)
{}

CustomMaterial::CustomMaterial(const UnlitMaterial& base, SurfaceShader shader)
    : name(base.name)
    , surfaceShader(std::move(shader))
    , lightingModel(LightingModel::unlit)
    , baseColor{base.color.tint, base.color.texture}
    , faceCulling(base.faceCulling)
    , blending(base.blending)
    , writesDepth(base.writesDepth)
    , toneMapped(base.toneMapped)
{}

} // namespace gloam::platform
