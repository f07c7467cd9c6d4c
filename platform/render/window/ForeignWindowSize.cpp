#include "platform/render/window/ForeignWindowSize.h"

#include <X11/Xlib.h>

namespace gloam::render {

namespace {
int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}
} // namespace

std::optional<PixelSize> foreignWindowSize(unsigned long windowId)
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return std::nullopt;
    auto previous = XSetErrorHandler(ignoreErrors);
    XWindowAttributes attributes{};
    const bool found = XGetWindowAttributes(display, windowId, &attributes) != 0;
    XSetErrorHandler(previous);
    XCloseDisplay(display);
    if (!found)
        return std::nullopt;
    return PixelSize{attributes.width, attributes.height};
}

} // namespace gloam::render
