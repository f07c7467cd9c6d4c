#pragma once

#include <optional>

typedef struct _XDisplay Display;

namespace gloam::saver {

// XScreenSaver's status on the root window: the property
// "_SCREENSAVER_STATUS" holds the atom BLANK or LOCK as its first value
// while the screen is blanked, and 0 when it is not. Atom numbers differ
// between X servers, so the value is compared with the atoms by name.
class XScreenSaverStatus {
public:
    enum class State { unblanked, blanked, locked };

    // None when the property is missing (no XScreenSaver 5 or later ran on
    // this display) or cannot be read.
    static std::optional<State> state(Display* display);
    // Blanked or locked.
    static std::optional<bool> read(Display* display);
    // "BLANK", "LOCK" or "UNBLANK": the names XScreenSaver itself uses.
    static const char* name(State state);
};

} // namespace gloam::saver
