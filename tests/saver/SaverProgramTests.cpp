// gloamyard-saver as XScreenSaver runs it, on a private X server: the
// window it is given goes away, it is told to stop (twice), a second
// process takes its window, the session blanks, locks and unblanks, the
// options users paste, -root on a desktop with a virtual root, and the
// faults a user can hit while the scene loads.
#include "tests/saver/SaverProgramFixture.h"

#include <signal.h>

#include <chrono>

namespace gloam::saver::testing {
namespace {

class SaverProgramTest : public SaverProgramFixture {
protected:
    // Starts the saver on `window` and waits until it has claimed it.
    ChildProcess& startOn(Window window, std::vector<std::string> extra = {},
                          std::map<std::string, std::optional<std::string>> changes = {})
    {
        std::vector<std::string> arguments = {"-window-id", hex(window)};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        ChildProcess& saver = start(arguments, std::move(changes));
        const pid_t pid = saver.pid();
        EXPECT_TRUE(waitFor([&] { return claimOf(window) == pid || !saver.running(); })) << saver.output();
        return saver;
    }

    // Waits for the saver to end and reports how long that took after `since`.
    static std::optional<int> waitForEnd(ChildProcess& saver, std::chrono::steady_clock::time_point since,
                                         const char* what)
    {
        const auto status = saver.wait(endGuardSeconds);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
        // Reported, not asserted: how promptly is measured under a real
        // XScreenSaver (docs/saver.md).
        std::printf("[ measured ] %s: ended after %.2f s\n", what, seconds);
        return status;
    }
};

TEST_F(SaverProgramTest, DestroyingItsWindowEndsItWithStatusZeroWhileLoadingAndWhileDrawing)
{
    for (const bool loaded : {false, true}) {
        SCOPED_TRACE(loaded ? "scene made" : "still loading");
        const Window window = makeWindow();
        ChildProcess& saver = startOn(window);
        if (loaded) {
            ASSERT_TRUE(waitForRecord(saver.pid(), "native create id=")) << saver.output();
        }
        const auto since = std::chrono::steady_clock::now();
        XDestroyWindow(display(), window);
        XSync(display(), False);
        const auto status = waitForEnd(saver, since, "window destroyed");
        EXPECT_TRUE(ChildProcess::exitedWith(status, 0)) << ChildProcess::describe(status) << "\n" << saver.output();
        EXPECT_EQ(saver.output().find("gloamyard-saver:"), std::string::npos) << "a window going away is no error:\n"
                                                                              << saver.output();
    }
}

TEST_F(SaverProgramTest, SigtermEndsItWithStatusZeroAndASecondSigtermIsHarmless)
{
    for (const bool ready : {false, true}) {
        SCOPED_TRACE(ready ? "scene ready" : "still loading");
        const Window window = makeWindow();
        ChildProcess& saver = startOn(window);
        if (ready) {
            ASSERT_TRUE(waitForRecord(saver.pid(), "native scene ready id=")) << saver.output();
        }
        const auto since = std::chrono::steady_clock::now();
        saver.signal(SIGTERM);
        saver.signal(SIGTERM);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        saver.signal(SIGTERM);
        const auto status = waitForEnd(saver, since, ready ? "SIGTERM, drawing" : "SIGTERM, loading");
        EXPECT_TRUE(ChildProcess::exitedWith(status, 0)) << ChildProcess::describe(status) << "\n" << saver.output();
        // Also when a long loading step holds the main thread past the stop
        // deadline and the deadline ends the process.
        EXPECT_EQ(claimOf(window), std::nullopt) << "a clean exit takes its claim off the window";
        if (ready) {
            // Drawing, the main loop answers at once: an orderly stop.
            const auto released = recordsStartingWith(saver.pid(), "native release id=");
            ASSERT_EQ(released.size(), 1U) << saver.output();
            EXPECT_NE(released.front().find(" reason=stopAnimation "), std::string::npos) << released.front();
        }
        XDestroyWindow(display(), window);
    }
}

TEST_F(SaverProgramTest, ASecondProcessOnTheSameWindowMakesTheFirstStopAndExit)
{
    const Window window = makeWindow();
    ChildProcess& first = startOn(window);
    ASSERT_TRUE(waitForRecord(first.pid(), "native create id=")) << first.output();
    ChildProcess& second = startOn(window);
    ASSERT_EQ(claimOf(window), second.pid());

    const auto status = waitForEnd(first, std::chrono::steady_clock::now(), "replaced by a second process");
    EXPECT_TRUE(ChildProcess::exitedWith(status, 0)) << ChildProcess::describe(status) << "\n" << first.output();
    EXPECT_NE(first.output().find("gloamyard-saver: another gloamyard-saver took over the window " + hex(window)),
              std::string::npos)
        << first.output();
    const auto released = recordsStartingWith(first.pid(), "native release id=");
    ASSERT_EQ(released.size(), 1U);
    EXPECT_NE(released.front().find(" reason=replaced on display "), std::string::npos) << released.front();

    // The first one's exit leaves the second one's claim alone, and the
    // second one draws on.
    EXPECT_EQ(claimOf(window), second.pid());
    ASSERT_TRUE(waitForRecord(second.pid(), "native create id=")) << second.output();
    EXPECT_TRUE(second.running()) << second.output();
    second.signal(SIGTERM);
    EXPECT_TRUE(ChildProcess::exitedWith(second.wait(endGuardSeconds), 0)) << second.output();
    EXPECT_EQ(claimOf(window), std::nullopt);
}

TEST_F(SaverProgramTest, TheLockOverABlankScreenIsNoNewSessionButUnblankAndBlankAre)
{
    setStatus("BLANK");
    const Window window = makeWindow();
    ChildProcess& saver = startOn(window);
    const pid_t pid = saver.pid();
    ASSERT_TRUE(waitForRecord(pid, "native create id=")) << saver.output();
    ASSERT_TRUE(waitForRecord(pid, "native audio allowed=true")) << "blanking and on the first monitor";

    setStatus("LOCK");
    // The saver reads the status once per burst of changes: give it time
    // to see LOCK on its own (nothing it does then can be waited for,
    // since it must do nothing).
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    setStatus("0");
    ASSERT_TRUE(waitForRecord(pid, "native session UNBLANK id=")) << saver.output();
    EXPECT_EQ(recordsStartingWith(pid, "native session LOCK"), std::vector<std::string>{});
    EXPECT_EQ(recordsStartingWith(pid, "native session opening restart"), std::vector<std::string>{});
    const auto released = recordsStartingWith(pid, "native release id=");
    ASSERT_EQ(released.size(), 1U);
    EXPECT_NE(released.front().find(" reason=session stopped "), std::string::npos) << released.front();

    setStatus("BLANK");
    ASSERT_TRUE(waitForRecord(pid, "native session BLANK id=")) << saver.output();
    ASSERT_TRUE(waitForRecord(pid, "native create id=", 2)) << "a new session makes a new scene";
    EXPECT_TRUE(saver.running());
    saver.signal(SIGTERM);
    EXPECT_TRUE(ChildProcess::exitedWith(saver.wait(endGuardSeconds), 0)) << saver.output();
}

TEST_F(SaverProgramTest, APreviewWithoutXScreenSaversStatusStaysSilent)
{
    // No _SCREENSAVER_STATUS: the settings program's preview, or a user
    // trying the mode. Whether a daemon runs says nothing about blanking:
    // one of this user's processes is called xscreensaver meanwhile.
    setStatus(nullptr);
    const std::filesystem::path daemonLookalike = home() / "xscreensaver";
    std::filesystem::copy_file("/bin/sleep", daemonLookalike);
    ChildProcess daemon({daemonLookalike.string(), "600"});
    const Window window = makeWindow();
    ChildProcess& saver = startOn(window);
    ASSERT_TRUE(waitForRecord(saver.pid(), "native create id=")) << saver.output();
    ASSERT_TRUE(waitForRecord(saver.pid(), "native audio allowed=")) << saver.output();
    // Past a few of the once-a-second decisions.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    const std::string prefix = "native start id=";
    const auto started = recordsStartingWith(saver.pid(), prefix);
    ASSERT_EQ(started.size(), 1U);
    const std::string instance = started.front().substr(prefix.size());
    EXPECT_EQ(recordsStartingWith(saver.pid(), "native audio allowed="),
              std::vector<std::string>{"native audio allowed=false id=" + instance});
}

TEST_F(SaverProgramTest, AWindowOnNoMonitorGetsItsSceneOnceItIsMovedOntoOne)
{
    // Off the 640 x 480 screen: no monitor, so no scene yet.
    const Window window = makeWindow(2000, 2000, 320, 240);
    ChildProcess& saver = startOn(window);
    const pid_t pid = saver.pid();
    ASSERT_TRUE(waitForRecord(pid, "native window attached=true")) << saver.output();
    // A second's worth of settle delays and audio checks, and still none.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(recordsStartingWith(pid, "native create id="), std::vector<std::string>{});

    XMoveWindow(display(), window, 100, 100);
    XSync(display(), False);
    EXPECT_TRUE(waitForRecord(pid, "native create id=")) << saver.output();
}

TEST_F(SaverProgramTest, DrawsThroughX11EvenWhenTheSessionAsksForWayland)
{
    const Window window = makeWindow();
    ChildProcess& saver = startOn(window, {}, {{"QT_QPA_PLATFORM", "wayland"}, {"WAYLAND_DISPLAY", "wayland-77"}});
    EXPECT_TRUE(waitForRecord(saver.pid(), "native create id=")) << saver.output();
    EXPECT_TRUE(saver.running()) << saver.output();
}

TEST_F(SaverProgramTest, HonoursDisplayAndIgnoresTheToolkitsOtherOptionsWithOneWarning)
{
    const Window window = makeWindow();
    // DISPLAY names no server; -display names this one.
    ChildProcess& saver = startOn(window, {"-display", server().name(), "-visual", "default", "-install", "-fps"},
                                  {{"DISPLAY", ":4242"}});
    EXPECT_TRUE(waitForRecord(saver.pid(), "native create id=")) << saver.output();
    const std::string warning = "gloamyard-saver: ignoring options it does not use: -visual default -install -fps\n";
    EXPECT_NE(saver.output().find(warning), std::string::npos) << saver.output();
    EXPECT_EQ(saver.output().find("ignoring"), saver.output().rfind("ignoring")) << "one warning";
}

TEST_F(SaverProgramTest, RootDrawsIntoTheDesktopsVirtualRootOutOfTheWindowManagersHands)
{
    // A desktop that puts a virtual root over the real one, as some window
    // managers and desktop shells do.
    const Window vroot = makeWindow(0, 0, 640, 480);
    const Atom property = XInternAtom(display(), "__SWM_VROOT", False);
    XChangeProperty(display(), vroot, property, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&vroot), 1);
    XSync(display(), False);

