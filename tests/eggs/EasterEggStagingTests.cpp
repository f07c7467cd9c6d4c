#include "engine/eggs/EasterEggEffects.h"

#include "engine/common/PropTarget.h"
#include "engine/scene/OrbitPose.h"
#include "resources/SceneLandmarks.h"
#include "tests/eggs/EggFixture.h"

#include <gtest/gtest.h>

#include <glm/geometric.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace gloam;
namespace fs = std::filesystem;

namespace {

using Box = EasterEggEffects::Box;

class EasterEggStagingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        resources_ = gloam::testing::makeEggResources();
        eggs_ = new EasterEggEffects(resources_);
    }
    static void TearDownTestSuite()
    {
        delete eggs_;
        eggs_ = nullptr;
        fs::remove_all(resources_);
    }
    static EasterEggEffects& eggs() { return *eggs_; }

    // The scene's props as the forge places them and as the camera's pose
    // shows them (the ring's props on the camera's side are hidden, and
    // hidden props are no obstacles), and the hand's box.
    static std::vector<Box> sceneObstacles(const OrbitPose& pose)
    {
        static const std::vector<PropTarget> targets =
            PropTarget::loadList(fs::path(GLOAMYARD_RESOURCE_DIR) / "PropTargets.json");
        std::vector<Box> boxes;
        for (const PropTarget& target : targets) {
            const bool ring = target.id.rfind("RingGrave", 0) == 0 || target.id.rfind("OrbitPumpkin", 0) == 0;
            if (ring && !pose.awayFromCamera(target.position())) {
                continue;
            }
            boxes.push_back({target.position(), target.dimensions()});
        }
        boxes.push_back(handBox());
        return boxes;
    }
    static Box handBox()
    {
        const glm::vec3 wrist{landmarks::handWrist.x, landmarks::handWrist.y, landmarks::handWrist.z};
        return {wrist + glm::vec3(0.0F, 0.22F, 0.0F), {0.7F, 0.9F, 0.7F}};
    }

private:
    static inline fs::path resources_;
    static inline EasterEggEffects* eggs_ = nullptr;
};

// Distance in the ground plane from a point to a box's footprint.
float footprintDistance(glm::vec3 point, glm::vec3 center, glm::vec3 half)
{
    const float dx = std::max(std::abs(point.x - center.x) - half.x, 0.0F);
    const float dz = std::max(std::abs(point.z - center.z) - half.z, 0.0F);
    return std::hypot(dx, dz);
}

// Whether the straight line from `from` to `to` (short of its end) passes
// through a box.
bool blocked(glm::vec3 from, glm::vec3 to, const Box& box)
{
    const glm::vec3 low = box.center - box.size * 0.5F;
    const glm::vec3 high = box.center + box.size * 0.5F;
    constexpr int steps = 400;
    for (int i = 0; i < steps; ++i) {
        const glm::vec3 p = from + (to - from) * (static_cast<float>(i) / steps);
        if (glm::all(glm::greaterThanEqual(p, low)) && glm::all(glm::lessThanEqual(p, high))) {
            return true;
        }
    }
    return false;
}

