#pragma once

#include "platform/material/Material.h"
#include "platform/mesh/MeshResource.h"

#include <utility>
#include <vector>

namespace gloam::platform {

// What an entity draws: a mesh and the materials of its parts (part i uses
// materials[part.materialIndex], the last material when the list is short).
// A value: read it, change it, write it back with `set`.
struct ModelComponent {
    ModelComponent() = default;
    ModelComponent(MeshPtr mesh_, std::vector<Material> materials_)
        : mesh(std::move(mesh_))
        , materials(std::move(materials_))
    {}

    MeshPtr mesh;
    std::vector<Material> materials;

    // The material that draws a part, or null when the list is empty.
    const Material* materialFor(const MeshResource::Part& part) const
    {
        if (materials.empty()) {
            return nullptr;
        }
        return &materials[std::min<std::size_t>(part.materialIndex, materials.size() - 1)];
    }
};

} // namespace gloam::platform
