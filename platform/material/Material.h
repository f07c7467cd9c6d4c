#pragma once

#include "platform/material/CustomMaterial.h"
#include "platform/material/PhysicallyBasedMaterial.h"
#include "platform/material/UnlitMaterial.h"

#include <variant>

namespace gloam::platform {

// One material value of a model: a copy is a new, independent material.
// Ask what kind it is with `asPhysicallyBased` and its siblings (null when
// it is another kind), as the scene code does before changing a material.
using Material = std::variant<PhysicallyBasedMaterial, UnlitMaterial, CustomMaterial>;

inline PhysicallyBasedMaterial* asPhysicallyBased(Material& m)
{
    return std::get_if<PhysicallyBasedMaterial>(&m);
}
inline const PhysicallyBasedMaterial* asPhysicallyBased(const Material& m)
{
    return std::get_if<PhysicallyBasedMaterial>(&m);
}
inline UnlitMaterial* asUnlit(Material& m)
{
    return std::get_if<UnlitMaterial>(&m);
}
inline const UnlitMaterial* asUnlit(const Material& m)
{
    return std::get_if<UnlitMaterial>(&m);
}
inline CustomMaterial* asCustom(Material& m)
{
    return std::get_if<CustomMaterial>(&m);
}
inline const CustomMaterial* asCustom(const Material& m)
{
    return std::get_if<CustomMaterial>(&m);
}

// The material's name, whatever its kind.
inline const std::string& materialName(const Material& m)
{
    return std::visit([](const auto& v) -> const std::string& { return v.name; }, m);
}

} // namespace gloam::platform
