#include "app/DpmsSleepSource.h"

#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

#include <cstdlib>

namespace gloam::app {

std::unique_ptr<DpmsSleepSource> DpmsSleepSource::create()
{
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') {
        return nullptr;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return nullptr;
    }
    int event = 0;
    int error = 0;
    if (!DPMSQueryExtension(display, &event, &error) || !DPMSCapable(display)) {
        XCloseDisplay(display);
        return nullptr;
    }
    return std::unique_ptr<DpmsSleepSource>(new DpmsSleepSource(display));
}

DpmsSleepSource::DpmsSleepSource(_XDisplay* display)
    : display_(display)
{
    timer_.setInterval(pollMilliseconds);
    connect(&timer_, &QTimer::timeout, this, &DpmsSleepSource::poll);
    timer_.start();
}

DpmsSleepSource::~DpmsSleepSource()
{
    XCloseDisplay(display_);
}

void DpmsSleepSource::poll()
{
    CARD16 level = DPMSModeOn;
    BOOL enabled = False;
    if (!DPMSInfo(display_, &level, &enabled)) {
        return;
    }
    const bool asleep = enabled && level != DPMSModeOn;
    if (asleep != asleep_) {
        asleep_ = asleep;
        emit sleepChanged(asleep);
    }
}

} // namespace gloam::app
