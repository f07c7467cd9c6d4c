// Lighter triangle lists over a mesh's own vertices.
#include "platform/render/LighterMesh.h"
#include "platform/render/PrimitiveMeshes.h"

#include <glm/geometric.hpp>
#include <glm/gtc/constants.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using gloam::render::LighterMesh;
using gloam::render::PrimitiveMeshes;

namespace {

std::vector<std::uint32_t> gridIndices(int cells, std::vector<glm::vec3>& positions)
{
    for (int z = 0; z <= cells; ++z) {
        for (int x = 0; x <= cells; ++x)
            positions.emplace_back(0.1f * static_cast<float>(x), 0.0f, 0.1f * static_cast<float>(z));
    }
    std::vector<std::uint32_t> indices;
    const auto at = [cells](int x, int z) { return static_cast<std::uint32_t>(z * (cells + 1) + x); };
    for (int z = 0; z < cells; ++z) {
        for (int x = 0; x < cells; ++x) {
            indices.insert(indices.end(), {at(x, z), at(x, z + 1), at(x + 1, z + 1)});
            indices.insert(indices.end(), {at(x, z), at(x + 1, z + 1), at(x + 1, z)});
        }
    }
    return indices;
}

glm::vec3 cornerCross(const std::vector<glm::vec3>& p, const std::vector<std::uint32_t>& indices, std::size_t t)
{
    return glm::cross(p[indices[t + 1]] - p[indices[t]], p[indices[t + 2]] - p[indices[t]]);
}

} // namespace

TEST(LighterMeshTest, aRoundMeshLosesMostTrianglesWhileItsFacesStayWithinTheBoundOfItsSurface)
{
    // Spheres of 2,304 triangles from a firefly's 5 cm to a 1 m boulder:
    // every face of the lighter list stays within the bound of the surface
    // (plus the sphere's own faceting); the smaller the ball, the fewer
    // triangles it keeps.
    const struct {
        float radius;
        float keptAtMost;
    } cases[] = {{0.05f, 0.25f}, {0.3f, 0.5f}, {1.0f, 0.75f}};
    for (const auto [radius, keptAtMost] : cases) {
        const auto sphere = PrimitiveMeshes::sphere(radius);
        const auto& positions = sphere->positions;
        const auto lighter = LighterMesh::indicesFor(positions, sphere->indices);
        ASSERT_EQ(lighter.size() % 3, 0u);
        EXPECT_LE(static_cast<float>(lighter.size()), keptAtMost * static_cast<float>(sphere->indices.size()))
            << radius;
        EXPECT_GE(lighter.size() / 3, 100u) << radius; // still a ball
        float deepest = 0.0f;
        for (std::size_t t = 0; t < lighter.size(); t += 3) {
            for (int corner = 0; corner < 3; ++corner)
                ASSERT_LT(lighter[t + static_cast<std::size_t>(corner)], positions.size());
            const glm::vec3 centre =
                (positions[lighter[t]] + positions[lighter[t + 1]] + positions[lighter[t + 2]]) / 3.0f;
            deepest = std::max(deepest, radius - glm::length(centre));
            // Faces keep facing out (the poles' slivers have no area at all).
            const glm::vec3 normal = cornerCross(positions, lighter, t);
            if (glm::length(normal) > 1e-6f * radius * radius) {
                EXPECT_GT(glm::dot(normal, centre), 0.0f) << radius;
            }
        }
        const float faceting = radius * (1.0f - std::cos(glm::pi<float>() / 24.0f));
        EXPECT_LE(deepest, 1.5f * LighterMesh::maximumError + faceting) << radius;
    }
}

TEST(LighterMeshTest, aFlatGridGoesDownToTheAimedShareCoveringTheSameArea)
{
    std::vector<glm::vec3> positions;
    const auto indices = gridIndices(64, positions); // 8,192 triangles, 6.4 m square
    const auto lighter = LighterMesh::indicesFor(positions, indices);
    // Flat: no error stops it before the share aimed at.
    EXPECT_LE(static_cast<float>(lighter.size()), LighterMesh::keptShare * static_cast<float>(indices.size()) + 3.0f);
    float area = 0.0f;
    for (std::size_t t = 0; t < lighter.size(); t += 3) {
        const glm::vec3 normal = cornerCross(positions, lighter, t);
        EXPECT_GE(normal.y, 0.0f); // the winding of the original
        area += 0.5f * glm::length(normal);
    }
    EXPECT_NEAR(area, 6.4f * 6.4f, 1e-3f);
}

TEST(LighterMeshTest, smallOrDegenerateMeshesAreKeptAsTheyAre)
{
    std::vector<glm::vec3> positions;
    const auto small = gridIndices(22, positions); // 968 triangles
    EXPECT_EQ(LighterMesh::indicesFor(positions, small), small);
    // 1,200 triangles on one point: nothing to measure the error against.
    const std::vector<glm::vec3> point(3, glm::vec3(1.0f));
    std::vector<std::uint32_t> stacked;
    for (int t = 0; t < 1200; ++t)
        stacked.insert(stacked.end(), {0, 1, 2});
    EXPECT_EQ(LighterMesh::indicesFor(point, stacked), stacked);
    EXPECT_TRUE(LighterMesh::indicesFor({}, {}).empty());
}
