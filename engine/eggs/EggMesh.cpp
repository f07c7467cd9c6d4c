#include "engine/eggs/EggMesh.h"

#include "platform/scene/DynamicLightShadowComponent.h"

#include <glm/geometric.hpp>

#include <utility>

namespace gloam {

namespace {

// Normals shorter than this come from vertices on degenerate triangles only.
constexpr float shortestNormal = 1e-6F;

} // namespace

std::vector<glm::vec3> EggMesh::smoothNormals(const std::vector<glm::vec3>& positions,
                                              const std::vector<std::uint32_t>& indices)
{
    std::vector<glm::vec3> normals(positions.size(), glm::vec3(0.0F));
    const std::size_t count = positions.size();
    for (std::size_t i = 0; i + 2 < indices.size(); i += 3) {
        const std::uint32_t a = indices[i];
        const std::uint32_t b = indices[i + 1];
        const std::uint32_t c = indices[i + 2];
        if (a >= count || b >= count || c >= count) {
            continue; // the mesh check below reports it
        }
        // Not normalised: larger triangles weigh more.
        const glm::vec3 n = glm::cross(positions[b] - positions[a], positions[c] - positions[a]);
        normals[a] += n;
        normals[b] += n;
        normals[c] += n;
    }
    for (glm::vec3& n : normals) {
        const float length = glm::length(n);
        n = length > shortestNormal ? n / length : glm::vec3(0.0F, 1.0F, 0.0F);
    }
    return normals;
}

platform::MeshPtr EggMesh::mesh(std::string name, std::vector<glm::vec3> positions, std::vector<std::uint32_t> indices)
{
    indices.resize(indices.size() - indices.size() % 3);
    platform::MeshDescriptor descriptor;
    descriptor.name = std::move(name);
    descriptor.normals = smoothNormals(positions, indices);
    descriptor.positions = std::move(positions);
    descriptor.indices = std::move(indices);
    return platform::MeshResource::generate(std::move(descriptor));
}

std::shared_ptr<platform::ModelEntity> EggMesh::model(platform::MeshPtr mesh, platform::Material material,
                                                      glm::vec3 position, platform::Entity& parent)
{
    auto entity = platform::ModelEntity::make(std::move(mesh), {std::move(material)});
    entity->components.set(platform::DynamicLightShadowComponent{false});
    entity->setPosition(position);
    parent.addChild(entity);
    return entity;
}

} // namespace gloam
