#include "engine/effects/LightningEffect.h"
#include "engine/effects/OpeningSequence.h"
#include "engine/effects/PersistentEffects.h"
#include "engine/eggs/EasterEggEffects.h"
#include "engine/post/GhostBloom.h"
#include "engine/prefs/GloamyardPreferences.h"
#include "engine/scene/GhostView.h"
#include "engine/scene/HeadlessSceneDriver.h"
#include "engine/scene/OrbitPose.h"
#include "platform/async/CancellationError.h"
#include "platform/async/TaskHandle.h"
#include "platform/collision/CollisionComponent.h"
#include "platform/collision/ShapeResource.h"
#include "resources/SceneLandmarks.h"
#include "tests/engine_scene/SceneFixture.h"
#include "tests/support/EventLoop.h"
#include "tests/support/OpeningPose.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace gloam;
using gloam::testing::runEventsUntil;
namespace fs = std::filesystem;

namespace {

constexpr double frameStep = 1.0 / 64; // exact in binary: clocks hit due times exactly

// The moon's hit spot, as the witch provides it.
void addMoonHit(GhostView& view)
{
    constexpr landmarks::Point3 at = landmarks::moonPosition;
    auto moon = platform::Entity::make("MoonReaction");
    moon->setPosition({at.x, at.y, at.z});
    moon->components.set(
        platform::CollisionComponent({platform::ShapeResource::generateSphere(landmarks::moonClickRadius)}));
    view.anchor()->addChild(moon);
}

// A scene view driven frame by frame on a clock the test controls.
class SceneHarness {
public:
    explicit SceneHarness(bool interactive = true, std::string targets = gloam::testing::defaultTargets(),
                          const std::vector<std::string>& withoutFiles = {})
        : resources_(gloam::testing::makeSceneResources(targets))
    {
        for (const std::string& file : withoutFiles) {
            fs::remove(resources_ / file);
        }
        view = gloam::testing::makeTestView(resources_, interactive, now_, log);
    }
    ~SceneHarness()
    {
        view.reset();
        gloam::testing::settleTasks(); // what the view still had going
        fs::remove_all(resources_);
    }

    // One presented frame after `step` seconds.
    void frame(double step = frameStep)
    {
        now_ += step;
        driver().present(*view, step);
    }
    void frames(int count, double step = frameStep)
    {
        for (int i = 0; i < count; ++i) {
            frame(step);
        }
    }
    // Frame updates without drawing, for long stretches of scene time.
    void ticks(int count, double step)
    {
        for (int i = 0; i < count; ++i) {
            now_ += step;
            view->render().scene().update(step);
        }
    }
    void waitUntilReady()
    {
        ASSERT_TRUE(runEventsUntil([this] { return view->isReady() || view->isStopped(); }, 20.0));
        ASSERT_TRUE(view->isReady()) << (log.empty() ? std::string("no log") : log.back());
    }
    // Loaded, warmed and past the opening.
    void runScene()
    {
        waitUntilReady();
        frames(GhostBloom::warmupFrames + 1);
        view->skipOpening();
        ASSERT_FALSE(view->openingPlaying());
    }
    const fs::path& resources() const { return resources_; }
    int countLines(const std::string& prefix) const
    {
        int count = 0;
        for (const auto& line : log) {
            count += line.rfind(prefix, 0) == 0 ? 1 : 0;
        }
        return count;
    }

    static HeadlessSceneDriver& driver() { return gloam::testing::sceneDriver(); }

    std::shared_ptr<GhostView> view;
    std::vector<std::string> log;

private:
    fs::path resources_;
    double now_ = 1000.0;
};

class GhostViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::remove(GloamyardPreferences::sharedStoreFile(GloamyardPreferences::configDirectory()));
    }
};

} // namespace

TEST_F(GhostViewTest, FirstFramesHaveAZeroStepAndPauseFreezesEverything)
{
    SceneHarness scene;
    scene.frame(5.0);
    EXPECT_EQ(scene.view->ambientTime(), 0.0) << "the first frame after construction has no step";
    EXPECT_EQ(scene.view->updateCount(), 1);
    scene.frame(0.5);
    EXPECT_DOUBLE_EQ(scene.view->ambientTime(), 0.5);

    scene.view->setPaused(true);
    EXPECT_TRUE(scene.view->render().isHidden());
    scene.frames(10, 1.0);
    EXPECT_EQ(scene.view->updateCount(), 2);
    EXPECT_DOUBLE_EQ(scene.view->ambientTime(), 0.5);
    EXPECT_DOUBLE_EQ(scene.view->opening()->time(), 0.5);

    scene.view->setPaused(false);
    scene.frame(3.0);
    EXPECT_DOUBLE_EQ(scene.view->ambientTime(), 0.5) << "the first frame after unpausing has no step";
    scene.frame(0.25);
    EXPECT_DOUBLE_EQ(scene.view->ambientTime(), 0.75);
}

TEST_F(GhostViewTest, AClockGoingBackIsAZeroStepAndAHugeStepIsTakenWhole)
{
    SceneHarness scene;
    scene.runScene();
    const double before = scene.view->ambientTime();
    scene.frame(-5.0);
    EXPECT_EQ(scene.view->ambientTime(), before) << "never a negative step";
    scene.frame(0.25);
    EXPECT_DOUBLE_EQ(scene.view->ambientTime(), before + 0.25) << "the next step counts from the new reading";

    scene.ticks(1, 1.0e6);
    EXPECT_DOUBLE_EQ(scene.view->ambientTime(), before + 0.25 + 1.0e6) << "no upper clamp";
    EXPECT_TRUE(std::isfinite(scene.view->timeline().strength()));
    EXPECT_TRUE(std::isfinite(scene.view->reactions().pumpkinStrength()));
    scene.frame();
    EXPECT_FALSE(scene.view->isStopped());
}

TEST_F(GhostViewTest, OpeningHoldsAtItsLimitUntilTheSceneCanShow)
{
    SceneHarness scene;
    // No event-loop turn has run, so the load has not even begun.
    scene.frame();
    EXPECT_EQ(scene.view->statusLabel().text, "Preparing the scene\u2026")
        << "a zero step while the opening plays waits";
    scene.frames(20, 1.0);
    EXPECT_DOUBLE_EQ(scene.view->opening()->time(), 13.9);
    EXPECT_EQ(scene.view->statusLabel().text, "Preparing the scene\u2026");
    EXPECT_FALSE(scene.view->statusLabel().hidden);
    EXPECT_EQ(scene.view->timeline().time, 0.0) << "event clocks stand still under the opening";

    scene.waitUntilReady();
    scene.frames(GhostBloom::warmupFrames, 0.01);
    EXPECT_DOUBLE_EQ(scene.view->opening()->time(), 13.9) << "held until the warm-up has completed";
    EXPECT_TRUE(scene.view->bloom()->sceneWarmed());
    scene.frame(0.5);
    EXPECT_DOUBLE_EQ(scene.view->opening()->time(), 14.4);
    EXPECT_TRUE(scene.view->statusLabel().hidden);
    EXPECT_EQ(scene.view->statusLabel().text, "");
    scene.frame(1.0);
    EXPECT_FALSE(scene.view->openingPlaying());
    EXPECT_FLOAT_EQ(scene.view->bloom()->sharedValues().sceneVisibility, 1.0F);
}

