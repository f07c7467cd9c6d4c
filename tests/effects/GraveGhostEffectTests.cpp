#include "engine/effects/GraveGhostEffect.h"

#include "platform/material/Material.h"
#include "platform/scene/DynamicLightShadowComponent.h"
#include "platform/scene/ModelComponent.h"
#include "platform/scene/OpacityComponent.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <glm/geometric.hpp>
#include <glm/gtc/quaternion.hpp>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

using namespace gloam;

namespace {

constexpr float twoPi = 2.0F * std::numbers::pi_v<float>;

PropTarget grave(std::string id, glm::vec3 center, glm::vec3 size)
{
    return {std::move(id), "grave", {center.x, center.y, center.z}, {size.x, size.y, size.z}};
}

platform::MeshPtr bodyMesh(const GraveGhostEffect& ghost)
{
    const auto* model = ghost.body()->components.get<platform::ModelComponent>();
    return model != nullptr ? model->mesh : nullptr;
}

float rootOpacity(const GraveGhostEffect& ghost)
{
    const auto* opacity = ghost.root()->components.get<platform::OpacityComponent>();
    return opacity != nullptr ? opacity->opacity : 1.0F;
}

} // namespace

TEST(GraveGhostEffectTest, SurfaceHasItsCrownOnTopAndItsHemFlared)
{
    const glm::vec3 crown = GraveGhostEffect::point(0.0F, 0.0F, 0.0F);
    EXPECT_NEAR(crown.x, 0.0F, 1e-7F);
    EXPECT_NEAR(crown.y, 1.0F, 1e-7F);
    EXPECT_NEAR(crown.z, 0.00038F, 5e-6F);

    const glm::vec3 hem = GraveGhostEffect::point(1.0F, 0.0F, 0.0F);
    EXPECT_NEAR(hem.x, -0.1000F, 5e-5F);
    EXPECT_NEAR(hem.y, 0.0011F, 5e-5F);
    EXPECT_NEAR(hem.z, 0.1717F, 5e-5F);

    // Head and shoulders do not ripple: above v = 0.26 the phase moves only the hem lift.
    const glm::vec3 still = GraveGhostEffect::point(0.2F, 1.0F, 0.0F);
    const glm::vec3 later = GraveGhostEffect::point(0.2F, 1.0F, 0.7F);
    EXPECT_NEAR(still.x, later.x, 1e-6F);
    EXPECT_NEAR(still.z, later.z, 1e-6F);
}

TEST(GraveGhostEffectTest, FaceOpeningsSitJustInFrontOfTheCloth)
{
    EXPECT_NEAR(GraveGhostEffect::faceDepth(-0.065F, 0.79F), 0.0802F, 1e-4F);
    EXPECT_NEAR(GraveGhostEffect::faceDepth(0.065F, 0.79F), 0.0802F, 1e-4F);
    EXPECT_NEAR(GraveGhostEffect::faceDepth(0.0F, 0.664F), 0.0942F, 1e-4F);

    for (const GraveGhostEffect::Opening& hole : GraveGhostEffect::openings) {
        const platform::MeshPtr mesh = GraveGhostEffect::opening(hole);
        const auto& part = mesh->parts().front();
        ASSERT_EQ(part.positions.size(), 41U);
        EXPECT_EQ(part.triangleCount(), 40U);
        EXPECT_EQ(mesh->name(), "Ghost face opening");
        // The fan closes on itself and every vertex is 3 mm in front of the cloth.
        EXPECT_EQ(part.indices[part.indices.size() - 2], 40U);
        EXPECT_EQ(part.indices.back(), 1U);
        for (const glm::vec3& p : part.positions) {
            EXPECT_NEAR(p.z, GraveGhostEffect::faceDepth(p.x, p.y), 1e-6F);
        }
        // Normals face the viewer in front of the sheet.
        EXPECT_GT(part.normals.front().z, 0.9F);
    }
}

