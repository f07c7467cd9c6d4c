#include "engine/effects/ContactShadow.h"
#include "engine/effects/PersistentEffects.h"

#include "platform/material/Material.h"
#include "platform/mesh/MeshResource.h"
#include "platform/scene/DynamicLightShadowComponent.h"
#include "platform/scene/ModelComponent.h"

#include "tests/support/Required.h"

#include <gtest/gtest.h>

#include <glm/geometric.hpp>

#include <cmath>
#include <stdexcept>
#include <string>

using namespace gloam;

namespace {

std::shared_ptr<platform::ModelEntity> makeShadow()
{
    return gloam::testing::required(ContactShadow::make({2.0F, 4.4F}), "a contact shadow");
}

const platform::UnlitMaterial& shadowMaterial(const platform::ModelEntity& shadow)
{
    const auto& model =
        gloam::testing::required(shadow.components.get<platform::ModelComponent>(), "a model on the shadow");
    EXPECT_EQ(model.materials.size(), 1U);
    return gloam::testing::required(platform::asUnlit(model.materials.at(0)), "an unlit material on the shadow");
}

float fireflyEmission(const platform::Entity& holder)
{
    const auto& model = gloam::testing::required(holder.children().at(0)->components.get<platform::ModelComponent>(),
                                                 "a model on the firefly");
    return gloam::testing::required(platform::asPhysicallyBased(model.materials.at(0)), "a lit firefly material")
        .emissiveIntensity;
}

} // namespace

TEST(PersistentEffectsTest, HoverIsASlowBobBetweenZeroAndNineCentimetres)
{
    EXPECT_FLOAT_EQ(PersistentEffects::hover(0.0), 0.0F);
    EXPECT_NEAR(PersistentEffects::hover(2.8), 0.09F, 1e-6F);
    EXPECT_NEAR(PersistentEffects::hover(5.6), 0.0F, 1e-6F);
    EXPECT_NEAR(PersistentEffects::hover(1.4), 0.045F, 1e-6F);
}

TEST(PersistentEffectsTest, ShadowBreathesWithTheHover)
{
    auto shadow = makeShadow();
    const platform::TexturePtr texture = shadowMaterial(*shadow).color.texture;
    PersistentEffects effects(shadow);

    struct Case {
        double time;
        glm::vec3 scale;
        float opacity;
    };
    for (const Case c : {Case{0.0, {1.0F, 1.0F, 1.0F}, 0.98F}, Case{2.8, {1.045F, 1.0F, 1.075F}, 0.85F},
                         Case{1.4, {1.0225F, 1.0F, 1.0375F}, 0.915F}, Case{5.6, {1.0F, 1.0F, 1.0F}, 0.98F}}) {
        effects.update(c.time, glm::vec3(0.0F));
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_NEAR(shadow->scale()[axis], c.scale[axis], 1e-5F) << c.time << " axis " << axis;
        }
        const platform::UnlitMaterial& material = shadowMaterial(*shadow);
        EXPECT_TRUE(material.blending.isTransparent());
        EXPECT_NEAR(material.blending.opacity, c.opacity, 1e-5F) << c.time;
        EXPECT_EQ(material.color.texture, texture) << "the shadow keeps its image";
    }
}

TEST(PersistentEffectsTest, BuildsFortySixFirefliesAroundTheScene)
{
    PersistentEffects effects(makeShadow());
    EXPECT_EQ(effects.root()->name(), "Continuous ambience");
    ASSERT_EQ(effects.motes().size(), 46U);
    ASSERT_EQ(effects.root()->children().size(), 46U);
    for (std::size_t i = 0; i < effects.motes().size(); ++i) {
        const PersistentEffects::Mote& mote = effects.motes()[i];
        EXPECT_EQ(mote.entity->name(), "Firefly_" + std::to_string(i));
        EXPECT_EQ(effects.root()->children()[i], mote.entity);
        const float ground = glm::length(glm::vec2(mote.base.x, mote.base.z));
        EXPECT_GE(ground, 3.4F - 1e-4F);
        EXPECT_LE(ground, 8.6F + 1e-4F);
        EXPECT_GE(mote.base.y, 0.18F);
        EXPECT_LE(mote.base.y, 2.88F + 1e-5F);

        ASSERT_EQ(mote.entity->children().size(), 1U);
        const platform::Entity& body = *mote.entity->children().front();
        const auto* shadow = body.components.get<platform::DynamicLightShadowComponent>();
        ASSERT_NE(shadow, nullptr);
        EXPECT_FALSE(shadow->castsShadow);
        const float radius = 0.0032F + 0.0006F * static_cast<float>(i % 3);
        EXPECT_NEAR(body.visualBounds(false, nullptr).extents().x, 2.0F * radius, 1e-4F);
        const auto* material =
            platform::asPhysicallyBased(body.components.get<platform::ModelComponent>()->materials.front());
        ASSERT_NE(material, nullptr);
        EXPECT_EQ(material->emissiveColor.color, glm::vec3(1.0F, 0.65F, 0.005F));
        EXPECT_EQ(material->specular, 0.0F);
    }
    EXPECT_NEAR(effects.motes()[0].base.x, 3.4F, 1e-6F);
    EXPECT_NEAR(effects.motes()[0].base.y, 0.18F, 1e-6F);
}

