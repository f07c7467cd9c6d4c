#pragma once

// The real gloamyard-saver against a real X server: a private Xvfb, windows
// the test makes as XScreenSaver would, a private config and cache folder,
// the lifecycle records switched on so the test can read what the saver's
// views did. Waits have guard times against hangs; nothing here asserts a
// speed.

// Before Xlib, whose None, Bool and Status macros would break it.
#include <gtest/gtest.h>

#include "tests/support/ChildProcess.h"
#include "tests/support/TemporaryFolder.h"
#include "tests/support/XvfbServer.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace gloam::saver::testing {

using gloam::testing::ChildProcess;
using gloam::testing::TemporaryFolder;
using gloam::testing::XvfbServer;

// Long enough for a loaded two-core machine to start Qt and GL; a hang
// shows as a failure after this.
constexpr double startGuardSeconds = 60;
constexpr double endGuardSeconds = 15;

class SaverProgramFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Asking about a window the saver or the test has just destroyed is
        // part of these tests; Xlib's default would end the test program.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        server_ = std::make_unique<XvfbServer>();
    }
    void TearDown() override
    {
        children_.clear();
        server_.reset();
    }

    XvfbServer& server() { return *server_; }
    Display* display() { return server_->display(); }

    // What every saver the test starts gets: this server, a private home,
    // the records on, no sound card needed.
    std::map<std::string, std::optional<std::string>> environment() const
    {
        return {
            {"DISPLAY", server_->name()},
            {"XDG_CONFIG_HOME", (home_ / "config").string()},
            {"XDG_CACHE_HOME", (home_ / "cache").string()},
            {"XDG_RUNTIME_DIR", runtime_.path().string()},
            {"HALLOWEEN_SAVER_DIAGNOSTICS", "1"},
            {"ALSOFT_DRIVERS", "null"},
            {"XSCREENSAVER_WINDOW", std::nullopt},
            {"QT_QPA_PLATFORM", std::nullopt},
            {"WAYLAND_DISPLAY", std::nullopt},
        };
    }

    ChildProcess& start(const std::vector<std::string>& arguments,
                        std::map<std::string, std::optional<std::string>> changes = {})
    {
        auto env = environment();
        for (auto& [name, value] : changes) {
            env[name] = value;
        }
        std::vector<std::string> argv = {GLOAMYARD_SAVER_PROGRAM};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        children_.push_back(std::make_unique<ChildProcess>(argv, env));
        return *children_.back();
    }

    // A mapped window where XScreenSaver would make one.
    Window makeWindow(int x = 0, int y = 0, unsigned width = 320, unsigned height = 240)
    {
        const Window window = XCreateSimpleWindow(display(), server_->root(), x, y, width, height, 0, 0, 0);
        XMapWindow(display(), window);
        XSync(display(), False);
        return window;
    }

    static std::string hex(Window window)
    {
        std::ostringstream text;
        text << "0x" << std::hex << window;
        return text.str();
    }

    // The process id in the saver's claim on `window`, or none.
    std::optional<long> claimOf(Window window)
    {
        const Atom claim = XInternAtom(display(), "_GLOAMYARD_SAVER_CLAIM", False);
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        std::optional<long> pid;
        if (XGetWindowProperty(display(), window, claim, 0, 2, False, XA_CARDINAL, &type, &format, &count, &remaining,
                               &data) == Success &&
            type == XA_CARDINAL && format == 32 && count == 2 && data != nullptr) {
            pid = reinterpret_cast<const long*>(data)[0];
        }
        if (data != nullptr) {
            XFree(data);
        }
        return pid;
    }

    // Sets (or with none, removes) XScreenSaver's status on the root.
    void setStatus(const char* state)
    {
        const Atom status = XInternAtom(display(), "_SCREENSAVER_STATUS", False);
        if (state == nullptr) {
            XDeleteProperty(display(), server_->root(), status);
        } else {
            // The state, the time it began, then one entry per monitor.
            const long values[3] = {std::string(state) == "0" ? 0L
                                                              : static_cast<long>(XInternAtom(display(), state, False)),
                                    static_cast<long>(std::time(nullptr)), 0L};
            XChangeProperty(display(), server_->root(), status, XA_INTEGER, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(values), 3);
        }
        XSync(display(), False);
    }

    // Polls `done` (with the X server's answers up to date) until it holds
    // or `guardSeconds` pass.
    bool waitFor(const std::function<bool()>& done, double guardSeconds = startGuardSeconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(guardSeconds);
        for (;;) {
            XSync(display(), False);
            if (done()) {
                return true;
            }
            if (std::chrono::steady_clock::now() >= end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    // The lifecycle records of process `pid`, without their times.
    std::vector<std::string> records(pid_t pid) const
    {
        std::vector<std::string> lines;
        std::ifstream file(home_ / "cache" / "net.gloamyard.Gloamyard" / ("lifecycle-" + std::to_string(pid) + ".txt"));
        for (std::string line; std::getline(file, line);) {
            const auto space = line.find(' ');
            lines.push_back(space == std::string::npos ? line : line.substr(space + 1));
        }
        return lines;
    }
    std::vector<std::string> recordsStartingWith(pid_t pid, const std::string& prefix) const
    {
        std::vector<std::string> found;
        for (const auto& line : records(pid)) {
            if (line.rfind(prefix, 0) == 0) {
                found.push_back(line);
            }
        }
        return found;
    }
    bool waitForRecord(pid_t pid, const std::string& prefix, std::size_t count = 1,
                       double guardSeconds = startGuardSeconds)
    {
        return waitFor([&] { return recordsStartingWith(pid, prefix).size() >= count; }, guardSeconds);
    }

    const TemporaryFolder& home() const { return home_; }

private:
    TemporaryFolder home_{"gloamyard-saver-x11"};
    // Qt wants a private runtime folder, as a desktop session has.
    TemporaryFolder runtime_{"gloamyard-saver-runtime"};
    std::unique_ptr<XvfbServer> server_;
    std::vector<std::unique_ptr<ChildProcess>> children_;
};

} // namespace gloam::saver::testing