TEST_F(GhostViewTest, SkipBeforeTheSceneIsReadyWaitsWithoutTheWaitingLabel)
{
    SceneHarness scene;
    scene.frame();
    scene.view->skipOpening();
    EXPECT_TRUE(scene.view->pendingSkip());
    EXPECT_TRUE(scene.view->openingPlaying());
    scene.frames(16, 1.0);
    EXPECT_DOUBLE_EQ(scene.view->opening()->time(), 13.9);
    EXPECT_TRUE(scene.view->statusLabel().hidden) << "no waiting text while a skip is pending";

    scene.waitUntilReady();
    scene.frames(GhostBloom::warmupFrames);
    scene.frame();
    EXPECT_FALSE(scene.view->pendingSkip());
    EXPECT_FALSE(scene.view->openingPlaying());
}

TEST_F(GhostViewTest, SaverSaysSoundIsOffForItsFirstEightSeconds)
{
    SceneHarness saver(false);
    saver.frame();
    saver.frame(1.0);
    EXPECT_EQ(saver.view->statusLabel().text, "Sound off \u00b7 Enable in Screen Saver Options");
    saver.frames(6, 1.0);
    EXPECT_FALSE(saver.view->statusLabel().hidden);
    saver.frame(1.0);
    EXPECT_TRUE(saver.view->statusLabel().hidden) << "gone after 8 s of running time";

    SceneHarness app(true);
    app.frame();
    app.frame(1.0);
    EXPECT_TRUE(app.view->statusLabel().hidden) << "the app never shows it";
}

TEST_F(GhostViewTest, LoadBuildsTargetsAndLogsInOrder)
{
    SceneHarness scene;
    int readyCalls = 0;
    scene.view->onReady = [&] {
        EXPECT_TRUE(scene.view->isReady());
        readyCalls += 1;
    };
    scene.waitUntilReady();
    EXPECT_EQ(readyCalls, 1);
    ASSERT_EQ(scene.countLines("E4 environment loaded seconds="), 1);
    EXPECT_EQ(scene.countLines("VEHICLE selected=corsel rearChildren=3"), 1);
    EXPECT_EQ(scene.countLines("E4 cloth normal texture=false"), 1);
    ASSERT_EQ(scene.countLines("E4 reaction targets=7"), 1);
    const auto environment = std::find_if(scene.log.begin(), scene.log.end(),
                                          [](const auto& line) { return line.rfind("E4 environment loaded", 0) == 0; });
    const auto targets = std::find_if(scene.log.begin(), scene.log.end(),
                                      [](const auto& line) { return line.rfind("E4 reaction targets=", 0) == 0; });
    EXPECT_LT(environment, targets);
    EXPECT_EQ(scene.view->targetEntities().size(), 7U);
    EXPECT_EQ(scene.view->pumpkinLights().size(), 1U) << "RightBroken has no light and \"Pumpkin\" is no pumpkin";
    EXPECT_FLOAT_EQ(scene.view->pumpkinLights().front()->light().intensity, 300.0F);
}

TEST_F(GhostViewTest, TheOwnerMayStopAndDropTheViewInsideItsCallbacks)
{
    // Each callback's own state (`calls`) is used after the owner stopped
    // the view, which clears the callbacks: the view calls copies.
    {
        SceneHarness scene;
        const std::weak_ptr<GhostView> watch = scene.view;
        auto calls = std::make_shared<int>(0);
        scene.view->onReady = [&scene, calls] {
            scene.view->stop();
            scene.view.reset();
            *calls += 1;
        };
        ASSERT_TRUE(runEventsUntil([&] { return *calls > 0; }, 20.0));
        EXPECT_EQ(*calls, 1);
        EXPECT_TRUE(watch.expired()) << "the view goes once the callback returns";
    }
    {
        SceneHarness scene;
        scene.waitUntilReady();
        scene.frames(GhostBloom::warmupFrames + 1); // until the scene can show
        auto calls = std::make_shared<int>(0);
        scene.view->onOpeningChanged = [&scene, calls] {
            scene.view->stop();
            *calls += 1;
        };
        scene.view->skipOpening();
        EXPECT_EQ(*calls, 1);
        EXPECT_TRUE(scene.view->isStopped());
        EXPECT_TRUE(scene.view->render().scene().anchors().empty());
    }
}

TEST_F(GhostViewTest, MissingGraveyardFailsTheLoadAndStopsTheView)
{
    SceneHarness scene;
    fs::remove(scene.resources() / "Graveyard.glb"); // before the load's first turn
    bool ready = false;
    scene.view->onReady = [&] { ready = true; };
    ASSERT_TRUE(runEventsUntil([&] { return scene.view->isStopped(); }, 20.0));
    EXPECT_FALSE(scene.view->isReady());
    EXPECT_FALSE(ready);
    ASSERT_GE(scene.log.size(), 2U);
    const std::string failed = scene.log[scene.log.size() - 2];
    EXPECT_EQ(failed.rfind("E4 ENVIRONMENT FAILED ", 0), 0U) << failed;
    EXPECT_NE(failed.find("Graveyard.glb"), std::string::npos) << "the error names the file";
    EXPECT_EQ(scene.log.back(), "Halloween scene unavailable: " + failed.substr(22));
    ASSERT_TRUE(scene.view->failureLabel().has_value());
    EXPECT_EQ(scene.view->failureLabel()->text, "Unable to load the Halloween scene.");
    EXPECT_TRUE(scene.view->render().scene().anchors().empty());
    const int frames = scene.view->updateCount();
    scene.frames(3);
    EXPECT_EQ(scene.view->updateCount(), frames) << "a stopped view never runs again";
}

TEST_F(GhostViewTest, MalformedTargetsAreLoggedAndTheSceneStillLoads)
{
    SceneHarness scene(true, R"([{"id": "A", "kind": "grave", "center": [0, 0, 0]}])");
    scene.waitUntilReady();
    EXPECT_EQ(scene.countLines("E4 REACTIONS FAILED PropTargets.json target 0 has no \"size\""), 1);
    EXPECT_EQ(scene.countLines("E4 reaction targets="), 0);
    EXPECT_TRUE(scene.view->targets().empty());
    EXPECT_TRUE(scene.view->pumpkinLights().empty());
}

