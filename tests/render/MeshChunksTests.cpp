// Splitting a large mesh into parts drawn on their own.
#include "platform/render/MeshChunks.h"

#include <glm/vector_relational.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

using gloam::render::MeshChunks;

namespace {

// A flat grid of cells × cells squares (two triangles each) over 0..cells.
void grid(int cells, std::vector<glm::vec3>& positions, std::vector<std::uint32_t>& indices)
{
    for (int z = 0; z <= cells; ++z) {
        for (int x = 0; x <= cells; ++x)
            positions.emplace_back(static_cast<float>(x), 0.0f, static_cast<float>(z));
    }
    const auto at = [cells](int x, int z) { return static_cast<std::uint32_t>(z * (cells + 1) + x); };
    for (int z = 0; z < cells; ++z) {
        for (int x = 0; x < cells; ++x) {
            indices.insert(indices.end(), {at(x, z), at(x, z + 1), at(x + 1, z + 1)});
            indices.insert(indices.end(), {at(x, z), at(x + 1, z + 1), at(x + 1, z)});
        }
    }
}

std::vector<std::array<std::uint32_t, 3>> triangles(const std::vector<std::uint32_t>& indices)
{
    std::vector<std::array<std::uint32_t, 3>> list;
    for (std::size_t i = 0; i + 2 < indices.size(); i += 3)
        list.push_back({indices[i], indices[i + 1], indices[i + 2]});
    std::sort(list.begin(), list.end());
    return list;
}

} // namespace

TEST(MeshChunksTest, everyTriangleLandsInExactlyOneCompactPartWithItsWindingKept)
{
    std::vector<glm::vec3> positions;
    std::vector<std::uint32_t> indices;
    grid(64, positions, indices); // 8,192 triangles
    const MeshChunks parts = MeshChunks::split(positions, indices, 1000);

    EXPECT_EQ(triangles(parts.indices), triangles(indices));
    ASSERT_EQ(parts.chunks.size(), 16u); // halved four times: 512 each
    int next = 0;
    for (const auto& chunk : parts.chunks) {
        EXPECT_EQ(chunk.firstIndex, next);
        EXPECT_LE(chunk.indexCount / 3, 1000);
        next += chunk.indexCount;
        // Each part is a compact block (a sixteenth of the grid), and its
        // bounds hold every vertex of its triangles.
        const glm::vec3 extent = chunk.boundsMax - chunk.boundsMin;
        EXPECT_LE(extent.x * extent.z, 64.0f * 64.0f / 16.0f * 1.2f);
        for (int i = chunk.firstIndex; i < chunk.firstIndex + chunk.indexCount; ++i) {
            const glm::vec3 p = positions[parts.indices[static_cast<std::size_t>(i)]];
            EXPECT_TRUE(glm::all(glm::greaterThanEqual(p, chunk.boundsMin)) &&
                        glm::all(glm::lessThanEqual(p, chunk.boundsMax)));
        }
    }
    EXPECT_EQ(next, static_cast<int>(indices.size()));
}

TEST(MeshChunksTest, aMeshWithinTheLimitOrOfOnePointStaysOnePart)
{
    std::vector<glm::vec3> positions;
    std::vector<std::uint32_t> indices;
    grid(4, positions, indices);
    EXPECT_EQ(MeshChunks::split(positions, indices, 32).chunks.size(), 1u);
    // Triangles all at one point cannot be split; they are not lost.
    const std::vector<glm::vec3> point(3, glm::vec3(1.0f));
    const std::vector<std::uint32_t> repeated = {0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2};
    const MeshChunks parts = MeshChunks::split(point, repeated, 1);
    EXPECT_EQ(parts.chunks.size(), 1u);
    EXPECT_EQ(parts.indices.size(), repeated.size());
}
