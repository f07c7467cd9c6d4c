// The host side's pure parts: the command line, what a status change of
// XScreenSaver means, the process check, record formatting and the
// notification centre.
#include "saver/GloamyardScreenSaverIsRunning.h"
#include "saver/ProcessActivity.h"
#include "saver/SaverCommandLine.h"
#include "saver/SaverGeometry.h"
#include "saver/SaverNotifications.h"
#include "saver/X11SessionWatch.h"

#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace gloam::saver {
namespace {

using Mode = SaverCommandLine::Mode;

TEST(SaverCommandLineTest, ReadsTheHostsWaysOfNamingTheWindow)
{
    struct Case {
        std::vector<std::string> arguments;
        const char* environment;
        Mode mode;
        unsigned long window;
    };
    const Case cases[] = {
        {{}, nullptr, Mode::ownWindow, 0},
        {{}, "0x1a00007", Mode::hostWindow, 0x1a00007},
        {{}, "4194311", Mode::hostWindow, 4194311},
        {{"-window-id", "0x400007"}, nullptr, Mode::hostWindow, 0x400007},
        {{"--window-id", "77"}, "0x99", Mode::hostWindow, 77},
        {{"-root"}, nullptr, Mode::root, 0},
        {{"--root"}, "0x2c00001", Mode::hostWindow, 0x2c00001},
        {{"--window"}, "0x2c00001", Mode::ownWindow, 0},
        {{"-window"}, nullptr, Mode::ownWindow, 0},
        {{"--configure"}, "0x2c00001", Mode::configure, 0},
        {{"--root", "-window-id", "0x3e00003"}, "0x2c00001", Mode::hostWindow, 0x3e00003},
        {{"-window-id", "0x3e00003", "-root"}, nullptr, Mode::hostWindow, 0x3e00003},
        {{"--help"}, nullptr, Mode::help, 0},
    };
    for (const Case& c : cases) {
        const auto parsed = SaverCommandLine::parse(c.arguments, c.environment);
        SCOPED_TRACE(c.arguments.empty() ? std::string("(none)") : c.arguments.front());
        EXPECT_FALSE(parsed.error.has_value()) << *parsed.error;
        EXPECT_EQ(parsed.mode, c.mode);
        EXPECT_EQ(parsed.window, c.window);
    }
}

TEST(SaverCommandLineTest, RefusesWhatIsNotAWindowNumberOrNotAnOption)
{
    struct Case {
        std::vector<std::string> arguments;
        const char* environment;
        const char* error;
    };
    const Case cases[] = {
        {{"-window-id", "abc"}, nullptr, "the window id \"abc\" is not a window number"},
        {{"-window-id", "0x"}, nullptr, "the window id \"0x\" is not a window number"},
        {{"-window-id", "-5"}, nullptr, "the window id \"-5\" is not a window number"},
        {{"-window-id", "0"}, nullptr, "the window id \"0\" is not a window number"},
        {{"-window-id", "99999999999"}, nullptr, "the window id \"99999999999\" is not a window number"},
        {{"-window-id"}, nullptr, "-window-id needs a window id"},
        {{"--frobnicate"}, nullptr, "unknown option \"--frobnicate\""},
        {{"--window", "--configure"}, nullptr, "choose one of -window-id or -root, --window and --configure"},
        {{"--root", "--window"}, nullptr, "choose one of -window-id or -root, --window and --configure"},
        {{}, "nonsense", "XSCREENSAVER_WINDOW \"nonsense\" is not a window number"},
    };
    for (const Case& c : cases) {
        const auto parsed = SaverCommandLine::parse(c.arguments, c.environment);
        ASSERT_TRUE(parsed.error.has_value()) << c.error;
        EXPECT_EQ(*parsed.error, c.error);
    }
}

TEST(XScreenSaverSessionTest, StatusChangesMapToSessionEvents)
{
    using State = XScreenSaverStatus::State;
    struct Case {
        std::optional<State> before;
        std::optional<State> after;
        std::optional<std::string> name;
        bool started;
    };
    const Case cases[] = {
        {State::unblanked, State::blanked, "BLANK", true},
        {State::unblanked, State::locked, "LOCK", true},
        {State::blanked, State::locked, "LOCK", true},
        {State::blanked, State::unblanked, "UNBLANK", false},
        {State::locked, State::unblanked, "UNBLANK", false},
        {State::locked, std::nullopt, "UNBLANK", false},
        {std::nullopt, State::blanked, "BLANK", true},
        {State::blanked, State::blanked, std::nullopt, false},
        {State::unblanked, State::unblanked, std::nullopt, false},
        {std::nullopt, State::unblanked, std::nullopt, false},
    };
    for (const Case& c : cases) {
        const auto change = X11SessionWatch::change(c.before, c.after);
        ASSERT_EQ(change.has_value(), c.name.has_value());
        if (change) {
            EXPECT_EQ(change->name, *c.name);
            EXPECT_EQ(change->started, c.started);
        }
    }
}

TEST(ScreenSaverRunningTest, FindsOnlyThisUsersProcessOfThatName)
{
    const auto root = std::filesystem::temp_directory_path() / ("gloamyard-proc-" + std::to_string(::getpid()));
    std::filesystem::remove_all(root);
    const auto process = [&](const std::string& pid, const std::string& name) {
        std::filesystem::create_directories(root / pid);
        std::ofstream(root / pid / "comm") << name << "\n";
    };
    process("self", "xscreensaver");
    process("12", "xscreensaver-settings");
    process("13", "bash");
    EXPECT_FALSE(userProcessRunning("xscreensaver", root.string())) << "only numbered entries are processes";
    process("14", "xscreensaver");
    EXPECT_TRUE(userProcessRunning("xscreensaver", root.string()));
    EXPECT_FALSE(userProcessRunning("xscreensaver", (root / "missing").string()));
    std::filesystem::remove_all(root);
}

TEST(ProcessActivityTest, TimersArePreciseExactlyWhileAnActivityIsHeld)
{
    const auto slack = [] { return static_cast<unsigned long>(::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0)); };
    const unsigned long defaultSlack = slack();
    {
        ProcessActivity first("Render the visible Gloamyard screensaver");
        {
            ProcessActivity second("another view");
            EXPECT_EQ(ProcessActivity::held(), 2);
        }
        EXPECT_EQ(ProcessActivity::held(), 1);
        EXPECT_EQ(slack(), defaultSlack) << "still one activity: timers stay precise";
        EXPECT_EQ(first.reason(), "Render the visible Gloamyard screensaver");
    }
    EXPECT_EQ(ProcessActivity::held(), 0);
    EXPECT_EQ(slack(), ProcessActivity::idleTimerSlack);
    ::prctl(PR_SET_TIMERSLACK, 0UL, 0UL, 0UL, 0UL);
}

