#pragma once

// A private X server (Xvfb) for tests that meet X: it picks a free display
// number itself and says which, so parallel test programs never share one.
// The test talks to it over a connection of its own; programs the test
// starts get its name in DISPLAY.

#include "tests/support/ChildProcess.h"

#include <X11/Xlib.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

namespace gloam::testing {

class XvfbServer {
public:
    explicit XvfbServer(const std::string& screen = "640x480x24")
        : server_(std::make_unique<ChildProcess>(std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd", "1", "-screen",
                                                                          "0", screen, "-nolisten", "tcp", "-noreset"}))
    {
        // Xvfb writes the display number it took on a line of its own.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (name_.empty() && std::chrono::steady_clock::now() < end) {
            server_->waitForOutput("\n", 0.1);
            std::size_t start = 0;
            const std::string& text = server_->output();
            for (std::size_t newline = text.find('\n'); newline != std::string::npos;
                 start = newline + 1, newline = text.find('\n', start)) {
                const std::string line = text.substr(start, newline - start);
                if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) {
                    name_ = ":" + line;
                    break;
                }
            }
            if (!server_->running()) {
                break;
            }
        }
        if (name_.empty()) {
            throw std::runtime_error("Xvfb did not start: " + server_->output());
        }
        display_ = XOpenDisplay(name_.c_str());
        if (display_ == nullptr) {
            throw std::runtime_error("cannot connect to Xvfb on " + name_);
        }
    }

    ~XvfbServer()
    {
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
        if (server_->running()) {
            server_->signal(SIGTERM);
            server_->wait(10);
        }
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // ":N", for DISPLAY.
    const std::string& name() const { return name_; }
    // The test's own connection.
    Display* display() const { return display_; }
    Window root() const { return DefaultRootWindow(display_); }

    // Ends the server as a crash would; the test's connection is gone
    // (the test must not use it afterwards).
    void kill()
    {
        // Xlib would end the test process on a broken connection, so the
        // test's own is closed first; its windows stay until the server goes.
        if (display_ != nullptr) {
            XSetCloseDownMode(display_, RetainPermanent);
            XCloseDisplay(display_);
            display_ = nullptr;
        }
        server_->signal(SIGKILL);
        server_->wait(10);
    }

private:
    std::unique_ptr<ChildProcess> server_;
    std::string name_;
    Display* display_ = nullptr;
};

} // namespace gloam::testing
