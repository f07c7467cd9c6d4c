#include "engine/eggs/EasterEggEffects.h"

#include "engine/scene/OrbitPose.h"
#include "platform/mesh/MeshError.h"
#include "platform/scene/DynamicLightShadowComponent.h"
#include "platform/scene/ModelComponent.h"
#include "platform/scene/OpacityComponent.h"
#include "resources/SceneLandmarks.h"
#include "tests/eggs/EggFixture.h"

#include <gtest/gtest.h>

#include <glm/geometric.hpp>
#include <glm/gtx/quaternion.hpp>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace gloam;
namespace fs = std::filesystem;

namespace {

class EasterEggEffectsTest : public ::testing::Test {
protected:
    void SetUp() override { resources_ = gloam::testing::makeEggResources(); }
    void TearDown() override { fs::remove_all(resources_); }
    const fs::path& resources() const { return resources_; }

private:
    fs::path resources_;
};

platform::ModelEntity& modelAt(const platform::EntityPtr& parent, std::size_t index)
{
    return static_cast<platform::ModelEntity&>(*parent->children().at(index));
}

const platform::MeshResource::Part& partOf(platform::ModelEntity& entity)
{
    return entity.model().mesh->parts().front();
}

const platform::CustomMaterial& fadeOf(platform::ModelEntity& entity)
{
    const platform::CustomMaterial* fade = platform::asCustom(entity.model().materials.front());
    EXPECT_NE(fade, nullptr);
    static const platform::CustomMaterial none(platform::UnlitMaterial{}, platform::SurfaceShader{});
    return fade != nullptr ? *fade : none;
}

float opacityOf(const platform::Entity& entity)
{
    const auto* opacity = entity.components.get<platform::OpacityComponent>();
    return opacity != nullptr ? opacity->opacity : 1.0F;
}

// Every model entity under `entity`, depth first.
std::vector<platform::Entity*> models(platform::Entity& entity)
{
    std::vector<platform::Entity*> found;
    entity.visit([&](platform::Entity& e) {
        if (e.components.has<platform::ModelComponent>()) {
            found.push_back(&e);
        }
    });
    return found;
}

void expectNear(glm::vec3 actual, glm::vec3 expected, float tolerance = 1e-5F)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

glm::vec3 landmark(landmarks::Point3 p)
{
    return {p.x, p.y, p.z};
}

} // namespace

TEST_F(EasterEggEffectsTest, BuildsItsTreeHiddenWithEveryChargingMaterialFaded)
{
    EasterEggEffects eggs(resources());
    EXPECT_EQ(eggs.root()->name(), "ExperimentalEasterEggs");
    ASSERT_EQ(eggs.root()->children().size(), 2U);
    EXPECT_EQ(eggs.root()->children()[0], eggs.skyrell());
    EXPECT_EQ(eggs.root()->children()[1], eggs.charging());
    EXPECT_FALSE(eggs.skyrell()->isEnabled());
    EXPECT_FALSE(eggs.charging()->isEnabled());
    EXPECT_FALSE(eggs.stagePrepared());
    EXPECT_EQ(eggs.stageSide(), 1.0F);

    ASSERT_EQ(eggs.skyrell()->children().size(), 2U);
    EXPECT_EQ(eggs.skyrell()->children()[0], eggs.spirra());
    EXPECT_EQ(eggs.skyrell()->children()[1], eggs.guestWitch());
    EXPECT_EQ(eggs.arm()->parent(), eggs.spirra().get());

    const auto& charging = eggs.charging()->children();
    ASSERT_EQ(charging.size(), 4U + EasterEggEffects::cableSegments);
    EXPECT_EQ(charging[0], eggs.station());
    EXPECT_EQ(charging[1], eggs.ghost());
    EXPECT_EQ(charging[2], eggs.pumpkin());
    EXPECT_EQ(charging[3], eggs.plug());
    EXPECT_EQ(eggs.face()->parent(), eggs.ghost().get());
    EXPECT_EQ(eggs.warm()->parent(), eggs.pumpkin().get());
    EXPECT_EQ(eggs.warm()->light().intensity, 0.0F);
    ASSERT_EQ(eggs.cable().size(), 32U);
    for (std::size_t i = 0; i < eggs.cable().size(); ++i) {
        EXPECT_EQ(charging[4 + i], eggs.cable()[i]);
    }

    // The witch is a flat dark silhouette that casts no shadow.
    for (platform::Entity* part : models(*eggs.guestWitch())) {
        auto* model = part->components.get<platform::ModelComponent>();
        for (const platform::Material& material : model->materials) {
            const auto* unlit = platform::asUnlit(material);
            ASSERT_NE(unlit, nullptr);
            EXPECT_EQ(unlit->color.tint, platform::rgb(0.014F, 0.022F, 0.03F));
        }
        EXPECT_FALSE(part->components.get<platform::DynamicLightShadowComponent>()->castsShadow);
    }

    // Everything under the charging scene fades, starting hidden; hidden,
    // nothing casts a shadow.
    int casting = 0;
    for (platform::Entity* part : models(*eggs.charging())) {
        for (const platform::Material& material : part->components.get<platform::ModelComponent>()->materials) {
            const auto* fade = platform::asCustom(material);
            ASSERT_NE(fade, nullptr) << part->name();
            EXPECT_EQ(fade->surfaceShader.functionName, "cameoFade");
            EXPECT_EQ(fade->custom.value.x, 0.0F);
            EXPECT_EQ(fade->emissiveIntensity, 1.0F) << "the glow value scales the emissive colour";
        }
        const auto* shadow = part->components.get<platform::DynamicLightShadowComponent>();
        casting += shadow == nullptr || shadow->castsShadow ? 1 : 0;
    }
    EXPECT_EQ(casting, 0);
}