TEST_F(GhostViewTest, StopDuringTheLoadEndsItSilentlyAndStopIsIdempotent)
{
    SceneHarness scene;
    bool ready = false;
    scene.view->onReady = [&] { ready = true; };
    QCoreApplication::processEvents(); // the load starts and waits for its first model file
    scene.view->stop();
    scene.view->stop();
    gloam::testing::runEventsFor(0.5);
    EXPECT_FALSE(scene.view->isReady());
    EXPECT_FALSE(ready);
    EXPECT_TRUE(scene.log.empty()) << scene.log.front();
    EXPECT_TRUE(scene.view->render().scene().anchors().empty());
    EXPECT_FALSE(scene.view->render().postProcess());
}

TEST_F(GhostViewTest, TriggersLogTheirLinesAndApplyAtOnce)
{
    SceneHarness scene;
    scene.runScene();
    scene.log.clear();
    scene.view->triggerPumpkins();
    scene.view->triggerPumpkins();
    scene.view->triggerLightning();
    scene.view->triggerGhost(std::string("TallGrave"));
    scene.view->triggerWitch();
    scene.view->triggerHand();
    const std::vector<std::string> expected{
        "E4 pumpkin trigger accepted=true time=0.0",   "E4 pumpkin trigger accepted=false time=0.0",
        "E4 lightning trigger accepted=true time=0.0", "E4 ghost trigger id=TallGrave accepted=true time=0.0",
        "E4 witch trigger accepted=true time=0.0",     "E4 hand trigger accepted=true time=0.0",
    };
    EXPECT_EQ(scene.log, expected);

    scene.frame(0.5);
    EXPECT_GT(scene.view->bloom()->sharedValues().atmosphere.z, 0.9F) << "the glow reaches the post-process";
    EXPECT_NEAR(scene.view->pumpkinLights().front()->light().intensity,
                300.0F + 500.0F * scene.view->reactions().pumpkinStrength(), 0.01F);
    const SoundCueAges ages = scene.view->soundAges();
    EXPECT_DOUBLE_EQ(*ages[SoundCue::thunder], 0.4);
    EXPECT_DOUBLE_EQ(*ages[SoundCue::pumpkin], 0.5);
    EXPECT_DOUBLE_EQ(*ages[SoundCue::witch], 0.5 - 1.45);
    EXPECT_FALSE(ages[SoundCue::titleThunder].has_value());

    scene.ticks(12, 0.5);
    EXPECT_FLOAT_EQ(scene.view->pumpkinLights().front()->light().intensity, 300.0F) << "back to rest after the glow";
}

TEST_F(GhostViewTest, AGlowEndingJustAboveZeroStillReturnsToRest)
{
    SceneHarness scene;
    scene.runScene();
    scene.view->triggerPumpkins();
    scene.ticks(1, 1.0);
    // The last step before the end leaves a strength of about 7e-5, closer
    // to rest than the smallest change the view applies.
    scene.ticks(1, ReactionTimeline::pumpkinDuration - 1.0 - 2e-5);
    const float last = scene.view->reactions().pumpkinStrength();
    ASSERT_GT(last, 0.0F);
    ASSERT_LT(last, 1e-4F);
    scene.ticks(1, 1.0);
    ASSERT_EQ(scene.view->reactions().pumpkinStrength(), 0.0F);
    EXPECT_EQ(scene.view->pumpkinLights().front()->light().intensity, 300.0F) << "the resting light, exactly";
}

TEST_F(GhostViewTest, OpeningCuesAreTheOnlySoundAgesWhileItPlays)
{
    SceneHarness scene;
    scene.frame();
    scene.frame(3.0);
    const SoundCueAges ages = scene.view->soundAges();
    EXPECT_DOUBLE_EQ(*ages[SoundCue::titleThunder], 3.0 - 2.15);
    EXPECT_DOUBLE_EQ(*ages[SoundCue::bats], 3.0 - 2.7);
    EXPECT_DOUBLE_EQ(*ages[SoundCue::openingWitch], 3.0 - 6.2);
    EXPECT_DOUBLE_EQ(*ages[SoundCue::hillThunder], 3.0 - 13.1);
    EXPECT_FALSE(ages[SoundCue::thunder].has_value());
}

TEST_F(GhostViewTest, VisibleGravesAreTallestFirstAndCoveredOnesDoNotCount)
{
    SceneHarness scene;
    scene.runScene();
    EXPECT_EQ(scene.view->visibleGraves(), (std::vector<std::string>{"TallGrave", "ShortGrave", "EvenGrave"}));

    // A wall in front of the short grave hides it.
    const glm::vec3 grave = scene.view->targets()[0].position();
    const glm::vec3 camera = scene.view->camera()->position(nullptr);
    auto wall = platform::Entity::make("Wall");
    wall->setPosition(grave + 0.3F * (camera - grave) / glm::length(camera - grave));
    wall->components.set(platform::CollisionComponent({platform::ShapeResource::generateBox({1.0F, 1.0F, 1.0F})}));
    scene.view->anchor()->addChild(wall);
    EXPECT_EQ(scene.view->visibleGraves(), (std::vector<std::string>{"TallGrave", "EvenGrave"}));

    scene.log.clear();
    scene.view->triggerGhost(std::nullopt);
    EXPECT_EQ(scene.log, std::vector<std::string>{"E4 ghost trigger id=TallGrave accepted=true time=0.0"});
}

TEST_F(GhostViewTest, ClicksPickTargetsAndDragsOrbit)
{
    SceneHarness scene;
    scene.runScene();
    scene.log.clear();
    const auto click = [&](glm::vec3 world) {
        const auto point = scene.view->render().project(world);
        ASSERT_TRUE(point.has_value());
        scene.view->mouseDown(*point);
        scene.view->mouseUp(*point + glm::vec2(3.0F, 2.0F)); // moved, but no drag event: still a click
    };
    click(scene.view->targets()[3].position()); // LeftPumpkin
    click(scene.view->targets()[5].position()); // "Pumpkin" with a capital P: a ghost at its id
    EXPECT_EQ(scene.log, (std::vector<std::string>{"E4 pumpkin trigger accepted=true time=0.0",
                                                   "E4 ghost trigger id=Upper accepted=true time=0.0"}));

    scene.log.clear();
    scene.view->mouseDown({10.0F, 10.0F});
    scene.view->mouseUp({10.0F, 10.0F});
    EXPECT_TRUE(scene.log.empty()) << "a click on nothing does nothing";

    const float yaw = scene.view->yaw();
    scene.view->mouseDown({100.0F, 50.0F});
    scene.view->mouseDragged({101.0F, 50.0F});
    scene.view->mouseDragged({111.0F, 1000.0F});
    scene.view->mouseUp({111.0F, 1000.0F});
    EXPECT_FLOAT_EQ(scene.view->yaw(), yaw - 11.0F * 0.006F);
    EXPECT_FLOAT_EQ(scene.view->elevation(), 0.025F) << "dragging up lowers the camera, down to its limit";
    EXPECT_TRUE(scene.log.empty()) << "a drag is not a click";
}

