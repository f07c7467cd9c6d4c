#include "engine/effects/LightningEffect.h"

#include "platform/material/Material.h"
#include "platform/scene/DynamicLightShadowComponent.h"
#include "platform/scene/ModelComponent.h"

#include "tests/support/Required.h"

#include <gtest/gtest.h>

#include <glm/geometric.hpp>

#include <cmath>
#include <numbers>
#include <numeric>

using namespace gloam;

namespace {

const platform::PhysicallyBasedMaterial& boltMaterial(const LightningEffect& effect)
{
    const auto& model =
        gloam::testing::required(effect.bolt()->components.get<platform::ModelComponent>(), "a model on the bolt");
    EXPECT_EQ(model.materials.size(), 1U);
    return gloam::testing::required(platform::asPhysicallyBased(model.materials.at(0)), "a lit material on the bolt");
}

} // namespace

TEST(LightningEffectTest, BranchesAreSampledAboutEveryThreePixelsWithFixedJitter)
{
    const std::vector<std::size_t> expectedCounts{116, 28, 17, 19, 11, 13, 16, 16, 15, 19, 8, 11};
    for (int b = 0; b < LightningEffect::branchCount; ++b) {
        EXPECT_EQ(LightningEffect::samplePixels(b).size(), expectedCounts[static_cast<std::size_t>(b)])
            << "branch " << b;
    }

    const std::vector<glm::vec2> trunk = LightningEffect::samplePixels(0);
    // First segment (334,15) -> (339,32): 17.7 px, so 5 steps; sample 1
    // sits at t = 0.2 with the jitter of seed 19 + 47 = 66.
    const double jitter = std::sin(66.0) * 1.6 * std::sin(std::numbers::pi * 0.2);
    EXPECT_NEAR(trunk[1].x, 334.0 + 5.0 * 0.2 + jitter, 1e-4);
    EXPECT_NEAR(trunk[1].y, 15.0 + 17.0 * 0.2, 1e-4);
    // Segments begin exactly on their points and the last point ends the line.
    EXPECT_EQ(trunk.front(), glm::vec2(334.0F, 15.0F));
    EXPECT_EQ(trunk[5], glm::vec2(339.0F, 32.0F));
    EXPECT_EQ(trunk.back(), glm::vec2(484.0F, 308.0F));
    // Branch 10 starts on branch 1's point (400, 94).
    EXPECT_EQ(LightningEffect::samplePixels(10).front(), glm::vec2(400.0F, 94.0F));

    // The 15-pixel segment (450,258) -> (462,267) yields exactly 5 samples:
    // find its first sample and the next segment's start 5 entries later.
    const auto start = std::find(trunk.begin(), trunk.end(), glm::vec2(450.0F, 258.0F));
    ASSERT_NE(start, trunk.end());
    EXPECT_EQ(*(start + 5), glm::vec2(462.0F, 267.0F));
}

TEST(LightningEffectTest, BoltStandsOnItsPlaneBesideTheHouse)
{
    const glm::vec3 d = LightningEffect::boltDirection();
    EXPECT_NEAR(glm::length(d), 1.0F, 1e-6F);
    EXPECT_NEAR(glm::dot(d, LightningEffect::boltLateral()), 0.0F, 1e-6F);

    const std::vector<glm::vec2> trunk = LightningEffect::samplePixels(0);
    const glm::vec3 top = LightningEffect::toScene(trunk.front());
    const glm::vec3 foot = LightningEffect::toScene(trunk.back());
    EXPECT_NEAR(top.x, 5.97F, 0.01F);
    EXPECT_NEAR(top.y, 3.64F, 0.01F);
    EXPECT_NEAR(top.z, -8.36F, 0.01F);
    EXPECT_NEAR(foot.x, 6.80F, 0.01F);
    EXPECT_NEAR(foot.y, 0.80F, 0.01F);
    EXPECT_NEAR(foot.z, -7.18F, 0.01F);
    for (int b = 0; b < LightningEffect::branchCount; ++b) {
        for (const glm::vec2 pixel : LightningEffect::samplePixels(b)) {
            EXPECT_NEAR(glm::dot(LightningEffect::toScene(pixel), d), LightningEffect::planeDistance, 1e-4F);
        }
    }
}

