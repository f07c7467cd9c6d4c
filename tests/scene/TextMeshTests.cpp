#include "platform/mesh/MeshError.h"
#include "platform/mesh/MeshResource.h"

#include <glm/geometric.hpp>
#include <gtest/gtest.h>

using namespace gloam::platform;

namespace {

// How many front-facing (+z) triangles cover the point (x, y).
int frontCover(const MeshResource& mesh, glm::vec2 p)
{
    int covered = 0;
    for (const auto& part : mesh.parts()) {
        for (std::size_t i = 0; i < part.indices.size(); i += 3) {
            if (part.normals[part.indices[i]].z < 0.99f) {
                continue;
            }
            const glm::vec2 a(part.positions[part.indices[i]]);
            const glm::vec2 b(part.positions[part.indices[i + 1]]);
            const glm::vec2 c(part.positions[part.indices[i + 2]]);
            auto side = [](glm::vec2 u, glm::vec2 v, glm::vec2 w) {
                return (v.x - u.x) * (w.y - u.y) - (v.y - u.y) * (w.x - u.x);
            };
            const float d1 = side(a, b, p), d2 = side(b, c, p), d3 = side(c, a, p);
            if ((d1 >= 0 && d2 >= 0 && d3 >= 0) || (d1 <= 0 && d2 <= 0 && d3 <= 0)) {
                ++covered;
            }
        }
    }
    return covered;
}

} // namespace

TEST(TextMesh, LettersKeepTheirHolesAndFaceTheRightWay)
{
    const float size = 1.0f;
    auto o = MeshResource::generateText("O", 0.1f, {"Inter", size, MeshResource::FontWeight::semibold});
    const BoundingBox b = o->bounds();
    const glm::vec2 centre((b.min.x + b.max.x) / 2, (b.min.y + b.max.y) / 2);
    EXPECT_EQ(frontCover(*o, centre), 0) << "the counter of the O is filled";
    // Just inside the left edge of the ring: covered exactly once.
    EXPECT_EQ(frontCover(*o, {b.min.x + 0.03f, centre.y}), 1);
    EXPECT_EQ(frontCover(*o, {b.min.x - 0.05f, centre.y}), 0);
    EXPECT_NEAR(b.min.z, -0.05f, 1e-6f);
    EXPECT_NEAR(b.max.z, 0.05f, 1e-6f);
    // Capital height of a 1 m font is most of a metre, sitting on the baseline.
    EXPECT_GT(b.max.y, 0.6f);
    EXPECT_LT(b.max.y, 0.85f);
    EXPECT_NEAR(b.min.y, 0.0f, 0.03f);

    // Two holes in a B; every triangle's winding agrees with its normal.
    auto word = MeshResource::generateText("ZARVO", 0.002f, {"Inter", 0.064f, MeshResource::FontWeight::semibold});
    const auto& part = word->parts()[0];
    for (std::size_t i = 0; i < part.indices.size(); i += 3) {
        const glm::vec3 a = part.positions[part.indices[i]];
        const glm::vec3 n =
            glm::cross(part.positions[part.indices[i + 1]] - a, part.positions[part.indices[i + 2]] - a);
        if (glm::length(n) > 1e-12f) {
            ASSERT_GT(glm::dot(n, part.normals[part.indices[i]]), 0.0f) << "triangle " << i / 3;
        }
    }
    // Left aligned from x = 0, about five letters wide.
    EXPECT_GE(word->bounds().min.x, 0.0f);
    EXPECT_LT(word->bounds().min.x, 0.01f);
    EXPECT_GT(word->bounds().extents().x, 0.18f);
    EXPECT_LT(word->bounds().extents().x, 0.3f);
}

TEST(TextMesh, SideWallsFaceOutOfTheLetter)
{
    auto o = MeshResource::generateText("O", 0.2f, {"Inter", 1.0f, MeshResource::FontWeight::regular});
    const BoundingBox b = o->bounds();
    const glm::vec2 centre((b.min.x + b.max.x) / 2, (b.min.y + b.max.y) / 2);
    // The outer wall's normals point away from the centre, the inner wall's towards it;
    // both walls exist.
    int outward = 0, inward = 0;
    for (const auto& part : o->parts()) {
        for (std::size_t v = 0; v < part.positions.size(); ++v) {
            if (std::abs(part.normals[v].z) > 0.01f) {
                continue;
            }
            const glm::vec2 radial = glm::vec2(part.positions[v]) - centre;
            const bool outer = std::abs(radial.x) > (b.max.x - b.min.x) * 0.4f;
            const float facing = glm::dot(glm::vec2(part.normals[v]), glm::normalize(radial));
            if (std::abs(radial.y) > 0.05f) {
                continue; // judge only points beside the centre, left and right
            }
            (outer ? outward : inward) += 1;
            ASSERT_EQ(facing > 0.0f, outer) << "wall normal at " << radial.x;
        }
    }
    EXPECT_GT(outward, 0);
    EXPECT_GT(inward, 0);
}

TEST(TextMesh, BlankTextIsAnEmptyMeshAndBadSizesAreRefused)
{
    auto blank = MeshResource::generateText(" ", 0.1f, {"Inter", 0.1f});
    EXPECT_EQ(blank->bounds().extents(), glm::vec3(0.0f));
    EXPECT_THROW(MeshResource::generateText("A", 0.1f, {"Inter", 0.0f}), MeshError);
    // Two lines: the second baseline is below the first.
    auto twoLines = MeshResource::generateText("A\nA", 0.0f, {"Inter", 1.0f});
    EXPECT_LT(twoLines->bounds().min.y, -0.9f);
}