TEST(GraveGhostEffectTest, SheetSamplesTheSurfaceOnItsGrid)
{
    for (const float phase : {0.0F, 0.4F, 1.3F}) {
        const platform::MeshPtr mesh = GraveGhostEffect::sheet(phase);
        EXPECT_EQ(mesh->name(), "Measured sheet ghost");
        const auto& part = mesh->parts().front();
        ASSERT_EQ(part.positions.size(), 6272U);
        ASSERT_EQ(part.triangleCount(), 12288U);
        for (const int i : {0, 1, 17, 30, 48}) {
            for (const int j : {0, 5, 64, 127}) {
                const float v = std::pow(static_cast<float>(i) / 48.0F, 1.55F);
                const float theta = static_cast<float>(j) / 128.0F * twoPi;
                const glm::vec3 expected = GraveGhostEffect::point(v, theta, phase);
                const glm::vec3 actual = part.positions[static_cast<std::size_t>(128 * i + j)];
                EXPECT_NEAR(actual.x, expected.x, 2e-6F) << i << "," << j << " at " << phase;
                EXPECT_NEAR(actual.y, expected.y, 2e-6F) << i << "," << j << " at " << phase;
                EXPECT_NEAR(actual.z, expected.z, 2e-6F) << i << "," << j << " at " << phase;
            }
        }
    }
    // The tube closes around the body: row 3's last column joins its first.
    const platform::MeshPtr rest = GraveGhostEffect::sheet(0.0F);
    const auto& part = rest->parts().front();
    const std::size_t last = (3 * 128 + 127) * 6;
    EXPECT_EQ(part.indices[last + 0], 3U * 128 + 127);
    EXPECT_EQ(part.indices[last + 1], 4U * 128 + 127);
    EXPECT_EQ(part.indices[last + 2], 3U * 128);
    // The front of the cloth faces +Z.
    EXPECT_GT(part.normals[20 * 128].z, 0.8F);
}

TEST(GraveGhostEffectTest, BuildsAHiddenGhostWithItsFace)
{
    GraveGhostEffect ghost;
    EXPECT_EQ(ghost.root()->name(), "GravestoneGhost");
    EXPECT_FALSE(ghost.root()->isEnabled());
    ASSERT_EQ(ghost.root()->children().size(), 4U) << "the body and three face openings";
    EXPECT_EQ(ghost.root()->children().front(), ghost.body());

    const auto* model = ghost.body()->components.get<platform::ModelComponent>();
    ASSERT_NE(model, nullptr);
    const auto* body = platform::asPhysicallyBased(model->materials.front());
    ASSERT_NE(body, nullptr);
    EXPECT_TRUE(body->blending.isTransparent());
    EXPECT_FLOAT_EQ(body->blending.opacity, 0.66F);
    EXPECT_FLOAT_EQ(body->emissiveIntensity, 0.35F);
    for (const auto& child : ghost.root()->children()) {
        const auto* shadow = child->components.get<platform::DynamicLightShadowComponent>();
        ASSERT_NE(shadow, nullptr);
        EXPECT_FALSE(shadow->castsShadow);
    }
    const auto* face =
        platform::asUnlit(ghost.root()->children()[1]->components.get<platform::ModelComponent>()->materials.front());
    ASSERT_NE(face, nullptr);
    EXPECT_FLOAT_EQ(face->color.tint.r, 0.008F);
    EXPECT_FLOAT_EQ(face->color.tint.a * face->blending.opacity, 1.0F) << "the holes are fully dark";
}

