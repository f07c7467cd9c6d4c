#include "saver/DisplayPowerWatch.h"

#include <X11/Xlib.h>
// After Xlib: the DPMS header uses its types.
#include <X11/extensions/dpms.h>

namespace gloam::saver {

DisplayPowerWatch::DisplayPowerWatch(std::function<void(bool asleep)> changed)
    : changed_(std::move(changed))
{
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) {
        return;
    }
    int event = 0;
    int error = 0;
    if (!DPMSQueryExtension(display_, &event, &error) || !DPMSCapable(display_)) {
        XCloseDisplay(display_);
        display_ = nullptr;
        return;
    }
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { poll(); });
    timer_.start(intervalMs);
    poll();
}

DisplayPowerWatch::~DisplayPowerWatch()
{
    timer_.stop();
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
}

void DisplayPowerWatch::poll()
{
    CARD16 level = DPMSModeOn;
    BOOL enabled = False;
    if (!DPMSInfo(display_, &level, &enabled)) {
        return;
    }
    const bool asleep = enabled && level != DPMSModeOn;
    if (asleep != asleep_) {
        asleep_ = asleep;
        if (changed_) {
            changed_(asleep);
        }
    }
}

} // namespace gloam::saver
