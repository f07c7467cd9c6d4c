#include "engine/effects/WitchEffect.h"
#include "engine/effects/WitchSilhouette.h"

#include "platform/collision/CollisionComponent.h"
#include "platform/material/PhysicallyBasedMaterial.h"
#include "platform/scene/DynamicLightShadowComponent.h"
#include "platform/scene/ModelComponent.h"
#include "platform/scene/ModelEntity.h"
#include "platform/scene/OpacityComponent.h"
#include "resources/SceneLandmarks.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <glm/geometric.hpp>
#include <glm/gtc/quaternion.hpp>

#include <cmath>
#include <variant>

using namespace gloam;

namespace {

platform::MeshPtr triangle()
{
    platform::MeshDescriptor d;
    d.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    d.indices = {0, 1, 2};
    return platform::MeshResource::generate(d);
}

platform::PhysicallyBasedMaterial paint(const char* name)
{
    platform::PhysicallyBasedMaterial m;
    m.name = name;
    m.baseColor.tint = platform::rgb(0.5F, 0.2F, 0.6F);
    return m;
}

// A witch tree: a root, a body with two material slots, and (optionally) a
// cape under the body, turned a little as loaded.
platform::EntityPtr witchTree(bool withCape)
{
    auto root = platform::Entity::make("Witch");
    auto body = platform::ModelEntity::make(triangle(), {paint("Robe"), paint("Skin")}, "WitchBody");
    root->addChild(body);
    if (withCape) {
        auto cape = platform::ModelEntity::make(triangle(), {paint("Cloth")}, "WitchCape");
        cape->setPosition({0.1F, 0.4F, 0.0F});
        cape->setOrientation(glm::angleAxis(0.2F, glm::vec3(1, 0, 0)));
        body->addChild(cape);
    }
    return root;
}

float rootOpacity(const WitchEffect& witch)
{
    const auto* opacity = witch.root()->components.get<platform::OpacityComponent>();
    return opacity != nullptr ? opacity->opacity : 1.0F;
}

} // namespace

TEST(WitchEffectTest, PathCrossesTheMoonFromRightToLeft)
{
    struct Sample {
        float flight;
        glm::vec2 pixel;
        glm::vec3 scene;
    };
    for (const Sample s : {Sample{0.0F, {1456.4F, 311.7F}, {8.380F, 1.644F, -4.257F}},
                           Sample{1.0F, {1194.0F, 235.7F}, {7.573F, 2.048F, -5.398F}},
                           Sample{2.0F, {910.3F, 128.6F}, {6.702F, 2.617F, -6.629F}},
                           Sample{3.25F, {526.1F, -49.1F}, {5.526F, 3.558F, -8.292F}}}) {
        const glm::vec2 pixel = WitchEffect::pathPixel(s.flight);
        EXPECT_NEAR(pixel.x, s.pixel.x, 0.06F) << s.flight;
        EXPECT_NEAR(pixel.y, s.pixel.y, 0.06F) << s.flight;
        const glm::vec3 point = WitchEffect::pathPoint(s.flight);
        EXPECT_NEAR(point.x, s.scene.x, 6e-4F) << s.flight;
        EXPECT_NEAR(point.y, s.scene.y, 6e-4F) << s.flight;
        EXPECT_NEAR(point.z, s.scene.z, 6e-4F) << s.flight;
        // Every point lies on the flight plane, 9.3 out along the depth direction.
        EXPECT_NEAR(glm::dot(point, WitchEffect::depthDirection()), WitchEffect::planeDistance, 1e-4F);
    }
}