TEST_F(GhostViewTest, ScreenSaverViewIgnoresInput)
{
    SceneHarness saver(false);
    saver.runScene();
    EXPECT_FALSE(saver.view->acceptsFirstResponder());
    const float yaw = saver.view->yaw();
    saver.view->mouseDown({100.0F, 50.0F});
    saver.view->mouseDragged({150.0F, 50.0F});
    saver.view->mouseUp({150.0F, 50.0F});
    EXPECT_EQ(saver.view->yaw(), yaw);
    EXPECT_FALSE(saver.view->keyDown(GhostView::Key::escape));
}

TEST_F(GhostViewTest, CameraFramesTheVehicleFromItsRadiusOutwards)
{
    SceneHarness scene;
    const glm::vec3 target(0.0F, 1.05F, 0.0F);
    const float distance = glm::length(scene.view->camera()->position(nullptr) - target);
    EXPECT_GE(distance, cameraRadius(Vehicle::corsel));

    // A wide view gets no lift; a square one looks from 0.035 rad higher.
    const auto elevationSeen = [&](float width, float height) {
        scene.view->setFrame({0, 0, width, height});
        const glm::vec3 d = glm::normalize(scene.view->camera()->position(nullptr) - target);
        return std::asin(d.y);
    };
    EXPECT_NEAR(elevationSeen(2400, 1000), 0.044F, 1e-5F);
    EXPECT_NEAR(elevationSeen(500, 500), 0.044F + 0.035F, 1e-5F);
    EXPECT_FLOAT_EQ(scene.view->statusLabel().frame.width, 400.0F);
    scene.view->setFrame({0, 0, 0, 0});
    EXPECT_EQ(scene.view->statusLabel().frame.width, 0.0F) << "a zero-size view does not break the layout";
}

// The view's camera is the orbit pose for its angles, shape and vehicle,
// and a new shape reaches the opening's layout too.
TEST_F(GhostViewTest, TheViewPosesItsCameraAndItsOpeningForItsShape)
{
    SceneHarness scene;
    scene.waitUntilReady();
    struct Case {
        float width;
        float height;
        float yaw;
        float elevation;
        float backdrop;
    };
    for (const Case& c : {Case{320, 144, -0.955F, 0.044F, 4.8F}, Case{500, 500, 0.5F, 0.044F, 4.8F},
                          Case{400, 300, 2.4F, 0.35F, 4.8F}, Case{3000, 1000, -1.6F, 0.8F, 6.045F}}) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        scene.view->setFrame({0, 0, c.width, c.height});
        scene.view->setCameraAngles(c.yaw, c.elevation);
        const glm::mat4 expected =
            OrbitPose::at(c.yaw, c.elevation, c.width / c.height, landmarks::fieldOfViewDegrees, Vehicle::corsel)
                .transform();
        const glm::mat4 actual = scene.view->camera()->worldMatrix();
        for (int column = 0; column < 4; ++column) {
            for (int row = 0; row < 3; ++row) {
                EXPECT_NEAR(actual[column][row], expected[column][row], 1e-4F) << column << ", " << row;
            }
        }
        ASSERT_NE(scene.view->opening(), nullptr);
        EXPECT_FLOAT_EQ(scene.view->opening()->aspect(), c.width / c.height);
        EXPECT_NEAR(scene.view->opening()->backdropWidth(), c.backdrop, 1e-4F);
    }
}

TEST_F(GhostViewTest, DueEggBeginsAndFreezesTheOtherClocks)
{
    SceneHarness scene;
    scene.runScene();
    addMoonHit(*scene.view);

    std::vector<std::optional<EasterEgg>> reported;
    scene.view->onEggChanged = [&](std::optional<EasterEgg> egg) { reported.push_back(egg); };
    ASSERT_DOUBLE_EQ(scene.view->easterEggs().nextAt, 65.0) << "starting the opening reschedules the first egg";
    ASSERT_EQ(scene.view->easterEggs().time, 0.0) << "the egg clock stood still under the opening";
    while (!scene.view->easterEggs().active && scene.view->easterEggs().time < 70.0) {
        scene.ticks(1, 0.25);
    }
    ASSERT_EQ(scene.view->easterEggs().active, EasterEgg::skyrell);
    EXPECT_DOUBLE_EQ(scene.view->easterEggs().start, 65.0);
    EXPECT_EQ(reported, std::vector<std::optional<EasterEgg>>{EasterEgg::skyrell});
    // Lightning was due at 65 too: the egg's frame starts no ordinary event.
    EXPECT_FALSE(scene.view->timeline().lightningStart.has_value());
    EXPECT_DOUBLE_EQ(scene.view->timeline().nextAutomatic, 70.0);

    const double lightningClock = scene.view->timeline().time;
    scene.log.clear();
    scene.view->triggerPumpkins();
    EXPECT_TRUE(scene.log.empty()) << "triggers are ignored while an egg plays";
    scene.ticks(12 * 4, 0.25);
    EXPECT_EQ(scene.view->timeline().time, lightningClock) << "the other clocks stand still";
    scene.ticks(4, 0.25);
    EXPECT_FALSE(scene.view->easterEggs().active.has_value());
    EXPECT_EQ(reported.back(), std::nullopt);
}