TEST(LightningEffectTest, TubesNarrowTowardsTheirTipsAndAreStitchedRingToRing)
{
    const platform::MeshDescriptor mesh = LightningEffect::boltMesh();
    EXPECT_EQ(mesh.name, "Reference lightning branches");
    EXPECT_EQ(mesh.positions.size(), 1734U);
    EXPECT_EQ(mesh.normals.size(), 1734U);
    EXPECT_EQ(mesh.indices.size(), 3U * 3324U);

    // Trunk rings: six vertices round each sample at the tapering radius,
    // with unit normals pointing from the sample outwards.
    const std::vector<glm::vec2> trunk = LightningEffect::samplePixels(0);
    const float m = static_cast<float>(trunk.size());
    for (const std::size_t k : {std::size_t{0}, std::size_t{57}, trunk.size() - 1}) {
        const glm::vec3 centre = LightningEffect::toScene(trunk[k]);
        const float radius = 0.014F * (1.0F - 0.55F * static_cast<float>(k) / m);
        for (std::size_t s = 0; s < 6; ++s) {
            const std::size_t v = 6 * k + s;
            EXPECT_NEAR(glm::length(mesh.positions[v] - centre), radius, 1e-5F);
            EXPECT_NEAR(glm::length(mesh.normals[v]), 1.0F, 1e-5F);
            EXPECT_NEAR(glm::dot(glm::normalize(mesh.positions[v] - centre), mesh.normals[v]), 1.0F, 1e-3F);
        }
    }
    // Branch 1 starts after the trunk's 116 rings and is thinner.
    const glm::vec3 branchStart = LightningEffect::toScene(LightningEffect::samplePixels(1).front());
    EXPECT_NEAR(glm::length(mesh.positions[6 * 116] - branchStart), 0.005F, 1e-5F);

    // First quad of the trunk and of branch 1; no triangle crosses branches.
    EXPECT_EQ((std::vector<std::uint32_t>(mesh.indices.begin(), mesh.indices.begin() + 6)),
              (std::vector<std::uint32_t>{0, 1, 6, 1, 7, 6}));
    const std::size_t branch1Faces = 6 * 2 * 115 * 3;
    EXPECT_EQ(mesh.indices[branch1Faces], 696U);
    for (std::size_t i = 0; i < mesh.indices.size(); i += 3) {
        const std::uint32_t lo = std::min({mesh.indices[i], mesh.indices[i + 1], mesh.indices[i + 2]});
        const std::uint32_t hi = std::max({mesh.indices[i], mesh.indices[i + 1], mesh.indices[i + 2]});
        ASSERT_LT(hi - lo, 12U) << "a triangle spans more than two neighbouring rings";
        ASSERT_LT(hi, 1734U);
    }
}

TEST(LightningEffectTest, StartsDormantWithAColdLightAimedAtTheScene)
{
    LightningEffect effect;
    EXPECT_EQ(effect.root()->name(), "Lightning");
    EXPECT_FALSE(effect.root()->isEnabled());
    ASSERT_EQ(effect.root()->children().size(), 2U);
    EXPECT_EQ(effect.root()->children()[0], effect.bolt());
    EXPECT_EQ(effect.root()->children()[1], effect.light());
    const auto* shadow = effect.bolt()->components.get<platform::DynamicLightShadowComponent>();
    ASSERT_NE(shadow, nullptr);
    EXPECT_FALSE(shadow->castsShadow);
    EXPECT_EQ(boltMaterial(effect).faceCulling, platform::FaceCulling::none);
    EXPECT_EQ(boltMaterial(effect).emissiveIntensity, 0.0F);
    EXPECT_EQ(effect.light()->light().intensity, 0.0F);
    EXPECT_EQ(effect.light()->light().color, platform::rgb(0.65F, 0.83F, 1.0F));

    // The light sits at 8·d + 6 up and looks at the scene centre (-z forward).
    const glm::vec3 from = 8.0F * LightningEffect::boltDirection() + glm::vec3(0.0F, 6.0F, 0.0F);
    const glm::mat4 world = effect.light()->transformMatrix(nullptr);
    EXPECT_NEAR(glm::length(glm::vec3(world[3]) - from), 0.0F, 1e-4F);
    EXPECT_NEAR(glm::dot(-glm::normalize(glm::vec3(world[2])), glm::normalize(-from)), 1.0F, 1e-5F);
}