// The shadow pass draws a caster whole, dissolve or not: the sign, the one
// part that casts, casts only while the charging scene is fully revealed.
TEST_F(EasterEggEffectsTest, TheSignCastsItsShadowOnlyWhileTheSceneIsWhole)
{
    EasterEggEffects eggs(resources());
    const auto casters = [&eggs] {
        std::vector<std::string> names;
        for (platform::Entity* part : models(*eggs.charging())) {
            const auto* shadow = part->components.get<platform::DynamicLightShadowComponent>();
            if (shadow == nullptr || shadow->castsShadow) {
                names.push_back(part->name());
            }
        }
        return names;
    };
    const std::vector<std::string> none;
    const std::vector<std::string> sign{"AmperleSign"};
    struct Case {
        double age;
        const std::vector<std::string>& casting;
    };
    // Fading in until 1.4 s, whole until 16.5 s, fading out until 19 s.
    for (const Case& c : {Case{0.0, none}, Case{0.7, none}, Case{1.39, none}, Case{1.4, sign}, Case{9.0, sign},
                          Case{16.5, sign}, Case{16.6, none}, Case{18.9, none}, Case{3.0, sign}, Case{0.2, none}}) {
        eggs.update(EasterEgg::amperle, c.age);
        EXPECT_EQ(casters(), c.casting) << "at " << c.age;
    }
}

TEST_F(EasterEggEffectsTest, FadeMaterialsCarryTheSourceValuesAndAreBuiltOncePerProcess)
{
    auto first = std::make_unique<EasterEggEffects>(resources());
    const std::size_t templates = EasterEggEffects::chargingTemplateCount();
    EXPECT_GE(templates, models(*first->charging()).size());

    // The ghost's sheet: transparent 0.66, emissive 0.2; the station's
    // shadow: unlit, transparent 0.07, no emission; the plinth: opaque.
    const auto& sheet = fadeOf(modelAt(first->ghost(), 1));
    EXPECT_EQ(sheet.custom.value, glm::vec4(0.0F, 0.2F, 0.66F, 0.0F));
    EXPECT_EQ(sheet.blending, platform::Blending::transparent(1.0F));
    EXPECT_EQ(sheet.baseColor.tint, platform::rgb(0.6F, 0.73F, 0.72F));
    const auto& shadow = fadeOf(modelAt(first->station(), 0));
    EXPECT_EQ(shadow.custom.value, glm::vec4(0.0F, 0.0F, 0.07F, 0.0F));
    EXPECT_EQ(shadow.lightingModel, platform::CustomMaterial::LightingModel::unlit);
    const auto& plinth = fadeOf(modelAt(first->station(), 4));
    EXPECT_EQ(plinth.custom.value, glm::vec4(0.0F, 0.08F, 1.0F, 0.0F));
    EXPECT_EQ(plinth.blending, platform::Blending::opaque());

    // A second scene in the process reuses them slot by slot.
    EasterEggEffects second(resources());
    EXPECT_EQ(EasterEggEffects::chargingTemplateCount(), templates);
    const auto a = models(*first->charging());
    const auto b = models(*second.charging());
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i]->components.get<platform::ModelComponent>()->materials,
                  b[i]->components.get<platform::ModelComponent>()->materials)
            << i;
    }
}