TEST(WitchEffectTest, ModelBecomesASilhouetteWithItsCapeFound)
{
    const platform::EntityPtr tree = witchTree(true);
    const platform::EntityPtr cape = tree->findEntity("WitchCape");
    const platform::Transform rest = cape->transform();
    WitchEffect witch(tree);

    EXPECT_EQ(witch.root()->name(), "MoonWitch");
    EXPECT_FALSE(witch.root()->isEnabled());
    EXPECT_EQ(witch.root()->scale(), glm::vec3(0.62F));
    const glm::quat expected = glm::angleAxis(-0.955F, glm::vec3(0, 1, 0));
    EXPECT_NEAR(std::abs(glm::dot(witch.root()->orientation(), expected)), 1.0F, 1e-6F);
    ASSERT_EQ(witch.root()->children().size(), 1U);
    EXPECT_EQ(witch.root()->children().front(), tree);

    EXPECT_EQ(witch.cape(), cape);
    EXPECT_EQ(witch.capeRest(), rest);

    int models = 0;
    tree->visit([&models](platform::Entity& entity) {
        const auto* model = entity.components.get<platform::ModelComponent>();
        if (model == nullptr) {
            return;
        }
        models += 1;
        for (const platform::Material& material : model->materials) {
            const auto* unlit = platform::asUnlit(material);
            ASSERT_NE(unlit, nullptr) << entity.name();
            EXPECT_EQ(unlit->color.tint, platform::rgb(0.012F, 0.02F, 0.027F));
        }
        const auto* shadow = entity.components.get<platform::DynamicLightShadowComponent>();
        ASSERT_NE(shadow, nullptr);
        EXPECT_FALSE(shadow->castsShadow);
    });
    EXPECT_EQ(models, 2);
    EXPECT_EQ(tree->findEntity("WitchBody")->components.get<platform::ModelComponent>()->materials.size(), 2U)
        << "the slot count is kept";

    EXPECT_EQ(witch.moonHit()->name(), "MoonReaction");
    constexpr landmarks::Point3 moon = landmarks::moonPosition;
    EXPECT_EQ(witch.moonHit()->position(), glm::vec3(moon.x, moon.y, moon.z));
    const auto* collision = witch.moonHit()->components.get<platform::CollisionComponent>();
    ASSERT_NE(collision, nullptr);
    ASSERT_EQ(collision->shapes.size(), 1U);
    const auto* sphere = std::get_if<platform::ShapeResource::Sphere>(&collision->shapes.front().geometry());
    ASSERT_NE(sphere, nullptr) << "the moon is clicked on a sphere round its point";
    EXPECT_FLOAT_EQ(sphere->radius, 0.7F);
}

TEST(WitchEffectTest, FlightStartsAfterTheLeadAndFadesAtItsEnd)
{
    WitchEffect witch(witchTree(true));
    witch.update(1.449);
    EXPECT_FALSE(witch.root()->isEnabled());
    witch.update(1.45);
    EXPECT_TRUE(witch.root()->isEnabled());
    const glm::vec3 start = witch.root()->position();
    EXPECT_NEAR(glm::distance(start, WitchEffect::pathPoint(0.0F)), 0.0F, 1e-5F);

    struct Case {
        double age;
        float opacity;
    };
    for (const Case c : {Case{2.0, 1.0F}, Case{4.3, 1.0F}, Case{4.5, 0.5F}, Case{4.7, 0.0F}, Case{6.0, 0.0F}}) {
        witch.update(c.age);
        EXPECT_NEAR(rootOpacity(witch), c.opacity, 1e-4F) << "age " << c.age;
        EXPECT_TRUE(witch.root()->isEnabled()) << "faded, but still enabled at " << c.age;
    }
    witch.update(std::nullopt);
    EXPECT_FALSE(witch.root()->isEnabled()) << "no age hides her at once";
}

