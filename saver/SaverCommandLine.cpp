#include "saver/SaverCommandLine.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace gloam::saver {

namespace {

// The X toolkit's standard options and those every XScreenSaver display
// mode adds, which the saver accepts and does not use. The first list
// takes a value.
constexpr std::array<std::string_view, 18> ignoredWithValue = {
    "-background", "-bg",   "-bd",     "-bordercolor", "-borderwidth",      "-bw",
    "-fg",         "-font", "-fn",     "-foreground",  "-geometry",         "-name",
    "-title",      "-xrm",  "-visual", "-xnllanguage", "-selectionTimeout", "-xtsessionID",
};
constexpr std::array<std::string_view, 12> ignoredAlone = {
    "+rv",   "+synchronous", "-iconic",    "-reverse", "-rv",  "-synchronous",
    "-mono", "-install",     "-noinstall", "-pair",    "-fps", "-no-fps",
};

bool contains(const auto& list, std::string_view option)
{
    return std::find(list.begin(), list.end(), option) != list.end();
}

} // namespace

std::optional<unsigned long> SaverCommandLine::parseWindowId(const std::string& text)
{
    const bool hexadecimal = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hexadecimal ? text.substr(2) : text;
    const char* allowed = hexadecimal ? "0123456789abcdefABCDEF" : "0123456789";
    if (digits.empty() || digits.find_first_not_of(allowed) != std::string::npos) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(digits.c_str(), &end, hexadecimal ? 16 : 10);
    if (errno != 0 || *end != '\0' || value == 0 || value > 0xFFFFFFFFUL) {
        return std::nullopt;
    }
    return value;
}

const char* SaverCommandLine::usage()
{
    return "usage: gloamyard-saver [-window-id ID | -root | --window | --configure] [-display DISPLAY]\n"
           "  The Gloamyard scene as an XScreenSaver display mode.\n"
           "  -window-id ID      draw into the X window ID, decimal or 0x hexadecimal\n"
           "                     (XSCREENSAVER_WINDOW also gives it)\n"
           "  -root              draw on the root window (or the desktop's virtual root)\n"
           "  --window           run in a window of its own\n"
           "  --configure        show the options (vehicle, sound)\n"
           "  -display DISPLAY   the X display to use instead of $DISPLAY\n"
           "  The X toolkit's other standard options (-geometry, -visual, -install, -fps, ...)\n"
           "  are accepted and ignored.\n";
}

std::string SaverCommandLine::ignoredWarning() const
{
    if (ignored.empty()) {
        return {};
    }
    std::string text = "ignoring options it does not use:";
    for (const std::string& option : ignored) {
        text += " " + option;
    }
    return text;
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
        const bool hasValue = index + 1 < arguments.size();
        if (option == "-window-id") {
            if (!hasValue) {
                result.error = "-window-id needs a window id";
                return result;
            }
            const std::string& text = arguments[++index];
            window = parseWindowId(text);
            if (!window) {
                result.error = "the window id \"" + text + "\" is not a window number";
                return result;
            }
        } else if (option == "-display") {
            if (!hasValue || arguments[index + 1].empty()) {
                result.error = "-display needs the name of an X display";
                return result;
            }
            result.display = arguments[++index];
        } else if (option == "-root") {
            root = true;
        } else if (option == "-window") {
            ownWindow = true;
        } else if (option == "-configure") {
            configure = true;
        } else if (option == "-help" || option == "-h") {
            help = true;
        } else if (contains(ignoredWithValue, option)) {
            // A value missing at the very end is not worth refusing to draw.
            result.ignored.push_back(hasValue ? arguments[index] + " " + arguments[index + 1] : arguments[index]);
            index += hasValue ? 1 : 0;
        } else if (contains(ignoredAlone, option)) {
            result.ignored.push_back(arguments[index]);
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
