#include "saver/XScreenSaverStatus.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace gloam::saver {

std::optional<XScreenSaverStatus::State> XScreenSaverStatus::state(Display* display)
{
    if (display == nullptr) {
        return std::nullopt;
    }
    const Atom property = XInternAtom(display, "_SCREENSAVER_STATUS", True);
    if (property == None) {
        return std::nullopt;
    }
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const int result = XGetWindowProperty(display, DefaultRootWindow(display), property, 0, 1, False, XA_INTEGER, &type,
                                          &format, &count, &remaining, &data);
    std::optional<State> state;
    if (result == Success && type == XA_INTEGER && format == 32 && count >= 1 && data != nullptr) {
        // Format-32 property data comes as longs.
        const auto first = static_cast<Atom>(reinterpret_cast<const long*>(data)[0]);
        if (first != None && first == XInternAtom(display, "LOCK", False)) {
            state = State::locked;
        } else if (first != None && first == XInternAtom(display, "BLANK", False)) {
            state = State::blanked;
        } else {
            state = State::unblanked;
        }
    }
    if (data != nullptr) {
        XFree(data);
    }
    return state;
}

std::optional<bool> XScreenSaverStatus::read(Display* display)
{
    const auto current = state(display);
    if (!current) {
        return std::nullopt;
    }
    return *current != State::unblanked;
}

const char* XScreenSaverStatus::name(State state)
{
    switch (state) {
    case State::blanked:
        return "BLANK";
    case State::locked:
        return "LOCK";
    case State::unblanked:
        break;
    }
    return "UNBLANK";
}

} // namespace gloam::saver
