#include "engine/eggs/EggMesh.h"

#include "platform/material/UnlitMaterial.h"
#include "platform/mesh/MeshError.h"
#include "platform/scene/DynamicLightShadowComponent.h"
#include "platform/scene/ModelComponent.h"

#include <gtest/gtest.h>

#include <glm/geometric.hpp>

#include <cmath>

using namespace gloam;

namespace {

void expectVec(glm::vec3 actual, glm::vec3 expected, float tolerance = 1e-6F)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
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
