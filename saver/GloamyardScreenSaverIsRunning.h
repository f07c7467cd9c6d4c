#pragma once

#include <optional>

// Whether a real screen-saver session is blanking this display now: 1 or 0.
// XScreenSaver's own status decides: the first value of the root window's
// "_SCREENSAVER_STATUS" property is the atom BLANK or LOCK while it blanks.
// When the status cannot be read (no display, no XScreenSaver on it, or a
// damaged property) the answer is 0: a settings preview must never be
// taken for a session, and the daemon running says nothing about whether
// it blanks. Safe to call from any thread.
extern "C" int GloamyardScreenSaverIsRunning();

namespace gloam::saver {

// What the root window's status says: blanking or not, or none when it
// cannot be read.
std::optional<bool> screenSaverStatus();

} // namespace gloam::saver