TEST_F(EasterEggEffectsTest, TheSkyCarIsAClosedBodyWithARiderWhoseArmSwingsAlone)
{
    EasterEggEffects eggs(resources());
    auto& body = modelAt(eggs.spirra(), 0);
    EXPECT_EQ(body.model().mesh->name(), "Original red spirra");
    const auto& part = partOf(body);
    EXPECT_EQ(part.positions.size(), 84U);
    EXPECT_EQ(part.triangleCount(), 6U * 12U * 2U + 2U * 10U);
    // Closed: every edge is shared by exactly two triangles, once each way.
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> edges;
    for (std::size_t t = 0; t < part.indices.size(); t += 3) {
        for (int e = 0; e < 3; ++e) {
            edges[{part.indices[t + e], part.indices[t + (e + 1) % 3]}] += 1;
        }
    }
    for (const auto& [edge, count] : edges) {
        EXPECT_EQ(count, 1);
        EXPECT_EQ(edges.count({edge.second, edge.first}), 1U) << edge.first << "-" << edge.second;
    }
    // Sections 0 and 6 are covered by the cap fans: their normals point
    // out of the front and the rear.
    EXPECT_LT(part.normals[0].x, -0.5F);
    EXPECT_GT(part.normals[72].x, 0.5F);

    // 1 body + cockpit + floor + 4 × (tyre, hub, 5 spokes) + windscreen +
    // 2 × (head lamp, tail lamp) + torso, helmet, visor, steering arm,
    // the arm's pivot, the badge.
    EXPECT_EQ(eggs.spirra()->children().size(), 3U + 28U + 1U + 4U + 6U);
    ASSERT_EQ(eggs.arm()->children().size(), 3U);
    EXPECT_EQ(eggs.arm()->position(), glm::vec3(0.23F, 0.57F, 0.17F));
    for (const auto& child : eggs.arm()->children()) {
        EXPECT_TRUE(child->components.has<platform::ModelComponent>());
    }
    const auto torso = eggs.spirra()->children()[33];
    const glm::vec3 torsoBefore = torso->position(nullptr);
    const glm::vec3 gloveBefore = eggs.arm()->children()[2]->position(nullptr);
    eggs.arm()->setOrientation(glm::angleAxis(0.36F, glm::vec3(0, 0, 1)));
    EXPECT_EQ(torso->position(nullptr), torsoBefore);
    EXPECT_GT(glm::length(eggs.arm()->children()[2]->position(nullptr) - gloveBefore), 0.05F);
}

