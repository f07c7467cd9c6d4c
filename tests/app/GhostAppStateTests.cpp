// The controls follow the scene's state: loading, the opening playing,
// ready, a vehicle change, an Easter egg, and what is in view.
#include "app/ControlRow.h"
#include "app/SoundBar.h"
#include "engine/prefs/VehiclePreference.h"
#include "tests/app/AppHarness.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <numbers>

using namespace gloam;
using gloam::app::ControlRow;
using gloam::testing::AppHarness;
using gloam::testing::runEventsUntil;

namespace {

using Effect = ControlRow::Effect;

struct Controls {
    bool picker;
    bool automatic;
    bool effects;
    bool opening;
    QString openingTitle;
};

Controls controlsOf(const app::GhostApp& app)
{
    return {app.picker()->isEnabled(), app.automaticButton()->isEnabled(), app.effectsButton()->isEnabled(),
            app.openingButton()->isEnabled(), app.openingButton()->text()};
}

void expectControls(const app::GhostApp& app, const Controls& wanted, const char* state)
{
    const Controls now = controlsOf(app);
    EXPECT_EQ(now.picker, wanted.picker) << state << ": picker";
    EXPECT_EQ(now.automatic, wanted.automatic) << state << ": automatic effects";
    EXPECT_EQ(now.effects, wanted.effects) << state << ": play effect";
    EXPECT_EQ(now.opening, wanted.opening) << state << ": opening button";
    EXPECT_EQ(now.openingTitle, wanted.openingTitle) << state << ": opening button title";
}

QAction* item(const AppHarness& harness, Effect effect)
{
    return harness.window().controls()->effectItem(effect);
}

// Whether each pull-down item may be chosen, in menu order, as the menu
// shows them when it opens.
std::vector<bool> menuItems(const AppHarness& harness)
{
    QMenu* menu = harness.window().controls()->effectsMenu();
    emit menu->aboutToShow();
    std::vector<bool> enabled;
    for (QAction* action : menu->actions()) {
        enabled.push_back(action->isEnabled());
    }
    return enabled;
}

// Holds every thread of the worker pool until released, so that work the
// test starts waits in the queue.
class WorkerBlockade {
public:
    WorkerBlockade()
    {
        const int workers = std::max(2, QThread::idealThreadCount());
        for (int i = 0; i < workers; ++i) {
            async::WorkerPool::shared().start([this] {
                std::unique_lock lock(mutex_);
                started_ += 1;
                changed_.notify_all();
                changed_.wait(lock, [this] { return released_; });
            });
        }
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return started_ == workers; });
    }
    ~WorkerBlockade() { release(); }
    void release()
    {
        const std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int started_ = 0;
    bool released_ = false;
};

class GhostAppStateTest : public ::testing::Test {
protected:
    void SetUp() override { gloam::testing::clearStoredChoices(); }
};

TEST_F(GhostAppStateTest, WhileLoadingEverySceneControlIsDisabled)
{
    AppHarness harness;
    harness.launch();
    ASSERT_FALSE(harness.scene().isReady());
    expectControls(*harness.app, {false, false, false, false, QStringLiteral("Loading scene\u2026")}, "loading");
    EXPECT_EQ(menuItems(harness), std::vector<bool>(7, false));
    EXPECT_TRUE(harness.app->validateMenuItem(harness.window().helpItem()));
    EXPECT_TRUE(harness.app->validateMenuItem(harness.window().creditsItem()));
    EXPECT_EQ(harness.window().windowTitle(), QStringLiteral("Gloamyard"));
    EXPECT_EQ(harness.app->picker()->currentText(), QStringLiteral("Corsel"));
}