TEST(WitchEffectTest, FacesTheCameraRocksAndFluttersHerCape)
{
    const platform::EntityPtr tree = witchTree(true);
    WitchEffect witch(tree);
    const glm::vec3 camera{-16.08F, 1.916F, 11.38F};
    EXPECT_EQ(witch.cameraPosition(), camera);
    witch.setCameraPosition({0.0F, 2.0F, 20.0F});

    const double age = 1.45 + 1.0;
    witch.update(age);
    const glm::vec3 at = witch.root()->position();
    const glm::vec3 forward = witch.root()->orientation() * glm::vec3(0, 0, 1);
    const glm::vec3 toCamera = glm::normalize(glm::vec3(0.0F - at.x, 0.0F, 20.0F - at.z));
    EXPECT_NEAR(glm::dot(glm::normalize(glm::vec3(forward.x, 0.0F, forward.z)), toCamera), 1.0F, 1e-3F);
    // The rock is a small turn about her own forward axis.
    const glm::vec3 up = witch.root()->orientation() * glm::vec3(0, 1, 0);
    EXPECT_NEAR(std::asin(glm::dot(glm::cross(glm::vec3(0, 1, 0), up), forward)), 0.012F * std::sin(6.0F), 1e-4F);

    const glm::quat flutter = witch.capeRest().rotation * glm::angleAxis(0.035F * std::sin(7.5F), glm::vec3(0, 0, 1));
    EXPECT_NEAR(std::abs(glm::dot(witch.cape()->orientation(), flutter)), 1.0F, 1e-6F);
    EXPECT_EQ(witch.cape()->position(), witch.capeRest().translation);
    witch.update(age + 0.3);
    EXPECT_LT(std::abs(glm::dot(witch.cape()->orientation(), flutter)), 0.9999F) << "the cape moves";
}

TEST(WitchEffectTest, WithoutACapeSheStillFlies)
{
    WitchEffect witch(witchTree(false));
    EXPECT_EQ(witch.cape(), nullptr);
    witch.update(2.0);
    EXPECT_TRUE(witch.root()->isEnabled());
}

TEST(WitchEffectTest, FrontVisibilityOnlySwitchesTheMoonTarget)
{
    WitchEffect witch(witchTree(true));
    witch.update(2.0);
    witch.setFrontVisible(false);
    EXPECT_FALSE(witch.moonHit()->isEnabled());
    EXPECT_TRUE(witch.root()->isEnabled()) << "a flight in progress continues";
    witch.setFrontVisible(true);
    EXPECT_TRUE(witch.moonHit()->isEnabled());
}

TEST(WitchEffectTest, FlightFramesAllocateNothing)
{
    WitchEffect witch(witchTree(true));
    witch.update(1.5);
    EXPECT_EQ(gloam::testing::allocationsDuring([&] {
                  for (int k = 0; k < 300; ++k) {
                      witch.update(1.45 + k / 60.0);
                      witch.setCameraPosition({0.0F, 2.0F, 20.0F + static_cast<float>(k)});
                  }
                  witch.update(std::nullopt);
              }),
              0);
}

TEST(WitchSilhouetteTest, StylesEveryModelAndFindsTheCape)
{
    const platform::EntityPtr tree = witchTree(false);
    // A part loaded without any material still draws, as a silhouette.
    auto bare = platform::ModelEntity::make(triangle(), {}, "Broom");
    tree->addChild(bare);
    const platform::UnlitMaterial black(platform::rgb(0, 0, 0));

    const WitchSilhouette styled = WitchSilhouette::style(*tree, black);

    EXPECT_EQ(styled.cape, nullptr) << "this witch has no cape";
    const auto* broom = bare->components.get<platform::ModelComponent>();
    ASSERT_EQ(broom->materials.size(), 1U);
    EXPECT_NE(platform::asUnlit(broom->materials.front()), nullptr);
    EXPECT_FALSE(tree->components.has<platform::DynamicLightShadowComponent>()) << "only models are styled";

    // With two capes the later one in the tree wins.
    const platform::EntityPtr caped = witchTree(true);
    auto second = platform::ModelEntity::make(triangle(), {paint("Cloth")}, "WitchCape");
    second->setPosition({0.0F, 1.0F, 0.0F});
    caped->addChild(second);
    const WitchSilhouette withCapes = WitchSilhouette::style(*caped, black);
    EXPECT_EQ(withCapes.cape, second);
    EXPECT_EQ(withCapes.capeRest.translation, glm::vec3(0.0F, 1.0F, 0.0F));
}