TEST_F(EasterEggEffectsTest, TheChargingModelsHaveTheirShapesAndLists)
{
    EasterEggEffects eggs(resources());
    ASSERT_EQ(eggs.chargeBars().size(), 4U);
    const float barX[] = {-0.1F, -0.033F, 0.034F, 0.101F};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(eggs.chargeBars()[i]->position().x, barX[i], 1e-6F);
        EXPECT_EQ(eggs.chargeBars()[i]->parent(), eggs.station().get());
    }
    // Station: 4 shadow layers, plinth, foot, 8 housing pieces, sign, 4 bars.
    ASSERT_EQ(eggs.station()->children().size(), 4U + 2U + 8U + 1U + 4U);
    const auto& sign = *eggs.station()->children()[14];
    EXPECT_EQ(sign.name(), "AmperleSign");
    const auto signBounds = sign.visualBounds(true, eggs.station().get());
    EXPECT_NEAR(sign.position().x, -0.5F * signBounds.extents().x, 1e-6F);
    EXPECT_NEAR(sign.position().y, 1.29F, 1e-6F);
    EXPECT_GT(signBounds.extents().x, 0.15F) << "five letters of a 0.064 font";
    EXPECT_LT(signBounds.extents().x, 0.3F);

    // Ghost: 31 rings of 64 points, a tiny crown, a rippled, waved hem.
    auto& body = modelAt(eggs.ghost(), 1);
    EXPECT_EQ(body.model().mesh->name(), "Curious armless ghost");
    const auto& ghost = partOf(body);
    EXPECT_EQ(ghost.positions.size(), 1984U);
    EXPECT_EQ(ghost.triangleCount(), 3840U);
    for (int j = 0; j < 64; ++j) {
        const glm::vec3 p = ghost.positions[j];
        EXPECT_NEAR(std::hypot(p.x, p.z / 0.63F), 0.17F * std::sqrt(0.001F), 1e-6F);
        EXPECT_NEAR(p.y, 0.84F, 1e-6F);
    }
    float lowRadius = 1.0F;
    float highRadius = 0.0F;
    float lowHem = 1.0F;
    float highHem = -1.0F;
    for (int j = 0; j < 64; ++j) {
        const glm::vec3 p = ghost.positions[64 * 30 + j];
        const float radius = std::hypot(p.x, p.z / 0.63F);
        lowRadius = std::min(lowRadius, radius);
        highRadius = std::max(highRadius, radius);
        lowHem = std::min(lowHem, p.y);
        highHem = std::max(highHem, p.y);
    }
    EXPECT_NEAR(lowRadius, 0.2576F, 2e-3F);
    EXPECT_NEAR(highRadius, 0.3024F, 1e-5F);
    EXPECT_NEAR(lowHem, 0.0F, 1e-6F);
    EXPECT_NEAR(highHem, 0.11F, 1e-6F);
    ASSERT_EQ(eggs.face()->children().size(), 3U);

    // Pumpkin: shadow, ten lobes, stem, two eyes and the mouth (and the
    // light); the carvings lie a hair in front of the front lobe.
    ASSERT_EQ(eggs.pumpkin()->children().size(), 1U + 10U + 1U + 3U + 1U);
    ASSERT_EQ(eggs.pumpkinShell().size(), 10U);
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(eggs.pumpkinShell()[i], eggs.pumpkin()->children()[1 + i]);
    }
    const auto front = eggs.pumpkinShell()[0];
    EXPECT_NEAR(front->position().z + front->scale().z, 0.19F, 1e-6F) << "the front skin at (0, 0)";
    ASSERT_EQ(eggs.pumpkinFace().size(), 3U);
    EXPECT_EQ(eggs.pumpkinFace()[0], eggs.pumpkin()->children()[12]);
    EXPECT_EQ(partOf(*eggs.pumpkinFace()[0]).triangleCount(), 256U);
    EXPECT_EQ(partOf(*eggs.pumpkinFace()[2]).triangleCount(), 4608U);
    EXPECT_LT(partOf(*eggs.pumpkinFace()[0]).bounds.max.x, 0.0F) << "the left eye first";
    EXPECT_GT(partOf(*eggs.pumpkinFace()[1]).bounds.min.x, 0.0F);
    const auto& stem = *eggs.pumpkin()->children()[11];
    const glm::vec3 stemBase = glm::vec3(stem.transformMatrix(eggs.pumpkin().get()) * glm::vec4(0, -0.5F, 0, 1));
    EXPECT_NEAR(stemBase.y, 0.13F, 1e-5F);
    EXPECT_LT(stemBase.y, 0.15F) << "inside the top of the lobes";
}

