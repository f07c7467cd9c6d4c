#pragma once

typedef struct _XDisplay Display;

namespace gloam::saver {

// Catches the X protocol errors of the requests made while it lives (a
// window that vanished, a bad id) instead of letting Xlib end the process,
// and puts the previous handler back afterwards. The requests' errors are
// collected with an XSync before it ends or when `failed` is asked.
// Main thread only; traps do not nest.
class X11ErrorTrap {
public:
    explicit X11ErrorTrap(Display* display);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    bool failed();

private:
    Display* display_;
};

} // namespace gloam::saver