TEST(PersistentEffectsTest, FirstFireflyStartsDarkAtItsBasePlusDrift)
{
    PersistentEffects effects(makeShadow());
    effects.update(0.0, glm::vec3(0.0F));
    const platform::EntityPtr& first = effects.motes()[0].entity;
    EXPECT_FALSE(first->isEnabled());
    EXPECT_EQ(fireflyEmission(*first), 0.0F);
    EXPECT_NEAR(first->position().x, 3.4F, 1e-5F);
    EXPECT_NEAR(first->position().y, 0.18F, 1e-5F);
    EXPECT_NEAR(first->position().z, 0.12F, 1e-5F);
}

TEST(PersistentEffectsTest, GlowIsDarkOutsideItsWindowAndPeaksInTheMiddle)
{
    // Firefly 0 has a 5.8 s cycle starting at p = 0.
    EXPECT_EQ(PersistentEffects::glow(0, 0.13F * 5.8F - 0.01F), 0.0F);
    EXPECT_EQ(PersistentEffects::glow(0, 0.84F * 5.8F + 0.01F), 0.0F);
    EXPECT_GT(PersistentEffects::glow(0, 0.13F * 5.8F + 0.05F), 0.0F);
    EXPECT_NEAR(PersistentEffects::glow(0, 0.485F * 5.8F), 1.0F, 1e-4F);
    // Firefly 7 repeats firefly 0's cycle length, offset by 7 golden steps.
    const float offset = 7.0F * 0.618034F - std::trunc(7.0F * 0.618034F);
    EXPECT_NEAR(PersistentEffects::glow(7, (0.485F - offset + 1.0F) * 5.8F), 1.0F, 1e-3F);
}

TEST(PersistentEffectsTest, FirefliesBlinkAndDriftWithinTheirBounds)
{
    PersistentEffects effects(makeShadow());
    const std::size_t count = effects.motes().size();
    std::vector<int> litFrames(count, 0);
    std::vector<int> darkFrames(count, 0);
    const int frames = 1200;
    for (int f = 0; f < frames; ++f) {
        const double time = 0.05 * f;
        effects.update(time, glm::vec3(0.0F));
        for (std::size_t i = 0; i < count; ++i) {
            const PersistentEffects::Mote& mote = effects.motes()[i];
            const float g = PersistentEffects::glow(static_cast<int>(i), static_cast<float>(time));
            ASSERT_GE(g, 0.0F);
            ASSERT_LE(g, 1.0F);
            ASSERT_EQ(mote.entity->isEnabled(), g > 0.005F) << i << " at " << time;
            ASSERT_NEAR(mote.entity->scale().x, std::pow(g, 0.22F), 1e-6F);
            ASSERT_NEAR(fireflyEmission(*mote.entity), 5.0F * g, 1e-5F);
            const glm::vec3 offset = mote.entity->position() - mote.base;
            ASSERT_LE(std::abs(offset.x), 0.16F + 1e-5F);
            ASSERT_LE(std::abs(offset.y), 0.1F + 1e-5F);
            ASSERT_LE(std::abs(offset.z), 0.12F + 1e-5F);
            (mote.entity->isEnabled() ? litFrames : darkFrames)[i] += 1;
        }
    }
    // Over a minute every firefly has glowed and gone dark; each is dark for
    // at least the 29 % of its cycle outside the glow window.
    for (std::size_t i = 0; i < count; ++i) {
        EXPECT_GT(litFrames[i], 0) << i;
        EXPECT_GT(darkFrames[i], frames / 4) << i;
    }
}

TEST(PersistentEffectsTest, SameTimeGivesTheSamePose)
{
    PersistentEffects effects(makeShadow());
    effects.update(17.3, glm::vec3(0.0F));
    const glm::vec3 position = effects.motes()[11].entity->position();
    const float emission = fireflyEmission(*effects.motes()[11].entity);
    effects.update(41.0, glm::vec3(1.0F));
    EXPECT_NE(effects.motes()[11].entity->position(), position);
    effects.update(17.3, glm::vec3(5.0F));
    EXPECT_EQ(effects.motes()[11].entity->position(), position);
    EXPECT_EQ(fireflyEmission(*effects.motes()[11].entity), emission);
}

TEST(PersistentEffectsTest, RefusesAShadowWithoutAnUnlitModel)
{
    EXPECT_THROW(PersistentEffects(nullptr), std::invalid_argument);
    auto bare = platform::ModelEntity::make(platform::MeshResource::generatePlane(1.0F, 1.0F, 0.0F), {});
    EXPECT_THROW(PersistentEffects{bare}, std::invalid_argument);
    auto lit = platform::ModelEntity::make(platform::MeshResource::generatePlane(1.0F, 1.0F, 0.0F),
                                           {platform::PhysicallyBasedMaterial{}});
    EXPECT_THROW(PersistentEffects{lit}, std::invalid_argument);
}