TEST_F(EasterEggEffectsTest, TheSkySurpriseFollowsItsAge)
{
    EasterEggEffects eggs(resources());
    const glm::vec3 moon = landmark(landmarks::moonPosition);
    const glm::vec3 right = glm::normalize(landmark(landmarks::viewRight));
    const glm::vec3 depth = glm::normalize(landmark(landmarks::houseDirection));
    const glm::vec3 base = moon - 1.5F * depth + glm::vec3(0, -0.12F, 0);

    eggs.update(EasterEgg::skyrell, 0.0);
    EXPECT_TRUE(eggs.skyrell()->isEnabled());
    EXPECT_FALSE(eggs.charging()->isEnabled());
    EXPECT_EQ(opacityOf(*eggs.spirra()), 0.0F);
    expectNear(eggs.spirra()->position(), base + 2.8F * right + glm::vec3(0, 0.02F, 0));
    EXPECT_EQ(eggs.spirra()->scale(), glm::vec3(0.52F));

    // Stopped beside the moon, waving, fully shown.
    eggs.update(EasterEgg::skyrell, 6.0);
    EXPECT_EQ(opacityOf(*eggs.spirra()), 1.0F);
    EXPECT_EQ(opacityOf(*eggs.guestWitch()), 1.0F);
    expectNear(eggs.spirra()->position(), base + 0.46F * right + glm::vec3(0, 0.02F + 0.015F * std::sin(7.8F), 0));
    const float wave = 0.18F + 0.18F * std::sin(30.0F);
    EXPECT_NEAR(glm::angle(eggs.arm()->orientation()), std::abs(wave), 1e-4F);
    expectNear(eggs.guestWitch()->position(), base - 0.4F * right + glm::vec3(0, 0.12F + 0.025F * std::sin(12.0F), 0));
    // The witch meets the car facing it: turned by π from the car's heading.
    const glm::vec3 carForward = glm::rotate(eggs.spirra()->orientation(), glm::vec3(-1, 0, 0));
    const glm::vec3 witchForward = glm::rotate(eggs.guestWitch()->orientation(), glm::vec3(-1, 0, 0));
    EXPECT_LT(glm::dot(carForward, witchForward), -0.9F);

    eggs.update(EasterEgg::skyrell, 4.0);
    EXPECT_EQ(glm::angle(eggs.arm()->orientation()), 0.0F) << "no wave before 4.8 s";
    eggs.update(EasterEgg::skyrell, 13.0);
    EXPECT_EQ(opacityOf(*eggs.spirra()), 0.0F);
    EXPECT_GT(eggs.spirra()->position().y, base.y + 1.4F) << "climbed away";

    eggs.update(std::nullopt, std::nullopt);
    EXPECT_FALSE(eggs.skyrell()->isEnabled());
    EXPECT_FALSE(eggs.charging()->isEnabled());
}