    ChildProcess& saver = start({"-root"});
    ASSERT_TRUE(waitFor([&] { return claimOf(vroot) == saver.pid() || !saver.running(); })) << saver.output();
    EXPECT_EQ(claimOf(server().root()), std::nullopt);
    ASSERT_TRUE(waitForRecord(saver.pid(), "native create id=")) << saver.output();

    Window rootReturn = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    ASSERT_NE(XQueryTree(display(), vroot, &rootReturn, &parent, &children, &count), 0);
    ASSERT_EQ(count, 1U) << "the saver draws in one window inside the virtual root";
    XWindowAttributes attributes{};
    ASSERT_NE(XGetWindowAttributes(display(), children[0], &attributes), 0);
    XFree(children);
    EXPECT_TRUE(attributes.override_redirect) << "a window manager must not frame or move it";
    EXPECT_EQ(attributes.map_state, IsViewable);

    saver.signal(SIGTERM);
    EXPECT_TRUE(ChildProcess::exitedWith(saver.wait(endGuardSeconds), 0)) << saver.output();
    EXPECT_EQ(claimOf(vroot), std::nullopt);
}

TEST_F(SaverProgramTest, RootWithoutAVirtualRootDrawsOnTheRootBelowEveryOtherWindow)
{
    const Window other = makeWindow(10, 10, 100, 100);
    ChildProcess& saver = start({"-root"});
    ASSERT_TRUE(waitFor([&] { return claimOf(server().root()) == saver.pid() || !saver.running(); })) << saver.output();
    ASSERT_TRUE(waitForRecord(saver.pid(), "native create id=")) << saver.output();

    Window rootReturn = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    ASSERT_NE(XQueryTree(display(), server().root(), &rootReturn, &parent, &children, &count), 0);
    // Bottom first; Qt's own helper windows are never mapped.
    std::vector<Window> stacking;
    for (unsigned int index = 0; index < count; ++index) {
        XWindowAttributes each{};
        if (XGetWindowAttributes(display(), children[index], &each) != 0 && each.map_state == IsViewable) {
            stacking.push_back(children[index]);
        }
    }
    XFree(children);
    ASSERT_EQ(stacking.size(), 2U);
    EXPECT_EQ(stacking.back(), other) << "the saver's window is below the test's";
    XWindowAttributes attributes{};
    ASSERT_NE(XGetWindowAttributes(display(), stacking.front(), &attributes), 0);
    EXPECT_TRUE(attributes.override_redirect);

    saver.signal(SIGTERM);
    EXPECT_TRUE(ChildProcess::exitedWith(saver.wait(endGuardSeconds), 0)) << saver.output();
    EXPECT_EQ(claimOf(server().root()), std::nullopt);
}

TEST_F(SaverProgramTest, AWindowThatIsNotThereIsOneLineAndStatusOne)
{
    const Window window = makeWindow();
    XDestroyWindow(display(), window);
    XSync(display(), False);
    ChildProcess& saver = start({"-window-id", hex(window)});
    const auto status = saver.wait(startGuardSeconds);
    EXPECT_TRUE(ChildProcess::exitedWith(status, 1)) << ChildProcess::describe(status);
    EXPECT_EQ(saver.output(),
              "gloamyard-saver: there is no window " + hex(window) + " on the X display " + server().name() + "\n");
}

TEST_F(SaverProgramTest, AnXServerThatDiesWhileTheSceneLoadsEndsItWithOneLine)
{
    const Window window = makeWindow();
    ChildProcess& saver = startOn(window);
    server().kill();
    const auto status = saver.wait(endGuardSeconds);
    ASSERT_TRUE(status.has_value()) << "still running without its X server";
    EXPECT_TRUE(ChildProcess::exitedWith(status, 1)) << ChildProcess::describe(status) << "\n" << saver.output();
    const std::string line = "gloamyard-saver: lost the connection to the X server\n";
    const auto found = saver.output().find(line);
    ASSERT_NE(found, std::string::npos) << saver.output();
    EXPECT_EQ(saver.output().find("connection", found + line.size()), std::string::npos) << "one line about it:\n"
                                                                                         << saver.output();
    EXPECT_EQ(saver.output().find("X11 connection broke"), std::string::npos) << saver.output();
}

} // namespace
} // namespace gloam::saver::testing