TEST_F(GhostAppStateTest, WhileTheOpeningPlaysOnlyItsSkipButtonWorks)
{
    AppHarness harness;
    harness.launch();
    harness.waitUntilReady();
    harness.frames(2);
    ASSERT_TRUE(harness.scene().openingPlaying());
    expectControls(*harness.app, {false, false, false, true, QStringLiteral("Skip opening")}, "opening");
    EXPECT_EQ(menuItems(harness), std::vector<bool>(7, false));

    // The effect actions do nothing while it plays.
    harness.app->flashNow();
    harness.app->pumpkinsNow();
    harness.app->ghostNow();
    harness.app->witchNow();
    harness.app->handNow();
    harness.app->skyrellNow();
    harness.app->chargerNow();
    EXPECT_FALSE(harness.scene().timeline().lightningStart.has_value());
    EXPECT_FALSE(harness.scene().reactions().pumpkinStart.has_value());
    EXPECT_FALSE(harness.scene().reactions().ghostStart.has_value());
    EXPECT_FALSE(harness.scene().characters().witchStart.has_value());
    EXPECT_FALSE(harness.scene().characters().handStart.has_value());
    EXPECT_FALSE(harness.scene().easterEggs().active.has_value());
}

TEST_F(GhostAppStateTest, ReadyEnablesTheControlsAndTheOpeningButtonSkipsAndReplays)
{
    AppHarness harness;
    harness.launch();
    harness.waitUntilReady();
    harness.frames(GhostBloom::warmupFrames + 1);
    ASSERT_TRUE(harness.scene().openingPlaying());

    QTest::mouseClick(harness.app->openingButton(), Qt::LeftButton);
    EXPECT_FALSE(harness.scene().openingPlaying());
    expectControls(*harness.app, {true, true, true, true, QStringLiteral("Replay opening")}, "ready");
    const std::vector<bool> items = menuItems(harness);
    EXPECT_TRUE(items[0] && items[1] && items[5] && items[6]) << "lightning, pumpkins and the two surprises";

    harness.app->flashNow();
    EXPECT_TRUE(harness.scene().timeline().lightningStart.has_value());
    harness.app->pumpkinsNow();
    EXPECT_TRUE(harness.scene().reactions().pumpkinStart.has_value());

    QTest::mouseClick(harness.app->openingButton(), Qt::LeftButton);
    EXPECT_TRUE(harness.scene().openingPlaying()) << "replayed";
    expectControls(*harness.app, {false, false, false, true, QStringLiteral("Skip opening")}, "replaying");
}

TEST_F(GhostAppStateTest, AnActiveEggDisablesThePullDownUntilItEnds)
{
    AppHarness harness;
    harness.launch();
    harness.runScene();
    harness.app->refreshSceneControls();
    ASSERT_TRUE(harness.app->effectsButton()->isEnabled());

    harness.app->skyrellNow();
    ASSERT_EQ(harness.scene().easterEggs().active, EasterEgg::skyrell);
    expectControls(*harness.app, {true, true, false, true, QStringLiteral("Replay opening")}, "egg active");
    EXPECT_EQ(menuItems(harness), std::vector<bool>(7, false));

    // The egg plays out on the scene's clock.
    for (int i = 0; i < 20 && harness.scene().easterEggs().active; ++i) {
        harness.frame(1.0);
    }
    ASSERT_FALSE(harness.scene().easterEggs().active.has_value());
    EXPECT_TRUE(harness.app->effectsButton()->isEnabled());
}

TEST_F(GhostAppStateTest, GhostNeedsAGraveInViewAndWitchAndHandTheirSpots)
{
    AppHarness harness;
    harness.launch();
    harness.runScene();
    // The small scene has graves and the moon before the default camera,
    // but no hand reaction spot.
    ASSERT_FALSE(harness.scene().visibleGraves().empty());
    EXPECT_TRUE(harness.app->validateMenuItem(item(harness, Effect::ghost)));
    EXPECT_TRUE(harness.app->validateMenuItem(item(harness, Effect::witch))) << "the moon is in view";
    EXPECT_FALSE(harness.app->validateMenuItem(item(harness, Effect::hand)));

    // Orbited round to the far side, the moon is behind the camera.
    harness.scene().setCameraAngles(2.19F, 0.044F);
    harness.frame(0.1);
    EXPECT_FALSE(harness.app->validateMenuItem(item(harness, Effect::witch))) << "the moon is hidden";
}