TEST(LightningEffectTest, StrengthDrivesVisibilityGlowAndFlash)
{
    struct Case {
        float strength;
        bool enabled;
    };
    LightningEffect effect;
    for (const Case c : {Case{0.0F, false}, Case{0.001F, false}, Case{0.0011F, true}, Case{0.5F, true},
                         Case{1.0F, true}, Case{0.0F, false}}) {
        effect.update(c.strength);
        EXPECT_EQ(effect.root()->isEnabled(), c.enabled) << c.strength;
        EXPECT_TRUE(effect.bolt()->isEnabled());
        EXPECT_FLOAT_EQ(boltMaterial(effect).emissiveIntensity, c.strength * 7.0F) << c.strength;
        EXPECT_FLOAT_EQ(effect.light()->light().intensity, c.strength * 450.0F) << c.strength;
        EXPECT_EQ(boltMaterial(effect).baseColor.tint, platform::rgb(0.0F, 0.0F, 0.0F));
        EXPECT_EQ(boltMaterial(effect).emissiveColor.color, glm::vec3(0.68F, 0.92F, 1.0F));
    }
}

TEST(LightningEffectTest, FirstUpdateAppliesEvenAtZero)
{
    LightningEffect effect;
    effect.root()->setEnabled(true);
    effect.light()->light().intensity = 99.0F;
    effect.update(0.0F);
    EXPECT_FALSE(effect.root()->isEnabled());
    EXPECT_EQ(effect.light()->light().intensity, 0.0F);
}

TEST(LightningEffectTest, HiddenHouseHidesTheBoltButNotTheFlash)
{
    LightningEffect effect;
    effect.update(0.8F);
    effect.setHouseVisible(false);
    EXPECT_FALSE(effect.bolt()->isEnabled()) << "hidden at once, mid-flash";
    EXPECT_TRUE(effect.root()->isEnabled());
    EXPECT_FLOAT_EQ(effect.light()->light().intensity, 360.0F);

    effect.update(0.6F);
    EXPECT_FALSE(effect.bolt()->isEnabled()) << "a new strength keeps it hidden";
    EXPECT_FLOAT_EQ(effect.light()->light().intensity, 270.0F);

    effect.setHouseVisible(true);
    EXPECT_TRUE(effect.bolt()->isEnabled());
    EXPECT_TRUE(effect.houseVisible());
}

TEST(LightningEffectTest, RepeatedStrengthTouchesNothing)
{
    LightningEffect effect;
    effect.update(0.4F);
    // Disturb everything update would write, then repeat the strength.
    effect.root()->setEnabled(false);
    effect.setHouseVisible(false);
    effect.setHouseVisible(true);
    effect.bolt()->setEnabled(false);
    effect.light()->light().intensity = 1.0F;
    effect.bolt()->components.get<platform::ModelComponent>()->materials.clear();
    effect.update(0.4F);
    EXPECT_FALSE(effect.root()->isEnabled());
    EXPECT_FALSE(effect.bolt()->isEnabled());
    EXPECT_EQ(effect.light()->light().intensity, 1.0F);
    EXPECT_TRUE(effect.bolt()->components.get<platform::ModelComponent>()->materials.empty());

    // A bolt without a model only skips the material.
    effect.bolt()->components.remove<platform::ModelComponent>();
    effect.update(0.9F);
    EXPECT_TRUE(effect.root()->isEnabled());
    EXPECT_FLOAT_EQ(effect.light()->light().intensity, 405.0F);
}

TEST(LightningEffectTest, GentleLightLeavesTheBoltsGlowToTheStrike)
{
    struct Case {
        float strength;
        float light;
        bool enabled;
    };
    LightningEffect effect;
    // A dip of the flicker under a steady light, the light alone, the bolt
    // alone, and both at rest.
    for (const Case c : {Case{0.02F, 0.3F, true}, Case{1.0F, 0.3F, true}, Case{0.0F, 0.05F, true},
                         Case{0.9F, 0.0F, true}, Case{0.0F, 0.0F, false}}) {
        effect.update(c.strength, c.light);
        EXPECT_EQ(effect.root()->isEnabled(), c.enabled) << c.strength << " " << c.light;
        EXPECT_FLOAT_EQ(boltMaterial(effect).emissiveIntensity, c.strength * 7.0F) << c.strength;
        EXPECT_FLOAT_EQ(effect.light()->light().intensity, c.light * 450.0F) << c.light;
    }
    // A new light with the same glow moves the light only.
    effect.update(0.5F, 0.1F);
    effect.bolt()->components.get<platform::ModelComponent>()->materials.clear();
    effect.update(0.5F, 0.2F);
    EXPECT_FLOAT_EQ(effect.light()->light().intensity, 90.0F);
    EXPECT_TRUE(effect.bolt()->components.get<platform::ModelComponent>()->materials.empty());
}
