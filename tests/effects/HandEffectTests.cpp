#include "engine/effects/HandEffect.h"

#include "platform/assets/AnimationResource.h"
#include "platform/assets/TextureResource.h"
#include "platform/collision/CollisionComponent.h"
#include "platform/material/UnlitMaterial.h"
#include "platform/scene/DynamicLightShadowComponent.h"
#include "platform/scene/ModelComponent.h"
#include "platform/scene/ModelEntity.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace gloam;

namespace {

platform::MeshPtr box(glm::vec3 low, glm::vec3 high)
{
    platform::MeshDescriptor d;
    d.positions = {{low.x, low.y, low.z}, {high.x, low.y, low.z}, {high.x, high.y, high.z}, {low.x, high.y, high.z}};
    d.indices = {0, 1, 2, 0, 2, 3};
    return platform::MeshResource::generate(d);
}

platform::PhysicallyBasedMaterial named(const std::string& name)
{
    platform::PhysicallyBasedMaterial m;
    m.name = name;
    m.baseColor.tint = platform::rgb(0.4F, 0.35F, 0.3F);
    return m;
}

struct HandModel {
    platform::EntityPtr root;
    std::shared_ptr<platform::ModelEntity> bones;
};

// A hand whose bones reach from 0.1 below the ground to 0.9 above it around
// the wrist point; its clip, when it has one, starts 0.8 down, rises to the
// loaded pose at 1 s and sinks back by 2 s.
HandModel handModel(bool withClip)
{
    HandModel hand;
    hand.root = platform::Entity::make("Hand");
    const glm::vec3 w = HandEffect::wrist();
    hand.bones = platform::ModelEntity::make(box({w.x - 0.1F, -0.1F, w.z - 0.05F}, {w.x + 0.1F, 0.9F, w.z + 0.05F}),
                                             {named("BonesSkin_2"), named("BonesPalmLeft"), named("Sleeve")}, "Bones");
    hand.root->addChild(hand.bones);
    if (withClip) {
        platform::AnimationChannel reach;
        reach.target = hand.bones;
        reach.times = {0.0F, 1.0F, 2.0F};
        reach.values = {{0, -0.8F, 0, 0}, {0, 0, 0, 0}, {0, -0.8F, 0, 0}};
        hand.root->addAnimation(platform::AnimationResource::make("HandReach", {reach}));
    }
    return hand;
}

platform::TexturePtr texture()
{
    return platform::TextureResource::fromPixels(1, 1, {128, 128, 255, 255}, "normal");
}

} // namespace

TEST(HandEffectTest, MaterialNamesMatchTheTableByPrefixAndUnderscore)
{
    struct Case {
        const char* name;
        const char* prefix;
    };
    for (const Case c : {Case{"BonesSkin", "BonesSkin"}, Case{"BonesSkin_2", "BonesSkin"}, Case{"BonesSkinny", ""},
                         Case{"BonesPalmLeft", ""}, Case{"Sleeve_Torn", "Sleeve"}, Case{"BonesWrist_", "BonesWrist"},
                         Case{"", ""}, Case{"Skin", ""}}) {
        const auto prefix = HandEffect::tablePrefix(c.name);
        EXPECT_EQ(prefix.value_or(""), c.prefix) << c.name;
    }
}

TEST(HandEffectTest, DressingSetsNormalMapsAndPaleBone)
{
    const platform::TexturePtr skinNormal = texture();
    const HandEffect::Textures textures{{"ao-BonesSkin-normal.png", skinNormal}};

    const auto skin = HandEffect::dress(named("BonesSkin_2"), textures);
    EXPECT_EQ(platform::asPhysicallyBased(skin)->normal, skinNormal);
    EXPECT_EQ(platform::asPhysicallyBased(skin)->baseColor.tint, platform::rgb(0.4F, 0.35F, 0.3F));

    const auto skinny = HandEffect::dress(named("BonesSkinny"), textures);
    EXPECT_EQ(platform::asPhysicallyBased(skinny)->normal, nullptr);

    const auto palm = HandEffect::dress(named("BonesPalmLeft"), textures);
    EXPECT_EQ(platform::asPhysicallyBased(palm)->normal, nullptr);
    EXPECT_EQ(platform::asPhysicallyBased(palm)->baseColor.tint, platform::rgb(1, 1, 1));

    // Without textures only the tints change.
    const auto thumb = HandEffect::dress(named("BonesThumb"), {});
    EXPECT_EQ(platform::asPhysicallyBased(thumb)->normal, nullptr);
    EXPECT_EQ(platform::asPhysicallyBased(thumb)->baseColor.tint, platform::rgb(1, 1, 1));

    // Other kinds of material stay as they are.
    const platform::Material unlit = platform::UnlitMaterial(platform::rgb(0.2F, 0.2F, 0.2F));
    EXPECT_EQ(HandEffect::dress(unlit, textures), unlit);
}

