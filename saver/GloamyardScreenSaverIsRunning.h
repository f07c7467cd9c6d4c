#pragma once

#include <optional>
#include <string_view>

// Whether a real screen-saver session is blanking this display now: 1 or 0.
// XScreenSaver's own status decides (the first value of the root window's
// "_SCREENSAVER_STATUS" property is the atom BLANK or LOCK while it blanks);
// where that property is missing, whether this user's XScreenSaver daemon
// runs at all. Safe to call from any thread.
extern "C" int GloamyardScreenSaverIsRunning();

namespace gloam::saver {

// What the root window's status says: blanking or not, or none when the
// property is absent.
std::optional<bool> screenSaverStatus();

// Whether a process named `name` runs as this user (read from /proc).
bool userProcessRunning(std::string_view name, std::string_view procRoot = "/proc");

} // namespace gloam::saver