TEST_F(GhostAppStateTest, WithNoGraveInViewGhostIsDisabled)
{
    AppHarness::Options options;
    options.targets =
        R"([{"id": "LeftPumpkin", "kind": "pumpkin", "center": [-1.5, 0.2, -2.4], "size": [0.5, 0.4, 0.5]}])";
    AppHarness harness(options);
    harness.launch();
    harness.runScene();
    ASSERT_TRUE(harness.scene().visibleGraves().empty());
    EXPECT_FALSE(harness.app->validateMenuItem(item(harness, Effect::ghost)));
    EXPECT_TRUE(harness.app->validateMenuItem(item(harness, Effect::lightning)));
    EXPECT_TRUE(harness.app->validateMenuItem(item(harness, Effect::pumpkins)));
}

TEST_F(GhostAppStateTest, SwitchingVehicleShowsTheLoadingTitleAndStoresTheChoice)
{
    AppHarness harness;
    harness.launch();
    harness.runScene();
    harness.app->refreshSceneControls();

    harness.app->picker()->setCurrentIndex(1);
    emit harness.app->picker()->activated(1);
    EXPECT_TRUE(harness.app->switchingVehicle());
    EXPECT_EQ(harness.window().windowTitle(), QStringLiteral("Gloamyard \u00b7 Loading Vantre\u2026"));
    // The checkbox stays usable: it changes nothing a vehicle change needs.
    expectControls(*harness.app, {false, true, false, false, QStringLiteral("Replay opening")}, "switching");
    EXPECT_EQ(menuItems(harness), std::vector<bool>(7, false));

    harness.finishSwitch();
    EXPECT_EQ(harness.scene().vehicle(), Vehicle::vantre);
    EXPECT_EQ(VehiclePreference::selected(), Vehicle::vantre);
    EXPECT_EQ(harness.window().windowTitle(), QStringLiteral("Gloamyard"));
    EXPECT_EQ(harness.app->picker()->currentText(), QStringLiteral("Vantre"));
    expectControls(*harness.app, {true, true, true, true, QStringLiteral("Replay opening")}, "switched");
}

TEST_F(GhostAppStateTest, ChoosingTheVehicleAlreadyShownDoesNothing)
{
    AppHarness harness;
    harness.launch();
    harness.runScene();
    harness.app->selectVehicle(0);
    EXPECT_FALSE(harness.app->switchingVehicle());
    EXPECT_EQ(harness.window().windowTitle(), QStringLiteral("Gloamyard"));
    EXPECT_FALSE(GloamyardPreferences::defaults().contains(QStringLiteral("vehicle")));
}

TEST_F(GhostAppStateTest, AFailedVehicleChangeAlertsAndKeepsTheVehicle)
{
    AppHarness harness;
    harness.launch();
    harness.runScene();
    std::filesystem::remove(harness.resources() / "BruskerGhost.glb");

    harness.app->selectVehicle(2);
    QMessageBox* alert = nullptr;
    ASSERT_TRUE(runEventsUntil(
        [&] {
            alert = harness.window().alertBox();
            return alert != nullptr && alert->isVisible();
        },
        30.0));
    EXPECT_EQ(alert->text(), QStringLiteral("Couldn\u2019t load Brusker"));
    EXPECT_TRUE(alert->informativeText().startsWith(QStringLiteral("Your current vehicle is still selected. ")));
    EXPECT_GT(alert->informativeText().size(), 40) << "with the error's description";
    EXPECT_EQ(alert->windowModality(), Qt::WindowModal);
    EXPECT_TRUE(harness.app->switchingVehicle()) << "the change waits for the alert";

    alert->accept();
    harness.finishSwitch();
    EXPECT_EQ(harness.scene().vehicle(), Vehicle::corsel);
    EXPECT_EQ(harness.app->picker()->currentText(), QStringLiteral("Corsel"));
    EXPECT_EQ(harness.window().windowTitle(), QStringLiteral("Gloamyard"));
    EXPECT_EQ(VehiclePreference::selected(), Vehicle::corsel);
    EXPECT_TRUE(harness.app->picker()->isEnabled());
}

