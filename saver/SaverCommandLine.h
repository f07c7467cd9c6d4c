#pragma once

#include <optional>
#include <string>
#include <vector>

namespace gloam::saver {

// What the saver was asked to do, from its command line and XScreenSaver's
// XSCREENSAVER_WINDOW. Options may be written with one dash or two, as
// XScreenSaver's own display modes accept them.
struct SaverCommandLine {
    enum class Mode {
        hostWindow, // draw into the window the host gave
        root,       // draw on the root window (XSCREENSAVER_WINDOW when set)
        ownWindow,  // a window of its own, for trying it
        configure,  // the options sheet
        help,
    };
    Mode mode = Mode::ownWindow;
    unsigned long window = 0;
    // Set when the command line cannot be used: one sentence for the user.
    std::optional<std::string> error;

    static SaverCommandLine parse(const std::vector<std::string>& arguments, const char* xscreensaverWindow);
    // A window id in decimal or 0x hexadecimal, as XScreenSaver writes it.
    static std::optional<unsigned long> parseWindowId(const std::string& text);

    static const char* usage();
};

} // namespace gloam::saver