TEST_F(GhostViewTest, QuickVehicleChangesShowOnlyTheLastOne)
{
    SceneHarness scene;
    scene.runScene();
    scene.log.clear();
    // Shared flags, not locals: a task may outlive a test that timed out.
    auto firstCancelled = std::make_shared<bool>(false);
    auto secondDone = std::make_shared<bool>(false);
    auto change = [](std::shared_ptr<GhostView> view, Vehicle vehicle, std::shared_ptr<bool> cancelled,
                     std::shared_ptr<bool> done) -> async::Task<void> {
        try {
            co_await view->changeVehicle(vehicle);
            *done = true;
        } catch (const async::CancellationError&) {
            *cancelled = true;
        }
    };
    auto ignored = std::make_shared<bool>(false);
    async::spawn(change(scene.view, Vehicle::brusker, firstCancelled, ignored));
    async::spawn(change(scene.view, Vehicle::spirra, ignored, secondDone));
    ASSERT_TRUE(runEventsUntil([&] { return *secondDone && *firstCancelled; }, 20.0));
    EXPECT_EQ(scene.view->vehicle(), Vehicle::spirra);
    EXPECT_EQ(scene.countLines("VEHICLE selected="), 1);
    EXPECT_EQ(scene.countLines("VEHICLE selected=spirra rearChildren=0"), 1) << "printed once, for the newer request";

    // The shadow plane under the car takes the new car's footprint.
    ASSERT_NE(scene.view->contactShadow(), nullptr);
    const platform::BoundingBox footprint =
        scene.view->contactShadow()->visualBounds(false, scene.view->contactShadow().get());
    EXPECT_NEAR(footprint.extents().x, shadowSize(Vehicle::spirra).x, 1e-4F);
    EXPECT_NEAR(footprint.extents().z, shadowSize(Vehicle::spirra).y, 1e-4F);
}

TEST_F(GhostViewTest, VehicleChangeBeforeTheSceneIsReadyIsRefused)
{
    SceneHarness scene;
    auto cancelled = std::make_shared<bool>(false);
    auto change = [](std::shared_ptr<GhostView> view, std::shared_ptr<bool> out) -> async::Task<void> {
        try {
            co_await view->changeVehicle(Vehicle::vantre);
        } catch (const async::CancellationError&) {
            *out = true;
        }
    };
    async::spawn(change(scene.view, cancelled));
    QCoreApplication::processEvents();
    EXPECT_TRUE(*cancelled);
    EXPECT_EQ(scene.view->vehicle(), Vehicle::corsel);
}

TEST_F(GhostViewTest, MissingVehicleFileFailsTheFirstLoadButOnlyTheLaterChange)
{
    {
        SceneHarness scene;
        fs::remove(scene.resources() / std::string(asset(Vehicle::corsel)));
        ASSERT_TRUE(runEventsUntil([&] { return scene.view->isStopped(); }, 20.0));
        EXPECT_FALSE(scene.view->isReady());
        ASSERT_GE(scene.log.size(), 2U);
        const std::string failed = scene.log[scene.log.size() - 2];
        EXPECT_EQ(failed.rfind("E4 LOAD FAILED ", 0), 0U) << failed;
        EXPECT_NE(failed.find(std::string(asset(Vehicle::corsel))), std::string::npos) << "the error names the file";
        ASSERT_TRUE(scene.view->failureLabel().has_value());
    }
    {
        SceneHarness scene;
        scene.runScene();
        const platform::EntityPtr before = scene.view->vehicleModel();
        fs::remove(scene.resources() / std::string(asset(Vehicle::vantre)));
        auto error = std::make_shared<std::string>();
        auto cancelled = std::make_shared<bool>(false);
        auto change = [](std::shared_ptr<GhostView> view, std::shared_ptr<std::string> out,
                         std::shared_ptr<bool> cancelledOut) -> async::Task<void> {
            try {
                co_await view->changeVehicle(Vehicle::vantre);
            } catch (const async::CancellationError&) {
                *cancelledOut = true;
            } catch (const std::exception& failure) {
                *out = failure.what();
            }
        };
        async::spawn(change(scene.view, error, cancelled));
        ASSERT_TRUE(runEventsUntil([&] { return !error->empty() || *cancelled; }, 20.0));
        EXPECT_FALSE(*cancelled) << "a missing file is an error, not a cancellation";
        EXPECT_NE(error->find(std::string(asset(Vehicle::vantre))), std::string::npos) << *error;
        EXPECT_EQ(scene.view->vehicle(), Vehicle::corsel);
        EXPECT_EQ(scene.view->vehicleModel(), before);
        EXPECT_EQ(before->parent(), scene.view->anchor().get()) << "the old car stays in the scene";
        EXPECT_FALSE(scene.view->isStopped());
    }
}

TEST_F(GhostViewTest, LightningFlashesBesideTheHouseAndTheShadowBreathes)
{
    SceneHarness scene;
    scene.runScene();
    LightningEffect* lightning = scene.view->lightning();
    ASSERT_NE(lightning, nullptr);
    EXPECT_EQ(lightning->root()->parent(), scene.view->anchor().get());
    EXPECT_FALSE(lightning->root()->isEnabled()) << "dormant between strikes";
    ASSERT_NE(scene.view->contactShadow(), nullptr);
    ASSERT_NE(scene.view->persistent(), nullptr);
    EXPECT_EQ(scene.view->persistent()->root()->parent(), scene.view->anchor().get());

    ASSERT_TRUE(scene.view->houseVisible());
    scene.view->triggerLightning();
    float strongest = 0.0F;
    for (int i = 0; i < 200 && strongest < 0.5F; ++i) {
        scene.frame();
        const float strength = scene.view->timeline().strength();
        EXPECT_EQ(lightning->root()->isEnabled(), strength > 0.001F);
        EXPECT_FLOAT_EQ(lightning->light()->light().intensity, strength * 450.0F);
        strongest = std::max(strongest, strength);
    }
    EXPECT_GE(strongest, 0.5F) << "the strike reached the bolt";
    EXPECT_TRUE(lightning->bolt()->isEnabled());

    // Swinging round to the bolt's side hides it at once.
    scene.view->setCameraAngles(std::atan2(landmarks::houseDirection.x, landmarks::houseDirection.z), 0.044F);
    EXPECT_FALSE(scene.view->houseVisible());
    EXPECT_FALSE(lightning->bolt()->isEnabled());

    const float k = PersistentEffects::hover(scene.view->ambientTime()) / 0.09F;
    EXPECT_NEAR(scene.view->contactShadow()->scale().z, 1.0F + 0.075F * k, 1e-5F);
}

TEST_F(GhostViewTest, FailingSurprisesFailTheWholeLoad)
{
    SceneHarness scene;
    fs::remove(scene.resources() / "CameoFade.glsl"); // before the load's first turn
    bool ready = false;
    scene.view->onReady = [&] { ready = true; };
    ASSERT_TRUE(runEventsUntil([&] { return scene.view->isStopped(); }, 20.0));
    EXPECT_FALSE(scene.view->isReady());
    EXPECT_FALSE(ready);
    EXPECT_EQ(scene.countLines("E4 reaction targets="), 1) << "everything before the surprises loaded";
    EXPECT_EQ(scene.countLines("E4 ENVIRONMENT FAILED"), 0);
    ASSERT_GE(scene.log.size(), 2U);
    const std::string failed = scene.log[scene.log.size() - 2];
    const std::string prefix = "EASTER EGG LOAD FAILED ";
    ASSERT_EQ(failed.rfind(prefix, 0), 0U) << failed;
    EXPECT_NE(failed.find("CameoFade.glsl"), std::string::npos) << "the error names the file";
    EXPECT_EQ(scene.log.back(), "Halloween scene unavailable: " + failed.substr(prefix.size()));
    ASSERT_TRUE(scene.view->failureLabel().has_value());
    EXPECT_EQ(scene.view->failureLabel()->text, "Unable to load the Halloween scene.");
    EXPECT_EQ(scene.view->eggEffects(), nullptr);
    EXPECT_TRUE(scene.view->render().scene().anchors().empty());
}

