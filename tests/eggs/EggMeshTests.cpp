#include "engine/eggs/EggMesh.h"

#include "platform/material/UnlitMaterial.h"
#include "platform/mesh/MeshError.h"
#include "platform/scene/DynamicLightShadowComponent.h"
#include "platform/scene/ModelComponent.h"

#include <gtest/gtest.h>

#include <glm/geometric.hpp>
#include <glm/gtx/quaternion.hpp>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace gloam;

namespace {

void expectVec(glm::vec3 actual, glm::vec3 expected, float tolerance = 1e-6F)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// The part lives in the mesh: a mesh made for the call would be gone
// before the part is read.
const platform::MeshResource::Part& onlyPart(const platform::MeshPtr& mesh)
{
    EXPECT_EQ(mesh->parts().size(), 1U);
    return mesh->parts().front();
}
const platform::MeshResource::Part& onlyPart(platform::MeshPtr&& mesh) = delete;

void expectNear(glm::vec3 actual, glm::vec3 expected, float tolerance = 1e-5F)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

bool castsShadow(const platform::Entity& entity)
{
    const auto* shadow = entity.components.get<platform::DynamicLightShadowComponent>();
    return shadow == nullptr || shadow->castsShadow;
}

float signedArea(const std::vector<glm::vec2>& points)
{
    float sum = 0.0F;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const glm::vec2 a = points[i];
        const glm::vec2 b = points[(i + 1) % points.size()];
        sum += a.x * b.y - a.y * b.x;
    }
    return sum * 0.5F;
}

// The mouth outline of the charging surprise's pumpkin (clockwise, with
// two teeth hanging from the upper lip and one standing on the lower).
std::vector<glm::vec2> mouth()
{
    return {{-0.116F, -0.025F}, {-0.078F, -0.039F}, {-0.053F, -0.042F}, {-0.053F, -0.065F}, {-0.029F, -0.067F},
            {-0.029F, -0.044F}, {0.03F, -0.044F},   {0.03F, -0.067F},   {0.054F, -0.065F},  {0.054F, -0.042F},
            {0.08F, -0.038F},   {0.116F, -0.025F},  {0.094F, -0.078F},  {0.057F, -0.104F},  {0.013F, -0.114F},
            {0.013F, -0.093F},  {-0.012F, -0.093F}, {-0.012F, -0.114F}, {-0.057F, -0.104F}, {-0.094F, -0.078F}};
}

} // namespace

TEST(EggMeshTest, OneTriangleFacesItsCounterClockwiseSide)
{
    const platform::MeshPtr mesh = EggMesh::mesh("One", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 2});
    ASSERT_EQ(mesh->parts().size(), 1U);
    const auto& part = mesh->parts().front();
    EXPECT_EQ(mesh->name(), "One");
    ASSERT_EQ(part.normals.size(), 3U);
    for (const glm::vec3& n : part.normals) {
        expectVec(n, {0, 0, 1});
    }
}

TEST(EggMeshTest, SharedVerticesAreSmoothAndWeightedByArea)
{
    // Two triangles folded along the x axis: a small one facing +z and a
    // four times larger one facing +y. The shared edge leans towards the larger.
    const std::vector<glm::vec3> positions{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, -2}, {2, 0, 0}};
    const std::vector<std::uint32_t> indices{0, 1, 2, 0, 4, 3};
    const std::vector<glm::vec3> normals = EggMesh::smoothNormals(positions, indices);
    expectVec(normals[2], {0, 0, 1});
    expectVec(normals[3], {0, 1, 0});
    expectVec(normals[0], glm::normalize(glm::vec3(0, 4, 1)));
    // The mesh carries exactly those normals.
    const platform::MeshPtr mesh = EggMesh::mesh("Fold", positions, indices);
    for (std::size_t i = 0; i < positions.size(); ++i) {
        expectVec(mesh->parts().front().normals[i], normals[i]);
    }
}

