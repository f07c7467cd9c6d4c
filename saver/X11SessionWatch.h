#pragma once

#include "saver/XScreenSaverStatus.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

typedef struct _XDisplay Display;
class QSocketNotifier;

namespace gloam::saver {

// Follows XScreenSaver's session on the root window's "_SCREENSAVER_STATUS"
// property: BLANK or LOCK over an unblanked screen starts a session,
// UNBLANK (the property's first value back to 0) ends it. The lock coming
// on over a blanked screen is no new session. Only changes are reported;
// the state found at start is the baseline (XScreenSaver starts its
// display modes after it has blanked).
class X11SessionWatch {
public:
    // `changed(name, started)`; name is "BLANK", "LOCK" or "UNBLANK".
    explicit X11SessionWatch(std::function<void(const std::string& name, bool started)> changed);
    ~X11SessionWatch();
    X11SessionWatch(const X11SessionWatch&) = delete;
    X11SessionWatch& operator=(const X11SessionWatch&) = delete;

    // False when the display could not be opened (then nothing is reported).
    bool watching() const { return display_ != nullptr; }

    // What a change of state means for the session: the event's name and
    // whether the session started, or none when nothing is to be reported.
    struct Change {
        std::string name;
        bool started = false;
    };
    static std::optional<Change> change(std::optional<XScreenSaverStatus::State> before,
                                        std::optional<XScreenSaverStatus::State> after);

private:
    void readEvents();

    std::function<void(const std::string&, bool)> changed_;
    Display* display_ = nullptr;
    unsigned long statusAtom_ = 0;
    std::optional<XScreenSaverStatus::State> state_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace gloam::saver