// The charging station stands clear of the props that are shown: a prop on
// its first place moves it, and the same prop hidden no longer does.
TEST_F(GhostViewTest, ChargingPreviewStagesTheStationClearOfShownProps)
{
    // A lone stone far behind the vehicle, out of the station's way.
    const std::string farStone =
        R"([{"id": "FarStone", "kind": "stone", "center": [6, 0.5, -6], "size": [0.6, 1, 0.3]})";
    glm::vec3 place(0.0F);
    {
        SceneHarness scene(true, farStone + "]");
        scene.runScene();
        std::vector<std::optional<EasterEgg>> reported;
        scene.view->onEggChanged = [&](std::optional<EasterEgg> egg) { reported.push_back(egg); };
        scene.view->triggerLightning();
        scene.view->previewEgg(EasterEgg::amperle);
        ASSERT_EQ(scene.view->easterEggs().active, EasterEgg::amperle);
        EXPECT_FALSE(scene.view->timeline().lightningStart.has_value()) << "the preview ends the strike";
        EXPECT_EQ(reported, std::vector<std::optional<EasterEgg>>{EasterEgg::amperle});
        EasterEggEffects* eggs = scene.view->eggEffects();
        ASSERT_NE(eggs, nullptr);
        EXPECT_TRUE(eggs->stagePrepared());
        EXPECT_TRUE(eggs->charging()->isEnabled());
        EXPECT_FALSE(eggs->skyrell()->isEnabled());
        place = eggs->stagePosition();
        scene.frames(2);
        EXPECT_DOUBLE_EQ(*scene.view->soundAges()[SoundCue::charger], scene.view->easterEggs().age().value() - 3.8);
        scene.ticks(19 * 4 + 1, 0.25);
        EXPECT_FALSE(scene.view->easterEggs().active.has_value());
        EXPECT_EQ(reported.back(), std::nullopt);
        EXPECT_FALSE(eggs->charging()->isEnabled());
    }

    std::string targets = farStone;
    targets += ", {\"id\": \"Blocker\", \"kind\": \"stone\", \"center\": [" + std::to_string(place.x) + ", 0.3, " +
               std::to_string(place.z) + "], \"size\": [1.0, 0.6, 1.0]}]";
    SceneHarness scene(true, targets);
    scene.runScene();
    scene.view->previewEgg(EasterEgg::amperle);
    ASSERT_EQ(scene.view->easterEggs().active, EasterEgg::amperle);
    EasterEggEffects* eggs = scene.view->eggEffects();
    EXPECT_GT(glm::length(eggs->stagePosition() - place), 0.5F) << "moved off the prop";
    scene.ticks(19 * 4 + 1, 0.25);
    ASSERT_FALSE(scene.view->easterEggs().active.has_value());

    scene.view->targetEntities().at("Blocker")->setEnabled(false);
    scene.view->previewEgg(EasterEgg::amperle);
    ASSERT_EQ(scene.view->easterEggs().active, EasterEgg::amperle);
    EXPECT_EQ(eggs->stagePosition(), place) << "a hidden prop is no obstacle";
}

// When the charging station finds no place, the preview starts nothing and
// the automatic turn passes to the sky surprise after the retry, instead of
// the station staying due for ever and no surprise playing again.
TEST_F(GhostViewTest, AnUnstageableChargingSurpriseHandsItsTurnOn)
{
    std::string targets = gloam::testing::defaultTargets();
    targets.erase(targets.rfind(']'));
    targets += R"(, {"id": "Everywhere", "kind": "stone", "center": [0, 0.02, 0], "size": [60, 0.04, 60]}])";
    SceneHarness scene(true, targets);
    scene.runScene();
    addMoonHit(*scene.view);

    scene.log.clear();
    scene.view->previewEgg(EasterEgg::amperle);
    EXPECT_FALSE(scene.view->easterEggs().active.has_value());
    EXPECT_DOUBLE_EQ(scene.view->chargerRetryAt(), scene.view->easterEggs().time + 2.0);
    EXPECT_FALSE(scene.view->eggEffects()->stagePrepared());
    EXPECT_TRUE(scene.log.empty()) << "no message";

    scene.view->previewEgg(EasterEgg::skyrell);
    ASSERT_EQ(scene.view->easterEggs().active, EasterEgg::skyrell);
    EXPECT_TRUE(scene.view->eggEffects()->skyrell()->isEnabled());
    const double due = scene.view->easterEggs().nextAt;
    ASSERT_EQ(scene.view->easterEggs().nextKind, EasterEgg::amperle);

    bool chargingPlayed = false;
    std::vector<double> retries;
    while (scene.view->easterEggs().active != EasterEgg::skyrell || scene.view->easterEggs().time < due) {
        scene.ticks(1, 0.25);
        chargingPlayed = chargingPlayed || scene.view->easterEggs().active == EasterEgg::amperle;
        if (retries.empty() || retries.back() != scene.view->chargerRetryAt()) {
            retries.push_back(scene.view->chargerRetryAt());
        }
        ASSERT_LT(scene.view->easterEggs().time, due + 40.0) << "the sky surprise never came";
    }
    EXPECT_FALSE(chargingPlayed);
    ASSERT_GE(retries.size(), 3U) << "the preview's retry time, then a miss and its retry";
    EXPECT_GE(scene.view->easterEggs().start, retries[retries.size() - 2]) << "only once the retry has failed";
    EXPECT_EQ(scene.view->easterEggs().nextKind, EasterEgg::amperle) << "the station comes next";
}