// What the staged charging scene must respect, checked on the posed models
// rather than on the search's own samples.
void expectSoundStaging(EasterEggEffects& eggs, const glm::mat4& camera, float aspect, Vehicle vehicle,
                        const std::vector<Box>& obstacles)
{
    eggs.update(EasterEgg::amperle, 5.0);
    ASSERT_TRUE(eggs.charging()->isEnabled());
    // Mirrored by swapping places only: the models keep their handedness, so
    // the sign still reads left to right.
    const float side = eggs.stageSide();
    ASSERT_TRUE(side == 1.0F || side == -1.0F);
    EXPECT_NEAR(eggs.station()->position().x, side * -0.24F, 1e-6F);
    EXPECT_NEAR(eggs.pumpkin()->position().x, side * 0.34F, 1e-6F);
    EXPECT_GT(eggs.charging()->scale().x, 0.0F);
    EXPECT_EQ(eggs.station()->scale(), glm::vec3(1.0F));

    // Fully in the picture: the corners of every part's own box, placed as
    // the part stands.
    eggs.charging()->visit([&](platform::Entity& part) {
        const auto bounds = part.visualBounds(false, &part);
        if (bounds.isEmpty()) {
            return;
        }
        auto corners = EasterEggEffects::corners(bounds.min, bounds.max);
        for (glm::vec3& corner : corners) {
            corner = glm::vec3(part.worldMatrix() * glm::vec4(corner, 1.0F));
        }
        const auto rect = EasterEggEffects::projected(corners, camera, aspect);
        ASSERT_TRUE(rect.has_value()) << part.name();
        EXPECT_GE(rect->x, 0.0) << part.name();
        EXPECT_LE(rect->maxX(), 1.0) << part.name();
        EXPECT_GE(rect->y, 0.0) << part.name();
        EXPECT_LE(rect->maxY(), 1.0) << part.name();
    });

    // The station, the pumpkin and the ghost stand clear of the vehicle,
    // every prop and the hand.
    struct Footprint {
        glm::vec3 center;
        float radius;
        const char* what;
    };
    const float scale = eggs.charging()->scale().x;
    const std::array<Footprint, 3> footprints{
        {{eggs.station()->position(nullptr), 0.5136F * scale, "station"}, // the plinth's half diagonal
         {eggs.pumpkin()->position(nullptr), 0.19F * scale, "pumpkin"},
         {eggs.ghost()->position(nullptr), 0.3024F * scale, "ghost"}}};
    const float half = halfLength(vehicle);
    for (const Footprint& footprint : footprints) {
        EXPECT_GT(footprintDistance(footprint.center, glm::vec3(0.0F), {half, 0.0F, 1.3F}), footprint.radius)
            << footprint.what << " over the vehicle";
        for (const Box& obstacle : obstacles) {
            EXPECT_GT(footprintDistance(footprint.center, obstacle.center, obstacle.size * 0.5F), 0.0F)
                << footprint.what << " in the prop at " << obstacle.center.x << ", " << obstacle.center.z;
        }
    }

    // Nothing hides the station's face, the pumpkin or the ghost.
    const glm::vec3 eye(camera[3]);
    std::vector<Box> blockers = obstacles;
    blockers.push_back({{0.0F, top(vehicle) * 0.5F, 0.0F}, {2.0F * half, top(vehicle), 2.6F}});
    const glm::vec3 up{0.0F, 0.85F * scale, 0.0F};
    for (const glm::vec3 spot : {eggs.station()->position(nullptr) + up, eggs.pumpkin()->position(nullptr),
                                 eggs.ghost()->position(nullptr) + 0.5F * up}) {
        for (const Box& blocker : blockers) {
            EXPECT_FALSE(blocked(eye, spot, blocker))
                << "hidden behind the box at " << blocker.center.x << ", " << blocker.center.z;
        }
    }
}

} // namespace

TEST(EasterEggProjection, CornersAndScreenRectangles)
{
    const auto corners = EasterEggEffects::corners({0, 1, 2}, {3, 4, 5});
    const std::array<glm::vec3, 8> expected{
        {{0, 1, 2}, {0, 1, 5}, {0, 4, 2}, {0, 4, 5}, {3, 1, 2}, {3, 1, 5}, {3, 4, 2}, {3, 4, 5}}};
    EXPECT_EQ(corners, expected);

    // A camera at (0, 0, 10) looking along −z.
    const glm::mat4 camera = glm::translate(glm::mat4(1.0F), glm::vec3(0, 0, 10));
    const std::array<glm::vec3, 1> centre{{{0, 0, 0}}};
    const auto middle = EasterEggEffects::projected(centre, camera, 2.0F);
    ASSERT_TRUE(middle.has_value());
    EXPECT_EQ(*middle, (EasterEggEffects::ScreenRect{0.5, 0.5, 0, 0}));
    // The top edge of the field at 10 units, and half the width to the right.
    const float tangent = EasterEggEffects::halfFieldTangent;
    const std::array<glm::vec3, 2> span{{{0, 10 * tangent, 0}, {10 * tangent, 0, 0}}};
    const auto rect = EasterEggEffects::projected(span, camera, 2.0F);
    ASSERT_TRUE(rect.has_value());
    EXPECT_NEAR(rect->x, 0.5, 1e-6);
    EXPECT_NEAR(rect->y, 0.0, 1e-6);
    EXPECT_NEAR(rect->maxX(), 0.75, 1e-6);
    EXPECT_NEAR(rect->maxY(), 0.5, 1e-6);
    // A point less than half a unit in front spoils the whole rectangle.
    const std::array<glm::vec3, 2> near{{{0, 0, 0}, {0, 0, 9.6F}}};
    EXPECT_FALSE(EasterEggEffects::projected(near, camera, 2.0F).has_value());
}

