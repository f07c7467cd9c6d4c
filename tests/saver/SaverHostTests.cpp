// The host side's pure parts: the command line, what a status change of
// XScreenSaver means, the activity, record formatting and the notification
// centre.
#include "saver/ProcessActivity.h"
#include "saver/SaverCommandLine.h"
#include "saver/SaverGeometry.h"
#include "saver/SaverNotifications.h"
#include "saver/X11SessionWatch.h"

#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <unistd.h>

#include <optional>

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
        // Never octal: XScreenSaver writes decimal or 0x hexadecimal.
        {{"-window-id", "010"}, nullptr, Mode::hostWindow, 10},
        {{"-window-id", "0X1F"}, nullptr, Mode::hostWindow, 0x1f},
        {{}, "0400007", Mode::hostWindow, 400007},
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
        {{"-window-id", "1a00007"}, nullptr, "the window id \"1a00007\" is not a window number"},
        {{"-window-id", "0x1g"}, nullptr, "the window id \"0x1g\" is not a window number"},
        {{"-window-id", "0x-5"}, nullptr, "the window id \"0x-5\" is not a window number"},
        {{"-window-id", " 12"}, nullptr, "the window id \" 12\" is not a window number"},
        {{"-display"}, nullptr, "-display needs the name of an X display"},
        {{"-root", "-display", ""}, nullptr, "-display needs the name of an X display"},
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

TEST(SaverCommandLineTest, HonoursDisplayAndIgnoresTheToolkitsOtherOptions)
{
    struct Case {
        std::vector<std::string> arguments;
        Mode mode;
        std::optional<std::string> display;
        std::string warning;
    };
    const Case cases[] = {
        {{"-root", "-display", ":7"}, Mode::root, ":7", ""},
        {{"--display", "otherhost:0.1", "-window-id", "0x400007"}, Mode::hostWindow, "otherhost:0.1", ""},
        // What XScreenSaver's settings add (frame rate) and what users paste
        // from other display modes' command lines.
        {{"-root", "-fps"}, Mode::root, std::nullopt, "ignoring options it does not use: -fps"},
        {{"-visual", "default", "-install", "-root", "-geometry", "800x600+0+0"},
         Mode::root,
         std::nullopt,
         "ignoring options it does not use: -visual default -install -geometry 800x600+0+0"},
        {{"--window", "-bg", "black", "+rv", "-xrm", "*delay: 5"},
         Mode::ownWindow,
         std::nullopt,
         "ignoring options it does not use: -bg black +rv -xrm *delay: 5"},
        // A value missing at the end is no reason to leave the screen black.
        {{"-root", "-geometry"}, Mode::root, std::nullopt, "ignoring options it does not use: -geometry"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front());
        const auto parsed = SaverCommandLine::parse(c.arguments, nullptr);
        ASSERT_FALSE(parsed.error.has_value()) << *parsed.error;
        EXPECT_EQ(parsed.mode, c.mode);
        EXPECT_EQ(parsed.display, c.display);
        EXPECT_EQ(parsed.ignoredWarning(), c.warning);
    }
    // A value is taken as the option's value, never as an option.
    const auto titleValue = SaverCommandLine::parse({"-title", "--configure", "-root"}, nullptr);
    ASSERT_FALSE(titleValue.error.has_value()) << *titleValue.error;
    EXPECT_EQ(titleValue.mode, Mode::root);
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
        // XScreenSaver starts the mode after it blanks; the lock engaging
        // later is the same session, not a new opening.
        {State::blanked, State::locked, std::nullopt, false},
        {State::locked, State::blanked, std::nullopt, false},
        {State::blanked, State::unblanked, "UNBLANK", false},
        {State::locked, State::unblanked, "UNBLANK", false},
        {State::locked, std::nullopt, "UNBLANK", false},
        {std::nullopt, State::blanked, "BLANK", true},
        {std::nullopt, State::locked, "LOCK", true},
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