namespace {

// The default props and one more covering the whole ground: the charging
// station finds no place anywhere.
std::string crowdedTargets()
{
    std::string targets = gloam::testing::defaultTargets();
    targets.erase(targets.rfind(']'));
    targets += R"(, {"id": "Everywhere", "kind": "stone", "center": [0, 0.02, 0], "size": [60, 0.04, 60]}])";
    return targets;
}

// Runs the scene until the charging station has missed a place once more
// (its retry time moved on); false when none came within `limit` seconds
// of egg clock.
bool runUntilNextMiss(SceneHarness& scene, double limit = 120.0)
{
    const double before = scene.view->chargerRetryAt();
    const double end = scene.view->easterEggs().time + limit;
    while (scene.view->chargerRetryAt() == before && scene.view->easterEggs().time < end) {
        scene.ticks(1, 0.25);
    }
    return scene.view->chargerRetryAt() != before;
}

} // namespace

// Out of the moon's sight the sky car could not start, so the charging
// station keeps its turn and is tried every 2 s until the camera reaches a
// place where it fits.
TEST_F(GhostViewTest, WithTheMoonOutOfViewTheStationKeepsItsTurn)
{
    SceneHarness scene(true, crowdedTargets());
    scene.runScene();
    // Round on the house's side, where the moon's target is off.
    scene.view->setCameraAngles(2.19F, 0.044F);
    ASSERT_FALSE(scene.view->houseVisible());
    ASSERT_FALSE(scene.view->characterVisible("MoonReaction"));
    scene.view->previewEgg(EasterEgg::skyrell);
    ASSERT_EQ(scene.view->easterEggs().active, EasterEgg::skyrell);
    ASSERT_EQ(scene.view->easterEggs().nextKind, EasterEgg::amperle);

    ASSERT_TRUE(runUntilNextMiss(scene));
    int misses = 1;
    const double firstMiss = scene.view->easterEggs().time;
    while (scene.view->easterEggs().time < firstMiss + 30.0) {
        const double before = scene.view->chargerRetryAt();
        scene.ticks(1, 0.25);
        misses += scene.view->chargerRetryAt() != before ? 1 : 0;
        ASSERT_FALSE(scene.view->easterEggs().active.has_value()) << "no surprise could start";
        ASSERT_EQ(scene.view->easterEggs().nextKind, EasterEgg::amperle) << "the turn stays with the station";
    }
    EXPECT_GE(misses, 10) << "tried again about every 2 s";

    // The ground clears: the next try stages the station.
    scene.view->targetEntities().at("Everywhere")->setEnabled(false);
    const double cleared = scene.view->easterEggs().time;
    while (!scene.view->easterEggs().active && scene.view->easterEggs().time < cleared + 10.0) {
        scene.ticks(1, 0.25);
    }
    ASSERT_EQ(scene.view->easterEggs().active, EasterEgg::amperle);
    EXPECT_TRUE(scene.view->eggEffects()->charging()->isEnabled());
}

// The charging station hands its turn on after two misses in a row; an
// opening replay (which cancels the schedule) and a vehicle change each
// start the count again.
TEST_F(GhostViewTest, AReplayOrAVehicleChangeStartsTheMissCountAgain)
{
    SceneHarness scene(true, crowdedTargets());
    scene.runScene();
    addMoonHit(*scene.view);
    scene.view->previewEgg(EasterEgg::skyrell);
    ASSERT_EQ(scene.view->easterEggs().nextKind, EasterEgg::amperle);

    // One miss, then a replay of the opening.
    ASSERT_TRUE(runUntilNextMiss(scene));
    ASSERT_EQ(scene.view->easterEggs().nextKind, EasterEgg::amperle) << "one miss keeps the turn";
    scene.view->startOpening();
    scene.view->skipOpening();
    ASSERT_FALSE(scene.view->openingPlaying());
    ASSERT_TRUE(runUntilNextMiss(scene));
    EXPECT_EQ(scene.view->easterEggs().nextKind, EasterEgg::amperle) << "the first miss after the replay";
    EXPECT_FALSE(scene.view->easterEggs().active.has_value());

    // One miss since the replay, then a vehicle change.
    auto done = std::make_shared<bool>(false);
    auto change = [](std::shared_ptr<GhostView> view, std::shared_ptr<bool> finished) -> async::Task<void> {
        co_await view->changeVehicle(Vehicle::vantre);
        *finished = true;
    };
    async::spawn(change(scene.view, done));
    ASSERT_TRUE(runEventsUntil([&] { return *done; }, 20.0));
    ASSERT_TRUE(runUntilNextMiss(scene));
    EXPECT_EQ(scene.view->easterEggs().nextKind, EasterEgg::amperle) << "the first miss after the change";
    EXPECT_FALSE(scene.view->easterEggs().active.has_value());

    // The second miss in a row, with the moon in view, hands the turn on.
    ASSERT_TRUE(runUntilNextMiss(scene));
    const double handedOver = scene.view->easterEggs().time;
    while (!scene.view->easterEggs().active && scene.view->easterEggs().time < handedOver + 10.0) {
        scene.ticks(1, 0.25);
    }
    EXPECT_EQ(scene.view->easterEggs().active, EasterEgg::skyrell);
}

TEST_F(GhostViewTest, ReplayOpeningPlaysTheTitleAgainOverAHiddenScene)
{
    SceneHarness scene;
    scene.runScene();
    scene.ticks(64, frameStep);
    const double lightningTime = scene.view->timeline().time;
    const double eggTime = scene.view->easterEggs().time;
    EXPECT_GT(lightningTime, 0.0);
    EXPECT_FLOAT_EQ(scene.view->bloom()->sharedValues().sceneVisibility, 1.0F);
    int changes = 0;
    scene.view->onOpeningChanged = [&changes] { ++changes; };

    scene.view->startOpening();
    OpeningSequence& opening = *scene.view->opening();
    EXPECT_TRUE(scene.view->openingPlaying());
    EXPECT_EQ(opening.time(), 0.0);
    EXPECT_TRUE(opening.root()->isEnabled());
    EXPECT_EQ(changes, 1) << "the owner hears that the opening plays";
    EXPECT_EQ(scene.view->bloom()->sharedValues().sceneVisibility, 0.0F) << "the scene is hidden behind it";
    EXPECT_DOUBLE_EQ(scene.view->easterEggs().nextAt, eggTime + 65.0) << "the surprises wait for 65 s";
    EXPECT_EQ(scene.view->sound().musicElapsed(), 0.0);
    EXPECT_FALSE(scene.view->sound().musicFinished());

    scene.ticks(1, 4.0);
    EXPECT_EQ(opening.time(), 0.0) << "the first frame after a replay has no step";
    EXPECT_EQ(scene.view->statusLabel().text, "Preparing the scene\u2026");
    scene.ticks(64, frameStep);
    EXPECT_DOUBLE_EQ(opening.time(), 1.0);
    EXPECT_TRUE(scene.view->statusLabel().hidden);
    EXPECT_EQ(scene.view->timeline().time, lightningTime) << "the event clocks wait under the opening";
    EXPECT_EQ(scene.view->easterEggs().time, eggTime);
    EXPECT_TRUE(scene.view->soundAges()[SoundCue::titleThunder].has_value());
    EXPECT_FALSE(scene.view->keyDown(GhostView::Key::other));
    scene.view->mouseDown({160, 72});
    scene.view->mouseDragged({220, 72});
    EXPECT_FLOAT_EQ(scene.view->yaw(), -0.955F) << "no orbiting under the opening";

    // Played to its end, it dissolves into the scene.
    scene.ticks(14 * 64 + 25, frameStep);
    EXPECT_TRUE(scene.view->openingPlaying());
    EXPECT_NEAR(scene.view->bloom()->sharedValues().sceneVisibility, OpeningTiming::dissolve(opening.time()), 1e-6);
    EXPECT_GT(scene.view->bloom()->sharedValues().sceneVisibility, 0.0F);
    scene.ticks(40, frameStep);
    EXPECT_FALSE(scene.view->openingPlaying());
    EXPECT_FALSE(opening.root()->isEnabled());
    EXPECT_EQ(changes, 2);
    EXPECT_FLOAT_EQ(scene.view->bloom()->sharedValues().sceneVisibility, 1.0F);
    scene.ticks(8, frameStep);
    EXPECT_GT(scene.view->timeline().time, lightningTime) << "the event clocks run again";
}

