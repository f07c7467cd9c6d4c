#include "saver/X11SessionWatch.h"

#include <QSocketNotifier>

#include <X11/Xlib.h>

namespace gloam::saver {

X11SessionWatch::X11SessionWatch(std::function<void(const std::string& name, bool started)> changed)
    : changed_(std::move(changed))
{
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) {
        return;
    }
    statusAtom_ = XInternAtom(display_, "_SCREENSAVER_STATUS", False);
    // Selecting on the root window adds to what other clients select there.
    XSelectInput(display_, DefaultRootWindow(display_), PropertyChangeMask);
    state_ = XScreenSaverStatus::state(display_);
    notifier_ = std::make_unique<QSocketNotifier>(ConnectionNumber(display_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { readEvents(); });
    XFlush(display_);
    if (XEventsQueued(display_, QueuedAlready) > 0) {
        QMetaObject::invokeMethod(
            notifier_.get(), [this] { readEvents(); }, Qt::QueuedConnection);
    }
}

X11SessionWatch::~X11SessionWatch()
{
    notifier_.reset();
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
}

std::optional<X11SessionWatch::Change> X11SessionWatch::change(std::optional<XScreenSaverStatus::State> before,
                                                               std::optional<XScreenSaverStatus::State> after)
{
    using State = XScreenSaverStatus::State;
    const bool wasOn = before && *before != State::unblanked;
    const bool isOn = after && *after != State::unblanked;
    if (isOn && !wasOn) {
        // Blanked or locked from not blanked. The lock engaging over a
        // blanked screen (BLANK to LOCK) is the same session going on.
        return Change{XScreenSaverStatus::name(*after), true};
    }
    if (wasOn && !isOn) {
        return Change{XScreenSaverStatus::name(State::unblanked), false};
    }
    return std::nullopt;
}

void X11SessionWatch::readEvents()
{
    // Reading the status is a round trip that may queue further events:
    // go on until none is left.
    while (XPending(display_) > 0) {
        bool statusChanged = false;
        while (XPending(display_) > 0) {
            XEvent event{};
            XNextEvent(display_, &event);
            if (event.type == PropertyNotify && event.xproperty.atom == statusAtom_) {
                statusChanged = true;
            }
        }
        if (!statusChanged) {
            continue;
        }
        const auto now = XScreenSaverStatus::state(display_);
        const auto found = change(state_, now);
        state_ = now;
        if (found && changed_) {
            changed_(found->name, found->started);
        }
    }
}

} // namespace gloam::saver
