#pragma once

#include "platform/material/Material.h"
#include "platform/mesh/MeshResource.h"
#include "platform/scene/ModelEntity.h"

#include <glm/vec3.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace gloam {

// Builders of named procedural meshes and the model entities that show
// them. Positions are given, normals always derived; indices are three per
// triangle, counter-clockwise seen from the front. Every model made here has
// one material, casts no dynamic-light shadow and is added to the given
// parent.
//
// Sections below: general meshes and models; primitives placed in space;
// the surprises' own shapes.
class EggMesh {
public:
    EggMesh() = delete;

    // --- General meshes and models ---

    // A mesh from positions and triangle indices with smooth, area-weighted
    // normals (a vertex used by one triangle only gets that triangle's flat
    // normal; a vertex on no usable triangle gets +y). A trailing incomplete
    // triple is ignored. Throws platform::MeshError when the mesh is rejected
    // (no positions or triangles, an index out of range, a position that is
    // not finite).
    static platform::MeshPtr mesh(std::string name, std::vector<glm::vec3> positions,
                                  std::vector<std::uint32_t> indices);

    // The normals `mesh` derives, for callers that check or reuse them.
    static std::vector<glm::vec3> smoothNormals(const std::vector<glm::vec3>& positions,
                                                const std::vector<std::uint32_t>& indices);

    // A model entity with the mesh and the one material, at `position`
    // (local to `parent`), added to `parent`.
    static std::shared_ptr<platform::ModelEntity> model(platform::MeshPtr mesh, platform::Material material,
                                                        glm::vec3 position, platform::Entity& parent);
};

} // namespace gloam
