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
    bool chosen = false;
    const auto choose = [&](Mode mode) {
        if (chosen && result.mode != mode) {
            result.error = "choose one of -window-id, -root, --window and --configure";
        }
        chosen = true;
        result.mode = mode;
    };
    for (std::size_t index = 0; index < arguments.size() && !result.error; ++index) {
        std::string option = arguments[index];
        if (option.rfind("--", 0) == 0) {
            option.erase(0, 1);
        }
        if (option == "-window-id") {
            if (index + 1 >= arguments.size()) {
                result.error = "-window-id needs a window id";
                break;
            }
            const std::string& text = arguments[++index];
            const auto id = parseWindowId(text);
            if (!id) {
                result.error = "the window id \"" + text + "\" is not a window number";
                break;
            }
            choose(Mode::hostWindow);
            result.window = *id;
        } else if (option == "-root") {
            choose(Mode::root);
        } else if (option == "-window") {
            choose(Mode::ownWindow);
        } else if (option == "-configure") {
            choose(Mode::configure);
        } else if (option == "-help" || option == "-h") {
            choose(Mode::help);
        } else {
            result.error = "unknown option \"" + arguments[index] + "\"";
        }
    }
    if (result.error || (chosen && result.mode != Mode::root)) {
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
    }
    return result;
}

} // namespace gloam::saver