TEST(HandEffectTest, BuildsTheClickBoxAboveTheWristAndDressesTheModel)
{
    const HandModel model = handModel(true);
    auto anchor = platform::Entity::make("Anchor");
    std::vector<std::string> lines;
    HandEffect hand(model.root, *anchor, {}, [&lines](const std::string& line) { lines.push_back(line); });

    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(lines.front(), "E4 hand skeleton animations=1 duration=2.0");
    ASSERT_EQ(anchor->children().size(), 1U);
    EXPECT_EQ(anchor->children().front(), hand.hit());
    EXPECT_EQ(hand.hit()->name(), "HandReaction");

    // The box is taken from the loaded bounds and leaves out what is below
    // 5 cm under the wrist.
    const glm::vec3 w = HandEffect::wrist();
    const float y0 = w.y - 0.05F;
    const glm::vec3 center = hand.hit()->position();
    EXPECT_NEAR(center.x, w.x, 1e-5F);
    EXPECT_NEAR(center.y, (y0 + 0.9F) / 2.0F, 1e-5F);
    EXPECT_NEAR(center.z, w.z, 1e-5F);
    const auto* collision = hand.hit()->components.get<platform::CollisionComponent>();
    ASSERT_NE(collision, nullptr);
    ASSERT_EQ(collision->shapes.size(), 1U);
    const platform::BoundingBox shape = collision->shapes.front().bounds();
    EXPECT_NEAR(shape.extents().x, 0.22F, 1e-5F);
    EXPECT_NEAR(shape.extents().y, 0.9F - y0 + 0.02F, 1e-5F);
    EXPECT_NEAR(shape.extents().z, 0.12F, 1e-5F);

    const auto* dressed = model.bones->components.get<platform::ModelComponent>();
    EXPECT_EQ(platform::asPhysicallyBased(dressed->materials[1])->baseColor.tint, platform::rgb(1, 1, 1));
    const auto* shadow = model.bones->components.get<platform::DynamicLightShadowComponent>();
    ASSERT_NE(shadow, nullptr);
    EXPECT_FALSE(shadow->castsShadow);
}

TEST(HandEffectTest, ClipIsScrubbedToTheAgeAndRestsUnderGround)
{
    const HandModel model = handModel(true);
    auto anchor = platform::Entity::make("Anchor");
    HandEffect hand(model.root, *anchor, {}, [](const std::string&) {});
    ASSERT_NE(hand.playback(), nullptr);
    EXPECT_TRUE(hand.playback()->isPaused());
    EXPECT_FLOAT_EQ(model.bones->position().y, -0.8F) << "the first frame of the clip is under ground";

    hand.update(1.0);
    EXPECT_FLOAT_EQ(model.bones->position().y, 0.0F);
    EXPECT_TRUE(hand.playback()->isPaused());
    hand.update(0.5);
    EXPECT_FLOAT_EQ(model.bones->position().y, -0.4F) << "scrubbing goes back as well";
    hand.update(5.0);
    EXPECT_DOUBLE_EQ(hand.playback()->time(), 5.0) << "ages past the clip are passed on unchanged";
    EXPECT_FLOAT_EQ(model.bones->position().y, -0.8F);

    hand.update(std::nullopt);
    EXPECT_DOUBLE_EQ(hand.playback()->time(), 0.0);
    EXPECT_FLOAT_EQ(model.bones->position().y, -0.8F);

    EXPECT_EQ(gloam::testing::allocationsDuring([&] {
                  for (int k = 0; k < 240; ++k) {
                      hand.update(k / 60.0);
                  }
                  hand.update(std::nullopt);
              }),
              0);

    hand.stop();
    EXPECT_TRUE(hand.playback()->isStopped());
}

TEST(HandEffectTest, WithoutAClipTheHandKeepsItsPoseAndItsClickBox)
{
    const HandModel model = handModel(false);
    auto anchor = platform::Entity::make("Anchor");
    std::vector<std::string> lines;
    HandEffect hand(model.root, *anchor, {}, [&lines](const std::string& line) { lines.push_back(line); });
    EXPECT_EQ(lines, std::vector<std::string>{"E4 HAND ANIMATION FAILED: missing skeletal clip"});
    EXPECT_EQ(hand.playback(), nullptr);
    hand.update(1.0);
    EXPECT_EQ(model.bones->position(), glm::vec3(0.0F));
    hand.stop();
    EXPECT_TRUE(hand.hit()->components.has<platform::CollisionComponent>());
}
