#include "saver/X11ErrorTrap.h"

#include <X11/Xlib.h>

namespace gloam::saver {

namespace {

// Xlib's error handler is process-wide and the traps are main-thread only.
int trapped = 0;
XErrorHandler previous = nullptr;

int recordError(Display*, XErrorEvent*)
{
    ++trapped;
    return 0;
}

} // namespace

X11ErrorTrap::X11ErrorTrap(Display* display)
    : display_(display)
{
    XSync(display_, False);
    trapped = 0;
    previous = XSetErrorHandler(recordError);
}

X11ErrorTrap::~X11ErrorTrap()
{
    XSync(display_, False);
    XSetErrorHandler(previous);
    previous = nullptr;
}

bool X11ErrorTrap::failed()
{
    XSync(display_, False);
    return trapped > 0;
}

} // namespace gloam::saver