// The scene camera as the view poses it.
OrbitPose viewPose(float yaw, float elevation, float aspect, Vehicle vehicle)
{
    return OrbitPose::at(yaw, elevation, aspect, landmarks::fieldOfViewDegrees, vehicle);
}

TEST_F(EasterEggStagingTest, FromTheSideWithNothingAroundTheStationStandsLeftAndClear)
{
    for (const Vehicle vehicle : allVehicles) {
        SCOPED_TRACE(std::string(rawValue(vehicle)));
        const glm::mat4 camera = viewPose(-1.5708F, 0.044F, 1200.0F / 540.0F, vehicle).transform();
        ASSERT_TRUE(eggs().prepareCharging(camera, 1200.0F / 540.0F, vehicle, {}));
        const auto& frame = eggs().stageFrame();
        EXPECT_LT(frame.x + frame.width * 0.5, 0.5) << "on the left half";
        EXPECT_EQ(eggs().charging()->position(), eggs().stagePosition());
        EXPECT_EQ(eggs().charging()->scale(), glm::vec3(1.2F));
        // Facing the camera: the scene's +z points at it.
        const glm::vec3 facing = eggs().charging()->orientation() * glm::vec3(0, 0, 1);
        const glm::vec3 toCamera = glm::normalize(glm::vec3(camera[2].x, 0.0F, camera[2].z));
        EXPECT_GT(glm::dot(facing, toCamera), 0.9999F);
        expectSoundStaging(eggs(), camera, 1200.0F / 540.0F, vehicle, {});
    }
}

// The default view (the screen saver's, and the app's until the user
// drags) of every vehicle and the usual screen shapes, among the props and
// with the hand in the way, always has a place.
TEST_F(EasterEggStagingTest, TheDefaultViewStagesTheStationOnEveryScreenShape)
{
    for (const Vehicle vehicle : allVehicles) {
        for (const float aspect : {1200.0F / 540.0F, 16.0F / 9.0F, 16.0F / 10.0F, 4.0F / 3.0F}) {
            SCOPED_TRACE(std::string(rawValue(vehicle)) + " aspect " + std::to_string(aspect));
            const OrbitPose pose = viewPose(landmarks::cameraYaw, landmarks::cameraElevation, aspect, vehicle);
            const std::vector<Box> obstacles = sceneObstacles(pose);
            ASSERT_TRUE(eggs().prepareCharging(pose.transform(), aspect, vehicle, obstacles));
            expectSoundStaging(eggs(), pose.transform(), aspect, vehicle, obstacles);
        }
    }
}