TEST(EggMeshTest, DegenerateTrianglesAndATrailingPairAddNothing)
{
    // Vertex 3 is used only by a triangle whose corners coincide; the last
    // two indices are an incomplete triple and are dropped.
    const std::vector<glm::vec3> positions{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}};
    const platform::MeshPtr mesh = EggMesh::mesh("Degenerate", positions, {0, 1, 2, 3, 3, 3, 0, 1});
    const auto& part = mesh->parts().front();
    EXPECT_EQ(part.indices.size(), 6U);
    expectVec(part.normals[3], {0, 1, 0});
    expectVec(part.normals[0], {0, 0, 1});
}

TEST(EggMeshTest, RejectedMeshesThrow)
{
    EXPECT_THROW(EggMesh::mesh("Empty", {}, {}), platform::MeshError);
    EXPECT_THROW(EggMesh::mesh("OutOfRange", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 7}), platform::MeshError);
    EXPECT_THROW(EggMesh::mesh("NotFinite", {{0, 0, 0}, {1, 0, 0}, {0, NAN, 0}}, {0, 1, 2}), platform::MeshError);
}

TEST(EggMeshTest, ModelsJoinTheirParentWithOneMaterialAndNoShadow)
{
    auto parent = platform::Entity::make("Parent");
    const platform::MeshPtr mesh = EggMesh::mesh("One", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 2});
    const auto model =
        EggMesh::model(mesh, platform::UnlitMaterial(platform::rgb(1, 0, 0)), glm::vec3(0.5F, 1.0F, 0.0F), *parent);
    ASSERT_EQ(parent->children().size(), 1U);
    EXPECT_EQ(parent->children().front(), model);
    EXPECT_EQ(model->position(), glm::vec3(0.5F, 1.0F, 0.0F));
    const auto* component = model->components.get<platform::ModelComponent>();
    ASSERT_NE(component, nullptr);
    EXPECT_EQ(component->mesh, mesh);
    EXPECT_EQ(component->materials.size(), 1U);
    const auto* shadow = model->components.get<platform::DynamicLightShadowComponent>();
    ASSERT_NE(shadow, nullptr);
    EXPECT_FALSE(shadow->castsShadow);
}

TEST(EggMeshTest, CarvingsWithoutAnEarThrow)
{
    EXPECT_THROW(EggMesh::pumpkinCarving({{0, 0}, {1, 0}}), platform::MeshError);
    EXPECT_THROW(EggMesh::pumpkinCarving({{0, 0}, {0.01F, 0}, {0.02F, 0}, {0.03F, 0}}), platform::MeshError)
        << "a collinear outline has no ear";
}

TEST(EggMeshTest, SegmentsAndEllipsoidsArePlacedScaledAndTurned)
{
    auto parent = platform::Entity::make("parent");
    const platform::Material material = platform::UnlitMaterial(platform::rgb(0.1F, 0.2F, 0.3F));
    const auto mesh = EggMesh::mesh("one", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 2});

    const auto model = EggMesh::model(mesh, material, {1, 2, 3}, *parent);
    EXPECT_EQ(model->model().mesh, mesh);
    ASSERT_EQ(model->model().materials.size(), 1U);
    EXPECT_EQ(model->model().materials.front(), material);
    EXPECT_EQ(model->position(), glm::vec3(1, 2, 3));

    const glm::vec3 a{0.1F, 0.2F, 0.3F};
    const glm::vec3 b{0.4F, -0.2F, 0.5F};
    const auto segment = EggMesh::segment(a, b, 0.02F, material, *parent);
    expectNear(segment->position(), (a + b) * 0.5F);
    EXPECT_FLOAT_EQ(segment->scale().y, glm::length(b - a));
    EXPECT_EQ(segment->scale().x, 1.0F);
    EXPECT_EQ(segment->scale().z, 1.0F);
    expectNear(glm::rotate(segment->orientation(), glm::vec3(0, 1, 0)), glm::normalize(b - a));
    const auto bounds = segment->model().mesh->bounds();
    EXPECT_NEAR(bounds.extents().y, 1.0F, 1e-5F) << "a unit cylinder stretched to the length";
    EXPECT_NEAR(bounds.extents().x, 0.04F, 1e-5F);
    // Both ends land on the points.
    expectNear(glm::vec3(segment->transformMatrix(parent.get()) * glm::vec4(0, 0.5F, 0, 1)), b);
    expectNear(glm::vec3(segment->transformMatrix(parent.get()) * glm::vec4(0, -0.5F, 0, 1)), a);

    const auto sphere = EggMesh::sphere({0.1F, 0.2F, 0.3F}, {0, 1, 0}, material, *parent);
    EXPECT_EQ(sphere->scale(), glm::vec3(0.1F, 0.2F, 0.3F));
    EXPECT_EQ(sphere->position(), glm::vec3(0, 1, 0));
    EXPECT_NEAR(sphere->model().mesh->bounds().max.x, 1.0F, 1e-5F) << "a unit sphere";

    ASSERT_EQ(parent->children().size(), 3U);
    EXPECT_EQ(parent->children()[0], model);
    EXPECT_EQ(parent->children()[1], segment);
    EXPECT_EQ(parent->children()[2], sphere);
    for (const auto& child : parent->children()) {
        EXPECT_FALSE(castsShadow(*child));
    }
}

