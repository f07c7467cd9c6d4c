// The scene holds still while the window is minimised or hidden, and while
// the machine or its displays sleep; each source on its own.
#include "app/DpmsSleepSource.h"
#include "app/WindowVisibility.h"
#include "tests/app/AppHarness.h"

#include <QWindow>

#include <gtest/gtest.h>

using namespace gloam;
using gloam::testing::AppHarness;
using gloam::testing::runEventsUntil;

namespace {

class GhostAppPauseTest : public ::testing::Test {
protected:
    void SetUp() override { gloam::testing::clearStoredChoices(); }
};

// While paused no frame counts and no clock moves.
void expectFrozen(AppHarness& harness)
{
    const int updates = harness.scene().updateCount();
    const double ambient = harness.scene().ambientTime();
    harness.frames(3, 0.5);
    EXPECT_EQ(harness.scene().updateCount(), updates);
    EXPECT_EQ(harness.scene().ambientTime(), ambient);
}

TEST_F(GhostAppPauseTest, MinimisingTheWindowPausesAndRestoringResumes)
{
    AppHarness harness;
    harness.launch();
    harness.runScene();
    ASSERT_FALSE(harness.scene().isPaused());

    harness.window().showMinimized();
    ASSERT_TRUE(runEventsUntil([&] { return harness.scene().isPaused(); }, 5.0)) << "minimised";
    EXPECT_TRUE(harness.app->windowVisibility().minimized());
    expectFrozen(harness);

    harness.window().showNormal();
    ASSERT_TRUE(runEventsUntil([&] { return !harness.scene().isPaused(); }, 5.0)) << "restored";
    const int updates = harness.scene().updateCount();
    harness.frame();
    EXPECT_EQ(harness.scene().updateCount(), updates + 1);
}

TEST_F(GhostAppPauseTest, HidingTheWindowPausesAndShowingResumes)
{
    AppHarness harness;
    harness.launch();
    harness.runScene();
    harness.window().hide();
    ASSERT_TRUE(runEventsUntil([&] { return harness.scene().isPaused(); }, 5.0));
    expectFrozen(harness);
    harness.window().show();
    ASSERT_TRUE(runEventsUntil([&] { return !harness.scene().isPaused(); }, 5.0));
}

TEST_F(GhostAppPauseTest, EachSleepSourcePausesUntilItsWake)
{
    AppHarness harness;
    harness.launch();
    harness.runScene();
    // Stand-ins for logind's PrepareForSleep and the X server's DPMS state.
    auto systemSleep = std::make_unique<app::SleepSource>();
    auto displaySleep = std::make_unique<app::SleepSource>();
    app::SleepSource* system = systemSleep.get();
    app::SleepSource* displays = displaySleep.get();
    harness.app->addSleepSource(std::move(systemSleep));
    harness.app->addSleepSource(std::move(displaySleep));

    for (app::SleepSource* source : {system, displays}) {
        emit source->sleepChanged(true);
        EXPECT_TRUE(harness.app->displayAsleep());
        EXPECT_TRUE(harness.scene().isPaused());
        expectFrozen(harness);
        emit source->sleepChanged(false);
        EXPECT_FALSE(harness.scene().isPaused());
    }
}

TEST_F(GhostAppPauseTest, TheSceneWaitsUntilEverySourceIsAwake)
{
    AppHarness harness;
    harness.launch();
    harness.runScene();
    auto systemSleep = std::make_unique<app::SleepSource>();
    auto displaySleep = std::make_unique<app::SleepSource>();
    app::SleepSource* system = systemSleep.get();
    app::SleepSource* displays = displaySleep.get();
    harness.app->addSleepSource(std::move(systemSleep));
    harness.app->addSleepSource(std::move(displaySleep));

    // The displays go off, then the machine suspends and resumes: logind's
    // "awake" does not turn the displays on.
    emit displays->sleepChanged(true);
    emit system->sleepChanged(true);
    emit system->sleepChanged(false);
    EXPECT_TRUE(harness.app->displayAsleep());
    EXPECT_TRUE(harness.scene().isPaused()) << "the displays are still off";
    expectFrozen(harness);
    emit displays->sleepChanged(false);
    EXPECT_FALSE(harness.app->displayAsleep());
    EXPECT_FALSE(harness.scene().isPaused());

    // The other way round.
    emit system->sleepChanged(true);
    emit displays->sleepChanged(true);
    emit displays->sleepChanged(false);
    EXPECT_TRUE(harness.scene().isPaused()) << "the machine is still going to sleep";
    emit system->sleepChanged(false);
    EXPECT_FALSE(harness.scene().isPaused());
}

TEST(DpmsSleepSourceTest, DisplaySleepIsReadOnlyInX11Sessions)
{
    struct Case {
        const char* platform;
        const char* waylandDisplay;
        const char* sessionType;
        bool x11;
    };
    const Case cases[] = {
        {"xcb", "", "x11", true},
        {"xcb", "", "", true}, // startx: no session type
        {"xcb", "", "tty", true},
        {"xcb", "wayland-0", "wayland", false}, // Xwayland
        {"xcb", "", "wayland", false},
        {"xcb", "wayland-0", "", false},
        {"wayland", "wayland-0", "wayland", false},
        {"offscreen", "", "x11", false},
    };
    for (const Case& session : cases) {
        EXPECT_EQ(app::DpmsSleepSource::x11Session(session.platform, session.waylandDisplay, session.sessionType),
                  session.x11)
            << session.platform << " / " << session.waylandDisplay << " / " << session.sessionType;
    }
}

TEST_F(GhostAppPauseTest, RestoringTheWindowDoesNotResumeWhileTheDisplaysSleep)
{
    AppHarness harness;
    harness.launch();
    harness.runScene();
    auto source = std::make_unique<app::SleepSource>();
    app::SleepSource* displays = source.get();
    harness.app->addSleepSource(std::move(source));
    app::WindowVisibility& visibility = harness.app->windowVisibility();

    visibility.setState(true, false);
    emit displays->sleepChanged(true);
    visibility.setState(false, false);
    EXPECT_TRUE(harness.scene().isPaused()) << "restored while the displays sleep";
    emit displays->sleepChanged(false);
    EXPECT_FALSE(harness.scene().isPaused());

    visibility.setState(false, true);
    emit displays->sleepChanged(true);
    emit displays->sleepChanged(false);
    EXPECT_TRUE(harness.scene().isPaused()) << "woken while the window is hidden";
    visibility.setState(false, false);
    EXPECT_FALSE(harness.scene().isPaused());
}

TEST_F(GhostAppPauseTest, AnUnexposedWindowCountsAsHiddenOnlyAfterItWasShown)
{
    QWindow window;
    app::WindowVisibility visibility;
    visibility.watch(&window);
    EXPECT_TRUE(visibility.hidden()) << "not shown yet";

    // Shown, and not yet exposed by the window system: the moment between
    // show() and the first expose event, seen after the app has read it.
    bool sawShownUnexposed = false;
    bool hiddenThen = true;
    QObject::connect(&window, &QWindow::visibleChanged, &visibility, [&](bool visible) {
        if (visible && !window.isExposed()) {
            sawShownUnexposed = true;
            hiddenThen = visibility.hidden();
        }
    });
    window.show();
    ASSERT_TRUE(sawShownUnexposed) << "the window was exposed within show()";
    EXPECT_FALSE(hiddenThen) << "a window about to be exposed for the first time is not hidden";

    ASSERT_TRUE(runEventsUntil([&] { return window.isExposed(); }, 5.0));
    EXPECT_FALSE(visibility.hidden());
    EXPECT_FALSE(visibility.minimized());
    window.hide();
    ASSERT_TRUE(runEventsUntil([&] { return visibility.hidden(); }, 5.0));
}

} // namespace