// Over the orbit, several picture shapes and every vehicle, with the props
// and the hand in the way: a place found is always sound, and every view
// finds one but the few listed, where the camera is low and the picture
// narrow: looking along the vehicle, which then fills the picture's width
// (there is no place even on an empty ground), or past the props and the
// hand, which together leave no ground that is free and seen.
TEST_F(EasterEggStagingTest, PlacesAreOnScreenClearAndVisibleAroundTheOrbit)
{
    const std::array<float, 8> yaws{-0.955F, -0.3F, 0.5F, 1.4F, 2.4F, 3.1F, -2.2F, -1.6F};
    const std::array<float, 3> elevations{0.044F, 0.35F, 0.8F};
    const std::array<float, 3> aspects{1200.0F / 540.0F, 16.0F / 9.0F, 4.0F / 3.0F};
    const std::vector<std::string> unstageable{"corsel yaw 1.400000 elevation 0.044000 aspect 1.777778",
                                               "corsel yaw 1.400000 elevation 0.044000 aspect 1.333333",
                                               "corsel yaw 3.100000 elevation 0.800000 aspect 1.333333",
                                               "corsel yaw -2.200000 elevation 0.044000 aspect 1.777778",
                                               "corsel yaw -1.600000 elevation 0.044000 aspect 1.333333",
                                               "vantre yaw 1.400000 elevation 0.044000 aspect 1.777778",
                                               "vantre yaw 1.400000 elevation 0.044000 aspect 1.333333",
                                               "vantre yaw 3.100000 elevation 0.800000 aspect 1.333333",
                                               "vantre yaw -2.200000 elevation 0.044000 aspect 1.777778",
                                               "vantre yaw -1.600000 elevation 0.044000 aspect 1.333333",
                                               "brusker yaw -1.600000 elevation 0.044000 aspect 1.333333",
                                               "spirra yaw 1.400000 elevation 0.044000 aspect 1.777778",
                                               "spirra yaw 1.400000 elevation 0.044000 aspect 1.333333",
                                               "spirra yaw 3.100000 elevation 0.800000 aspect 1.333333",
                                               "spirra yaw -1.600000 elevation 0.044000 aspect 1.333333"};
    std::vector<std::string> missed;
    int found = 0;
    int left = 0;
    int mirrored = 0;
    int cases = 0;
    for (const Vehicle vehicle : allVehicles) {
        for (const float yaw : yaws) {
            for (const float elevation : elevations) {
                for (const float aspect : aspects) {
                    const std::string view = std::string(rawValue(vehicle)) + " yaw " + std::to_string(yaw) +
                                             " elevation " + std::to_string(elevation) + " aspect " +
                                             std::to_string(aspect);
                    SCOPED_TRACE(view);
                    const OrbitPose pose = viewPose(yaw, elevation, aspect, vehicle);
                    const std::vector<Box> obstacles = sceneObstacles(pose);
                    ASSERT_GT(obstacles.size(), 10U);
                    const glm::mat4 camera = pose.transform();
                    cases += 1;
                    if (!eggs().prepareCharging(camera, aspect, vehicle, obstacles)) {
                        missed.push_back(view);
                        continue;
                    }
                    found += 1;
                    const auto& frame = eggs().stageFrame();
                    EXPECT_GE(frame.x, 0.035);
                    EXPECT_LE(frame.maxX(), 0.965);
                    EXPECT_GE(frame.y, 0.045);
                    EXPECT_LE(frame.maxY(), 0.94);
                    left += frame.x + frame.width * 0.5 < 0.5 ? 1 : 0;
                    mirrored += eggs().stageSide() < 0.0F ? 1 : 0;
                    expectSoundStaging(eggs(), camera, aspect, vehicle, obstacles);
                }
            }
        }
    }
    std::cout << "staged " << found << " of " << cases << ", " << left << " on the left, " << mirrored << " mirrored\n";
    for (const std::string& view : missed) {
        EXPECT_NE(std::find(unstageable.begin(), unstageable.end(), view), unstageable.end()) << "no place in " << view;
    }
}

TEST_F(EasterEggStagingTest, NoPlaceLeavesTheSurpriseUnstaged)
{
    const OrbitPose pose = viewPose(-0.955F, 0.044F, 1200.0F / 540.0F, Vehicle::corsel);
    const glm::mat4 camera = pose.transform();
    ASSERT_TRUE(eggs().prepareCharging(camera, 1200.0F / 540.0F, Vehicle::corsel, {}));
    const glm::vec3 before = eggs().charging()->position();
    // Props over the whole ground: nowhere to stand.
    const std::vector<Box> everywhere{{{0.0F, 0.5F, 0.0F}, {40.0F, 1.0F, 40.0F}}};
    EXPECT_FALSE(eggs().prepareCharging(camera, 1200.0F / 540.0F, Vehicle::corsel, everywhere));
    EXPECT_FALSE(eggs().stagePrepared());
    EXPECT_EQ(eggs().charging()->position(), before) << "nothing else changes";
    eggs().update(EasterEgg::amperle, 3.0);
    EXPECT_FALSE(eggs().charging()->isEnabled());
    eggs().update(std::nullopt, std::nullopt);

    // Looking straight down the vehicle from so close that it fills the view.
    OrbitPose close = pose;
    close.distance = 4.0F;
    EXPECT_FALSE(eggs().prepareCharging(close.transform(), 1200.0F / 540.0F, Vehicle::corsel, {}));
}
