#include "app/DpmsSleepSource.h"

#include <QGuiApplication>

// After Qt: Xlib's macros (Bool, None, Status) would clash with its names.
#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

#include <cstdlib>

namespace gloam::app {

namespace {

std::string_view environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::string_view(value) : std::string_view();
}

} // namespace

bool DpmsSleepSource::x11Session(std::string_view qtPlatform, std::string_view waylandDisplay,
                                 std::string_view sessionType)
{
    return qtPlatform == "xcb" && waylandDisplay.empty() && sessionType != "wayland";
}

std::unique_ptr<DpmsSleepSource> DpmsSleepSource::create()
{
    const QByteArray platform = QGuiApplication::platformName().toUtf8();
    if (!x11Session(std::string_view(platform.constData(), static_cast<std::size_t>(platform.size())),
                    environment("WAYLAND_DISPLAY"), environment("XDG_SESSION_TYPE")) ||
        environment("DISPLAY").empty()) {
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
