#include "platform/render/LighterMesh.h"

#include <meshoptimizer.h>

namespace gloam::render {

std::vector<std::uint32_t> LighterMesh::indicesFor(const std::vector<glm::vec3>& positions,
                                                   const std::vector<std::uint32_t>& indices)
{
    const std::size_t triangles = indices.size() / 3;
    if (triangles < static_cast<std::size_t>(fromTriangles) || positions.empty())
        return indices;
    const float* vertices = &positions[0].x;
    // The simplifier's error is relative to the mesh's extent.
    const float extent = meshopt_simplifyScale(vertices, positions.size(), sizeof(glm::vec3));
    if (!(extent > 0.0f))
        return indices;
    const auto target = static_cast<std::size_t>(static_cast<float>(triangles) * keptShare) * 3;
    std::vector<std::uint32_t> lighter(triangles * 3);
    lighter.resize(meshopt_simplify(lighter.data(), indices.data(), triangles * 3, vertices, positions.size(),
                                    sizeof(glm::vec3), target, maximumError / extent, 0, nullptr));
    if (lighter.empty() || lighter.size() >= triangles * 3)
        return indices;
    // In an order that reuses the rasteriser's recently shaded vertices.
    meshopt_optimizeVertexCache(lighter.data(), lighter.data(), lighter.size(), positions.size());
    return lighter;
}

} // namespace gloam::render
