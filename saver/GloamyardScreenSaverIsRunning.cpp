#include "saver/GloamyardScreenSaverIsRunning.h"

#include "saver/XScreenSaverStatus.h"

#include <X11/Xlib.h>

#include <mutex>

namespace gloam::saver {

namespace {

// One connection for the query, opened on the first call and kept: the
// query runs once a second while a scene is shown.
struct StatusConnection {
    std::mutex mutex;
    Display* display = nullptr;
};

StatusConnection& connection()
{
    static StatusConnection shared;
    static std::once_flag opened;
    std::call_once(opened, [] { shared.display = XOpenDisplay(nullptr); });
    return shared;
}

} // namespace

std::optional<bool> screenSaverStatus()
{
    StatusConnection& shared = connection();
    std::lock_guard lock(shared.mutex);
    if (shared.display == nullptr) {
        return std::nullopt;
    }
    return XScreenSaverStatus::read(shared.display);
}

} // namespace gloam::saver

extern "C" int GloamyardScreenSaverIsRunning()
{
    return gloam::saver::screenSaverStatus().value_or(false) ? 1 : 0;
}