TEST(GraveGhostEffectTest, RiseStandsInFrontOfTheStoneFacingTheCamera)
{
    GraveGhostEffect ghost;
    const PropTarget stone = grave("Stone", {2.0F, 0.5F, 1.0F}, {0.6F, 1.0F, 0.3F});
    const glm::vec3 camera{2.0F, 1.0F, 11.0F}; // straight out along +z
    ghost.update(&stone, 0.0, camera);

    EXPECT_TRUE(ghost.root()->isEnabled());
    EXPECT_EQ(ghost.activeID(), "Stone");
    EXPECT_NEAR(ghost.heading(), 0.0F, 1e-6F);
    EXPECT_FLOAT_EQ(ghost.height(), 0.9F);
    // 0.6 * 0.54 + 0.035 in front of the centre, at 12 % of the stone's height.
    const glm::vec3 start = ghost.startPosition();
    EXPECT_NEAR(start.x, 2.0F, 1e-6F);
    EXPECT_NEAR(start.y, 0.12F, 1e-6F);
    EXPECT_NEAR(start.z, 1.0F + 0.359F, 1e-6F);
    EXPECT_EQ(ghost.root()->position(), start);
    EXPECT_EQ(ghost.root()->scale(), glm::vec3(0.9F));
    EXPECT_EQ(rootOpacity(ghost), 0.0F);

    // Half a second later: risen, swayed along the ghost's right, rolled.
    ghost.update(&stone, 0.5, camera);
    const float t = 0.5F;
    const float rise = (1.52F * t + 0.16F * t * t) * 0.9F;
    const float sway = 0.035F * 0.9F * std::sin(5.2F * t);
    const glm::vec3 at = ghost.root()->position();
    EXPECT_NEAR(at.y, start.y + rise, 1e-5F);
    EXPECT_NEAR(at.x, start.x + sway, 1e-5F) << "right of a ghost facing +z is +x";
    EXPECT_NEAR(at.z, start.z, 1e-5F);
    const glm::quat expected = glm::angleAxis(0.045F * std::sin(5.2F * t), glm::vec3(0, 0, 1));
    EXPECT_NEAR(std::abs(glm::dot(ghost.root()->orientation(), expected)), 1.0F, 1e-6F);

    // A camera to the grave's +x side turns the ghost's front (+z) that way.
    GraveGhostEffect turned;
    turned.update(&stone, 0.0, glm::vec3(12.0F, 1.0F, 1.0F));
    EXPECT_NEAR(turned.heading(), std::numbers::pi_v<float> / 2.0F, 1e-6F);
    const glm::vec3 front = turned.root()->orientation() * glm::vec3(0, 0, 1);
    EXPECT_NEAR(front.x, 1.0F, 1e-5F);
    EXPECT_GT(turned.startPosition().x, 2.0F);

    // Turned so, the ghost's right is −z: it sways along −z, and it rolls
    // about its own forward axis (+x), so its front stays on +x while its
    // head tips towards +z.
    turned.update(&stone, 0.5, glm::vec3(12.0F, 1.0F, 1.0F));
    const glm::vec3 swayed = turned.root()->position();
    EXPECT_NEAR(swayed.x, turned.startPosition().x, 1e-5F);
    EXPECT_NEAR(swayed.z, turned.startPosition().z - sway, 1e-5F);
    const glm::quat rolled = turned.root()->orientation();
    const glm::vec3 rolledFront = rolled * glm::vec3(0, 0, 1);
    const glm::vec3 rolledUp = rolled * glm::vec3(0, 1, 0);
    const float roll = 0.045F * std::sin(5.2F * t);
    EXPECT_NEAR(rolledFront.x, 1.0F, 1e-5F);
    EXPECT_NEAR(rolledFront.y, 0.0F, 1e-5F);
    EXPECT_NEAR(rolledUp.x, 0.0F, 1e-5F);
    EXPECT_NEAR(rolledUp.y, std::cos(roll), 1e-5F);
    EXPECT_NEAR(rolledUp.z, std::sin(roll), 1e-5F);
}

TEST(GraveGhostEffectTest, HeightIsClampedByTheStone)
{
    EXPECT_FLOAT_EQ(GraveGhostEffect::heightFor(2.0F), 1.25F);
    EXPECT_FLOAT_EQ(GraveGhostEffect::heightFor(0.5F), 0.72F);
    EXPECT_FLOAT_EQ(GraveGhostEffect::heightFor(1.0F), 0.9F);
}

TEST(GraveGhostEffectTest, FadesInAndOut)
{
    struct Case {
        float age;
        float opacity;
    };
    for (const Case c : {Case{0.0F, 0.0F}, Case{0.065F, 0.5F}, Case{0.13F, 1.0F}, Case{1.0F, 1.0F}, Case{1.56F, 0.5F},
                         Case{1.65F, 0.0F}, Case{3.0F, 0.0F}}) {
        EXPECT_NEAR(GraveGhostEffect::opacity(c.age), c.opacity, 1e-5F) << "age " << c.age;
    }
}