TEST(SaverGeometryTest, SizesAndScalesPrintAsDecimals)
{
    EXPECT_EQ(describe(SaverSize{1512, 982}), "(1512.0, 982.0)");
    EXPECT_EQ(describe(SaverSize{200.5, 0}), "(200.5, 0.0)");
    EXPECT_EQ(describeScale(2.0), "2.0");
    EXPECT_EQ(describeScale(1.25), "1.25");
}

TEST(SaverNotificationsTest, ObserversMayLeaveWhileANotificationIsDelivered)
{
    SaverNotifications centre;
    std::vector<std::string> heard;
    SaverNotifications::Token second = 0;
    const auto first = centre.observeSession([&](const std::string& name, bool) {
        heard.push_back("first " + name);
        centre.remove(second);
    });
    second = centre.observeSession([&](const std::string& name, bool) { heard.push_back("second " + name); });
    const auto display = centre.observeDisplay([&](bool asleep) { heard.push_back(asleep ? "sleep" : "wake"); });
    centre.postSession("BLANK", true);
    centre.postDisplay(true);
    EXPECT_EQ(heard, (std::vector<std::string>{"first BLANK", "sleep"}));
    centre.remove(first);
    centre.remove(display);
    EXPECT_EQ(centre.observerCount(), 0U);
}

} // namespace
} // namespace gloam::saver