TEST(EggMeshTest, TheCarvingSurfaceHugsTheFrontRibs)
{
    expectNear(EggMesh::pumpkinSurface({0, 0}), {0, 0, 0.1918F});
    expectNear(EggMesh::pumpkinSurface({0, 0.2F}), {0, 0.2F, -0.9982F});
    // Between the front rib and its neighbour the higher front wins: at
    // x = 0.05 the front rib (centre z 0.095) is still in front.
    const float q = 1.0F - std::pow(0.05F / 0.095F, 2.0F);
    expectNear(EggMesh::pumpkinSurface({0.05F, 0}), {0.05F, 0, 0.095F + 0.095F * std::sqrt(q) + 0.0018F});
}

TEST(EggMeshTest, CarvingsAreTurnedClippedAndSubdivided)
{
    const std::vector<glm::vec2> clockwise{{-0.02F, 0.02F}, {0.02F, 0.02F}, {0.02F, -0.02F}, {-0.02F, -0.02F}};
    std::vector<glm::vec2> counterClockwise(clockwise.rbegin(), clockwise.rend());
    const auto turned = EggMesh::pumpkinCarving(clockwise);
    const auto kept = EggMesh::pumpkinCarving(counterClockwise);
    const auto& a = onlyPart(turned);
    const auto& b = onlyPart(kept);
    EXPECT_EQ(a.positions, b.positions);
    EXPECT_EQ(a.indices, b.indices);
    EXPECT_EQ(a.triangleCount(), 2U * 256U);

    // An eye: one ear, 256 unshared triangles facing the viewer.
    const float e = -0.072F;
    const auto eye = EggMesh::pumpkinCarving({{e - 0.039F, 0.025F}, {e + 0.033F, 0.025F}, {e + 0.006F, 0.093F}});
    EXPECT_EQ(eye->name(), "Surface fitted pumpkin carving");
    const auto& eyePart = onlyPart(eye);
    EXPECT_EQ(eyePart.positions.size(), 768U);
    EXPECT_EQ(eyePart.triangleCount(), 256U);
    for (const glm::vec3 n : eyePart.normals) {
        EXPECT_GT(n.z, 0.5F);
    }
    for (const glm::vec3 p : eyePart.positions) {
        EXPECT_NEAR(p.z, EggMesh::pumpkinSurface({p.x, p.y}).z, 1e-6F) << "on the skin";
    }

    // The mouth: 20 points, 18 ears that cover it exactly.
    std::vector<glm::vec2> points = mouth();
    const float area = std::abs(signedArea(points));
    const auto ears = EggMesh::clipEars(points);
    ASSERT_EQ(ears.size(), 18U);
    EXPECT_GT(signedArea(points), 0.0F) << "turned counter-clockwise";
    float earArea = 0.0F;
    for (const auto& ear : ears) {
        const float part = signedArea({points[ear[0]], points[ear[1]], points[ear[2]]});
        EXPECT_GT(part, 0.0F);
        earArea += part;
    }
    EXPECT_NEAR(earArea, area, 1e-6F);
    const auto mouthMesh = EggMesh::pumpkinCarving(mouth());
    const auto& mouthPart = onlyPart(mouthMesh);
    EXPECT_EQ(mouthPart.triangleCount(), 4608U);
}