TEST(GraveGhostEffectTest, MeshIsRebuiltThirtyTimesPerSecondOfAge)
{
    EXPECT_EQ(GraveGhostEffect::meshFrame(0.0), 0);
    EXPECT_EQ(GraveGhostEffect::meshFrame(0.02), 0);
    EXPECT_EQ(GraveGhostEffect::meshFrame(1.0 / 30.0), 1);
    for (int k = 0; k < 60; ++k) {
        EXPECT_EQ(GraveGhostEffect::meshFrame(k / 30.0), k) << "an age of exactly k/30 is frame k";
    }

    GraveGhostEffect ghost;
    const PropTarget stone = grave("Stone", {0.0F, 0.5F, 0.0F}, {0.6F, 1.0F, 0.3F});
    const platform::MeshPtr rest = bodyMesh(ghost);
    ghost.update(&stone, 0.0, glm::vec3(0, 1, 10));
    const platform::MeshPtr first = bodyMesh(ghost);
    EXPECT_NE(first, rest) << "a new rise builds its mesh at once";
    EXPECT_EQ(ghost.lastMeshFrame(), 0);
    ghost.update(&stone, 0.02, glm::vec3(0, 1, 10));
    EXPECT_EQ(bodyMesh(ghost), first) << "same frame of age, same mesh";
    ghost.update(&stone, 1.0 / 30.0, glm::vec3(0, 1, 10));
    EXPECT_NE(bodyMesh(ghost), first);
    EXPECT_EQ(ghost.lastMeshFrame(), 1);
}

TEST(GraveGhostEffectTest, ASmallerAgeOrAnotherGraveStartsOverAndNoneHides)
{
    GraveGhostEffect ghost;
    const PropTarget near = grave("Near", {0.0F, 0.5F, 0.0F}, {0.6F, 1.0F, 0.3F});
    const PropTarget far = grave("Far", {3.0F, 1.0F, -2.0F}, {0.6F, 2.0F, 0.3F});
    const glm::vec3 camera{0.0F, 1.0F, 10.0F};
    ghost.update(&near, 1.0, camera);
    ghost.update(&near, 1.4, camera);
    const platform::MeshPtr before = bodyMesh(ghost);
    ASSERT_EQ(ghost.lastMeshFrame(), 42);

    // The same grave started again: re-aimed and the mesh rebuilt at once.
    ghost.update(&near, 0.5, glm::vec3(10.0F, 1.0F, 0.0F));
    EXPECT_EQ(ghost.lastMeshFrame(), 15);
    EXPECT_NE(bodyMesh(ghost), before);
    EXPECT_NEAR(ghost.heading(), std::numbers::pi_v<float> / 2.0F, 1e-6F);

    ghost.update(&far, 0.6, camera);
    EXPECT_EQ(ghost.activeID(), "Far");
    EXPECT_FLOAT_EQ(ghost.height(), 1.25F);

    ghost.update(nullptr, 0.7, camera);
    EXPECT_FALSE(ghost.root()->isEnabled());
    EXPECT_FALSE(ghost.activeID());
    ghost.update(&far, std::nullopt, camera);
    EXPECT_FALSE(ghost.root()->isEnabled());

    // A target without three numbers is no target.
    const PropTarget flat{"Flat", "grave", {1.0F, 2.0F}, {0.5F, 0.5F, 0.5F}};
    ghost.update(&flat, 0.3, camera);
    EXPECT_FALSE(ghost.root()->isEnabled());
    ghost.update(&far, 0.8, camera);
    EXPECT_TRUE(ghost.root()->isEnabled());
}

TEST(GraveGhostEffectTest, FramesBetweenMeshFramesAllocateNothing)
{
    GraveGhostEffect ghost;
    const PropTarget stone = grave("MatchedLeaningStone", {0.0F, 0.5F, 0.0F}, {0.6F, 1.0F, 0.3F});
    const glm::vec3 camera{0.0F, 1.0F, 10.0F};
    ghost.update(&stone, 0.0, camera);
    // 120 frames a second: every other frame stays in the same mesh frame.
    int rebuilt = 0;
    for (int k = 1; k < 198; ++k) {
        const double age = k / 120.0;
        const long before = ghost.lastMeshFrame();
        const long allocations = gloam::testing::allocationsDuring([&] { ghost.update(&stone, age, camera); });
        if (ghost.lastMeshFrame() != before) {
            rebuilt += 1;
        } else {
            EXPECT_EQ(allocations, 0) << "age " << age;
        }
    }
    EXPECT_EQ(rebuilt, 49);
    // Idle frames allocate nothing either.
    ghost.update(nullptr, std::nullopt, camera);
    EXPECT_EQ(gloam::testing::allocationsDuring([&] { ghost.update(nullptr, std::nullopt, camera); }), 0);
}