TEST_F(GhostViewTest, EscapeSkipsTheOpeningIntoTheRunningScene)
{
    SceneHarness scene;
    scene.waitUntilReady();
    scene.frames(GhostBloom::warmupFrames + 1);
    ASSERT_TRUE(scene.view->bloom()->sceneWarmed());
    ASSERT_TRUE(scene.view->openingPlaying());
    int changes = 0;
    scene.view->onOpeningChanged = [&changes] { ++changes; };
    scene.ticks(150, frameStep);
    const double eggTime = scene.view->easterEggs().time;

    EXPECT_TRUE(scene.view->keyDown(GhostView::Key::escape));
    OpeningSequence& opening = *scene.view->opening();
    EXPECT_FALSE(scene.view->openingPlaying());
    EXPECT_FALSE(scene.view->pendingSkip());
    EXPECT_EQ(opening.time(), OpeningTiming::duration);
    EXPECT_FALSE(opening.root()->isEnabled());
    EXPECT_EQ(changes, 1);
    EXPECT_FLOAT_EQ(scene.view->bloom()->sharedValues().sceneVisibility, 1.0F);
    EXPECT_FALSE(scene.view->soundAges()[SoundCue::bats].has_value()) << "the opening's cues end with it";
    EXPECT_FALSE(scene.view->keyDown(GhostView::Key::escape)) << "nothing left to skip";

    scene.ticks(4, frameStep);
    EXPECT_GT(scene.view->easterEggs().time, eggTime) << "the scene's clocks run";
    EXPECT_FALSE(opening.root()->isEnabled());
    EXPECT_TRUE(scene.view->statusLabel().hidden);

    SceneHarness saver(false);
    saver.frame();
    EXPECT_FALSE(saver.view->keyDown(GhostView::Key::escape)) << "the screen saver takes no keys";
    EXPECT_TRUE(saver.view->openingPlaying());
}

TEST_F(GhostViewTest, AReplayedOpeningPosesAsTheFirstOneAndAsASeek)
{
    // The first opening, frame by frame from construction (as the render
    // tool steps it: frame updates, the picture drawn at the end), and a
    // replay after a skip, reach the same picture.
    constexpr int frames = 496; // 7.75 s: the witch in mid-frame
    SceneHarness first;
    first.frame();
    first.ticks(frames, frameStep);
    SceneHarness replayed;
    replayed.runScene();
    replayed.ticks(30, frameStep);
    replayed.view->startOpening();
    replayed.frame();
    replayed.ticks(frames, frameStep);
    ASSERT_DOUBLE_EQ(first.view->opening()->time(), 7.75);
    ASSERT_DOUBLE_EQ(replayed.view->opening()->time(), 7.75);
    const auto pose = gloam::testing::poseOf(*first.view->opening()->root());
    gloam::testing::expectSamePose(pose, gloam::testing::poseOf(*replayed.view->opening()->root()), "replay");

    // Skipped and sought back to the same time.
    replayed.view->skipOpening();
    replayed.view->opening()->seek(7.75);
    gloam::testing::expectSamePose(pose, gloam::testing::poseOf(*replayed.view->opening()->root()), "seek");
    EXPECT_TRUE(first.view->opening()->witch()->isEnabled());
}

TEST_F(GhostViewTest, AnOpeningThatCannotLoadLeavesTheSceneRunningAsIfSkipped)
{
    for (const char* missing : {"OpeningPanorama.png", "OpeningTitle.png", "Witch.glb", "OpeningAtmosphere.glsl"}) {
        SCOPED_TRACE(missing);
        SceneHarness scene(true, gloam::testing::defaultTargets(), {missing});
        EXPECT_EQ(scene.view->opening(), nullptr);
        const auto failure = std::find_if(scene.log.begin(), scene.log.end(), [](const std::string& line) {
            return line.rfind("OPENING LOAD FAILED ", 0) == 0;
        });
        ASSERT_NE(failure, scene.log.end());
        EXPECT_NE(failure->find(missing), std::string::npos) << *failure << " names the file";
        EXPECT_FALSE(scene.view->openingPlaying());
        EXPECT_FLOAT_EQ(scene.view->bloom()->sharedValues().sceneVisibility, 1.0F);

        scene.frame();
        scene.frame(0.5);
        EXPECT_TRUE(scene.view->statusLabel().hidden) << "never the waiting text";
        EXPECT_DOUBLE_EQ(scene.view->easterEggs().time, 0.5) << "the event branch from the first frame";
        EXPECT_FALSE(scene.view->soundAges()[SoundCue::bats].has_value()) << "no opening cues";

        scene.waitUntilReady();
        scene.frames(GhostBloom::warmupFrames + 1);
        // Replay and skip have nothing to show and change nothing they should not.
        scene.view->startOpening();
        EXPECT_FALSE(scene.view->openingPlaying());
        EXPECT_FLOAT_EQ(scene.view->bloom()->sharedValues().sceneVisibility, 1.0F);
        scene.view->skipOpening();
        EXPECT_FALSE(scene.view->pendingSkip());
        const double before = scene.view->timeline().time;
        scene.ticks(2, frameStep);
        EXPECT_GT(scene.view->timeline().time, before);
        EXPECT_EQ(scene.countLines("OPENING LOAD FAILED "), 1);
    }
}