TEST(EggMeshTest, OutlinesAreRoundedRectanglesCounterClockwise)
{
    const auto points = EggMesh::outline(1.0F, 1.0F, 0.1F, 0.0F);
    ASSERT_EQ(points.size(), 68U);
    EXPECT_NEAR(points[0].x, 0.5F, 1e-6F);
    EXPECT_NEAR(points[0].y, 0.9F, 1e-6F);
    EXPECT_NEAR(points[16].x, 0.4F, 1e-6F);
    EXPECT_NEAR(points[16].y, 1.0F, 1e-6F);
    EXPECT_GT(signedArea(points), 0.0F);
    const auto lifted = EggMesh::outline(0.34F, 0.88F, 0.085F, 0.23F);
    float low = 1.0F;
    float high = 0.0F;
    for (const glm::vec2 p : lifted) {
        low = std::min(low, p.y);
        high = std::max(high, p.y);
    }
    EXPECT_NEAR(low, 0.23F, 1e-6F);
    EXPECT_NEAR(high, 1.11F, 1e-6F);
}

TEST(EggMeshTest, TheHousingIsEightLoftedPiecesFacingOutwards)
{
    auto station = platform::Entity::make("station");
    const platform::Material white = platform::UnlitMaterial(platform::rgb(0.72F, 0.75F, 0.75F));
    const platform::Material red = platform::UnlitMaterial(platform::rgb(0.48F, 0.014F, 0.025F));
    EggMesh::chargerHousing(white, red, *station);

    struct Piece {
        std::string name;
        bool red;
        float facing; // sign of the normals' mean z, 0 for the walls
    };
    const std::vector<Piece> expected{{"White housing bevel", false, 1},     {"White housing face", false, 1},
                                      {"Continuous red inner rim", true, 1}, {"White housing bevel", false, -1},
                                      {"White housing face", false, -1},     {"Continuous red inner rim", true, -1},
                                      {"White outer wall", false, 0},        {"Red inner tunnel", true, 0}};
    ASSERT_EQ(station->children().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        auto& child = static_cast<platform::ModelEntity&>(*station->children()[i]);
        const auto& part = onlyPart(child.model().mesh);
        SCOPED_TRACE(expected[i].name + " " + std::to_string(i));
        EXPECT_EQ(child.model().mesh->name(), expected[i].name);
        EXPECT_EQ(child.model().materials.front(), expected[i].red ? red : white);
        EXPECT_EQ(child.position(), glm::vec3(0, 0.07F, 0));
        EXPECT_FALSE(castsShadow(child));
        EXPECT_EQ(part.positions.size(), 136U);
        EXPECT_EQ(part.triangleCount(), 136U);
        glm::vec3 mean(0.0F);
        for (const glm::vec3 n : part.normals) {
            mean += n;
        }
        mean /= static_cast<float>(part.normals.size());
        if (expected[i].facing != 0.0F) {
            EXPECT_GT(mean.z * expected[i].facing, 0.3F) << "front pieces face +z, back pieces -z";
        }
    }
    // The outer wall faces outwards, the tunnel inwards (towards the hole).
    const auto& wall = onlyPart(static_cast<platform::ModelEntity&>(*station->children()[6]).model().mesh);
    const auto& tunnel = onlyPart(static_cast<platform::ModelEntity&>(*station->children()[7]).model().mesh);
    EXPECT_GT(wall.normals[0].x, 0.9F) << "the right side of the wall faces +x";
    EXPECT_LT(tunnel.normals[0].x, -0.9F) << "the right side of the tunnel faces the opening";
    const auto bounds = station->visualBounds(true, station.get());
    EXPECT_NEAR(bounds.extents().x, 0.64F, 1e-5F);
    EXPECT_NEAR(bounds.extents().y, 1.34F, 1e-5F);
    EXPECT_NEAR(bounds.extents().z, 0.23F, 1e-5F);
}