TEST_F(EasterEggEffectsTest, TheChargingSurpriseRevealsChargesAndFades)
{
    EasterEggEffects eggs(resources());
    // Not staged: the surprise shows nothing.
    eggs.update(EasterEgg::amperle, 5.0);
    EXPECT_FALSE(eggs.charging()->isEnabled());
    const OrbitPose pose = OrbitPose::at(landmarks::cameraYaw, landmarks::cameraElevation, 1200.0F / 540.0F,
                                         landmarks::fieldOfViewDegrees, Vehicle::corsel);
    ASSERT_TRUE(eggs.prepareCharging(pose.transform(), 1200.0F / 540.0F, Vehicle::corsel, {}));
    eggs.update(std::nullopt, std::nullopt);

    auto reveal = [](platform::ModelEntity& entity) { return fadeOf(entity).custom.value.x; };
    auto& plinth = modelAt(eggs.station(), 4);

    eggs.update(EasterEgg::amperle, 0.0);
    EXPECT_TRUE(eggs.charging()->isEnabled());
    EXPECT_EQ(reveal(plinth), 0.0F) << "fully faded at the start";
    EXPECT_EQ(fadeOf(*eggs.chargeBars()[0]).custom.value.y, 0.0F);
    eggs.update(EasterEgg::amperle, 1.4);
    EXPECT_EQ(reveal(plinth), 1.0F);
    EXPECT_EQ(reveal(*eggs.cable()[5]), 1.0F);

    const float side = eggs.stageSide();
    expectNear(eggs.station()->position(), {side * -0.24F, 0.15F, 0.0F});
    expectNear(eggs.pumpkin()->position(), {side * 0.34F, 0.155F, 0.34F});

    // The bars light one by one as the charge passes 0.21, 0.42, 0.63, 0.84.
    auto charge = [](float t) {
        const float h = std::clamp((t - 3.8F) / 5.6F, 0.0F, 1.0F);
        return h * h * (3.0F - 2.0F * h);
    };
    auto litBars = [&](float presence) {
        int lit = 0;
        for (const auto& bar : eggs.chargeBars()) {
            const auto& fade = fadeOf(*bar);
            if (fade.emissiveColor.color == glm::vec3(0.12F, 0.85F, 0.42F)) {
                EXPECT_NEAR(fade.custom.value.y, 1.8F * presence, 1e-5F);
                lit += 1;
            } else {
                EXPECT_EQ(fade.emissiveColor.color, glm::vec3(0.025F, 0.1F, 0.06F));
                EXPECT_NEAR(fade.custom.value.y, 0.15F * presence, 1e-5F);
            }
        }
        return lit;
    };
    int expectedLit = 0;
    for (float t = 2.0F; t <= 10.0F; t += 0.25F) {
        eggs.update(EasterEgg::amperle, t);
        const float k = charge(t);
        expectedLit = static_cast<int>((k > 0.21F) + (k > 0.42F) + (k > 0.63F) + (k > 0.84F));
        EXPECT_EQ(litBars(1.0F), expectedLit) << t;
        EXPECT_NEAR(eggs.warm()->light().intensity, k * 18.0F, 1e-4F);
    }
    EXPECT_EQ(expectedLit, 4);
    const auto& mouth = fadeOf(*eggs.pumpkinFace()[2]);
    EXPECT_NEAR(mouth.custom.value.y, 5.25F, 1e-4F) << "the carving glows brightest when charged";
    EXPECT_EQ(eggs.pumpkinFace()[2]->model().materials.size(), 1U);

    // The cable runs from the socket to the plug without a gap.
    const glm::vec3 socket{side * 0.045F, 0.8F, 0.13F};
    auto end = [&](const std::shared_ptr<platform::ModelEntity>& segment, float y) {
        return glm::vec3(segment->transformMatrix(eggs.charging().get()) * glm::vec4(0, y, 0, 1));
    };
    expectNear(end(eggs.cable().front(), -0.5F), socket);
    for (std::size_t i = 0; i + 1 < eggs.cable().size(); ++i) {
        expectNear(end(eggs.cable()[i], 0.5F), end(eggs.cable()[i + 1], -0.5F), 1e-4F);
    }
    const glm::vec3 plugPoint = eggs.pumpkin()->position() + glm::vec3(side * -0.18F, 0.01F, 0.0F);
    expectNear(end(eggs.cable().back(), 0.5F), plugPoint, 1e-4F);
    expectNear(eggs.plug()->position(), plugPoint);
    EXPECT_LT(end(eggs.cable()[16], 0.0F).y, 0.5F) << "the cable sags below the socket";

    eggs.update(EasterEgg::amperle, 19.0);
    EXPECT_EQ(reveal(plinth), 0.0F) << "faded out at the end";
    EXPECT_EQ(eggs.warm()->light().intensity, 0.0F);

    // A new run (the age went back) refreshes every material once.
    eggs.update(EasterEgg::amperle, 0.0);
    EXPECT_EQ(litBars(0.0F), 0);
    EXPECT_EQ(reveal(plinth), 0.0F);
}

// A missing or broken witch model leaves the sky car to cross alone and
// says so in one line; the fade library is still required.
TEST_F(EasterEggEffectsTest, TheSkyCarCrossesAloneWithoutAReadableWitch)
{
    {
        std::vector<std::string> lines;
        EasterEggEffects eggs(resources(), [&lines](const std::string& line) { lines.push_back(line); });
        EXPECT_NE(eggs.guestWitch(), nullptr);
        EXPECT_TRUE(lines.empty()) << "a readable witch is not news";
    }
    for (const char* damage : {"missing", "broken"}) {
        SCOPED_TRACE(damage);
        fs::remove(resources() / "Witch.glb");
        if (std::string(damage) == "broken") {
            std::ofstream(resources() / "Witch.glb", std::ios::binary) << "glTF not really";
        }
        std::vector<std::string> lines;
        EasterEggEffects eggs(resources(), [&lines](const std::string& line) { lines.push_back(line); });
        EXPECT_EQ(eggs.guestWitch(), nullptr);
        ASSERT_EQ(lines.size(), 1U);
        const std::string prefix = "E4 EASTER EGG WITCH FAILED ";
        ASSERT_EQ(lines[0].rfind(prefix, 0), 0U) << lines[0];
        EXPECT_GT(lines[0].size(), prefix.size()) << "followed by the error";
        if (std::string(damage) == "missing") {
            EXPECT_NE(lines[0].find("Witch.glb"), std::string::npos) << lines[0];
        }
        eggs.update(EasterEgg::skyrell, 6.0);
        EXPECT_TRUE(eggs.skyrell()->isEnabled());
    }
    fs::remove(resources() / "CameoFade.glsl");
    EXPECT_THROW(EasterEggEffects{resources()}, std::exception);
}
