#pragma once

#include <optional>
#include <string>
#include <vector>

namespace gloam::saver {

// What the saver was asked to do, from its command line and XScreenSaver's
// XSCREENSAVER_WINDOW. Options may be written with one dash or two, as
// XScreenSaver's own display modes accept them. The X toolkit's standard
// options that such modes take (and that users paste from them) are
// accepted too: -display is honoured, the others are collected in
// `ignored` for one warning.
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
    // The X display from -display; none: $DISPLAY.
    std::optional<std::string> display;
    // Toolkit options the saver has no use for, with their values, in the
    // order given.
    std::vector<std::string> ignored;
    // Set when the command line cannot be used: one sentence for the user.
    std::optional<std::string> error;

    // Draws into an X window the host (or the X server) gives: the X11
    // platform is needed whatever the session is.
    bool drawsIntoForeignWindow() const { return mode == Mode::hostWindow || mode == Mode::root; }
    // "ignoring options it does not use: -visual default -install", or
    // empty when nothing was ignored.
    std::string ignoredWarning() const;

    static SaverCommandLine parse(const std::vector<std::string>& arguments, const char* xscreensaverWindow);
    // A window id in decimal or 0x hexadecimal, as XScreenSaver writes it;
    // a leading zero never means octal.
    static std::optional<unsigned long> parseWindowId(const std::string& text);

    static const char* usage();
};

} // namespace gloam::saver
