#include "saver/SaverCommandLine.h"

#include <cerrno>
#include <cstdlib>

namespace gloam::saver {

std::optional<unsigned long> SaverCommandLine::parseWindowId(const std::string& text)
{
    if (text.empty() || text.find_first_of(" \t\n+-") != std::string::npos) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (errno != 0 || end == text.c_str() || *end != '\0' || value == 0 || value > 0xFFFFFFFFUL) {
        return std::nullopt;
    }
    return value;
}

const char* SaverCommandLine::usage()
{
    return "usage: gloamyard-saver [-window-id ID | -root | --window | --configure]\n"
           "  The Gloamyard scene as an XScreenSaver display mode.\n"
           "  -window-id ID  draw into the X window ID (XSCREENSAVER_WINDOW also gives it)\n"
           "  -root          draw on the root window\n"
           "  --window       run in a window of its own\n"
           "  --configure    show the options (vehicle, sound)\n";
}

SaverCommandLine SaverCommandLine::parse(const std::vector<std::string>& arguments, const char* xscreensaverWindow)
{
    SaverCommandLine result;
    bool root = false;
    bool ownWindow = false;
    bool configure = false;
    bool help = false;
    std::optional<unsigned long> window;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        std::string option = arguments[index];
        if (option.rfind("--", 0) == 0) {
            option.erase(0, 1);
        }
        if (option == "-window-id") {
            if (index + 1 >= arguments.size()) {
                result.error = "-window-id needs a window id";
                return result;
            }
            const std::string& text = arguments[++index];
            window = parseWindowId(text);
            if (!window) {
                result.error = "the window id \"" + text + "\" is not a window number";
                return result;
            }
        } else if (option == "-root") {
            root = true;
        } else if (option == "-window") {
            ownWindow = true;
        } else if (option == "-configure") {
            configure = true;
        } else if (option == "-help" || option == "-h") {
            help = true;
        } else {
            result.error = "unknown option \"" + arguments[index] + "\"";
            return result;
        }
    }
    if (help) {
        result.mode = Mode::help;
        return result;
    }
    // The settings program adds -window-id to the mode's own command line
    // (which may say -root): the window given wins.
    const int drawing = (window || root ? 1 : 0) + (ownWindow ? 1 : 0) + (configure ? 1 : 0);
    if (drawing > 1) {
        result.error = "choose one of -window-id or -root, --window and --configure";
        return result;
    }
    if (configure) {
        result.mode = Mode::configure;
        return result;
    }
    if (ownWindow) {
        result.mode = Mode::ownWindow;
        return result;
    }
    if (window) {
        result.mode = Mode::hostWindow;
        result.window = *window;
        return result;
    }
    // Started by XScreenSaver: the window is in the environment, and "the
    // root" means that window (its virtual root), as for every display mode.
    if (xscreensaverWindow != nullptr && *xscreensaverWindow != '\0') {
        const auto id = parseWindowId(xscreensaverWindow);
        if (!id) {
            result.error = std::string("XSCREENSAVER_WINDOW \"") + xscreensaverWindow + "\" is not a window number";
            return result;
        }
        result.mode = Mode::hostWindow;
        result.window = *id;
        return result;
    }
    result.mode = root ? Mode::root : Mode::ownWindow;
    return result;
}

} // namespace gloam::saver