TEST_F(GhostAppStateTest, ClosingTheWindowCancelsTheChangeSilentlyAndQuits)
{
    AppHarness harness;
    harness.launch();
    harness.runScene();
    // Every worker held: the change's model load waits in the queue.
    WorkerBlockade blockade;
    const int loadsBefore = harness.scene().vehicleGeneration();
    harness.app->selectVehicle(3);
    ASSERT_TRUE(harness.app->switchingVehicle());
    // Under way: the change has begun loading the new vehicle.
    ASSERT_TRUE(runEventsUntil([&] { return harness.scene().vehicleGeneration() > loadsBefore; }, 10.0));

    harness.window().close();
    blockade.release();
    EXPECT_EQ(harness.terminations, 1);
    EXPECT_TRUE(harness.scene().isStopped());
    ASSERT_TRUE(runEventsUntil([&] { return !harness.app->switchingVehicle(); }, 10.0));
    // The change's own task settles: its load finishes and finds it cancelled.
    gloam::testing::settleTasks();
    EXPECT_FALSE(harness.window().alertBox()->isVisible()) << "a cancelled change shows nothing";
    EXPECT_EQ(VehiclePreference::selected(), Vehicle::corsel);
    EXPECT_EQ(harness.scene().vehicle(), Vehicle::corsel) << "nothing swapped after the close";
}

TEST_F(GhostAppStateTest, QuitFromTheMenuClosesTheWindowAndEndsTheApp)
{
    AppHarness harness;
    harness.launch();
    harness.window().quitItem()->trigger();
    EXPECT_EQ(harness.terminations, 1);
    EXPECT_TRUE(harness.scene().isStopped());
    EXPECT_FALSE(harness.window().isVisible());
}

TEST_F(GhostAppStateTest, TheSessionEndingOrCtrlCOrAHangUpQuitsAsTheMenuDoes)
{
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(::strsignal(signalNumber));
        AppHarness::Options options;
        options.quitOnSignals = true;
        AppHarness harness(options);
        harness.launch();
        harness.waitUntilReady();
        ASSERT_EQ(::raise(signalNumber), 0); // the process lives on: the signal only asks
        ASSERT_TRUE(runEventsUntil([&] { return harness.terminations > 0; }, 10.0));
        EXPECT_EQ(harness.terminations, 1);
        EXPECT_TRUE(harness.scene().isStopped()) << "the scene and its music stop";
        EXPECT_FALSE(harness.window().isVisible());
    }
}

TEST_F(GhostAppStateTest, AutomaticEffectsSwitchReachesEveryClock)
{
    AppHarness harness;
    harness.launch();
    harness.runScene();
    harness.app->refreshSceneControls();
    QTest::mouseClick(harness.app->automaticButton(), Qt::LeftButton);
    ASSERT_FALSE(harness.app->automaticButton()->isChecked());
    EXPECT_FALSE(harness.scene().easterEggs().automatic);
    EXPECT_FALSE(harness.scene().timeline().automatic);
    EXPECT_FALSE(harness.scene().reactions().automatic);
    EXPECT_FALSE(harness.scene().characters().automatic);
    QTest::mouseClick(harness.app->automaticButton(), Qt::LeftButton);
    EXPECT_TRUE(harness.scene().easterEggs().automatic && harness.scene().timeline().automatic &&
                harness.scene().reactions().automatic && harness.scene().characters().automatic);
}

} // namespace
