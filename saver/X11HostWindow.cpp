#include "saver/X11HostWindow.h"

#include "saver/X11ErrorTrap.h"

#include <QSocketNotifier>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <unistd.h>

#include <cstdio>
#include <random>

namespace gloam::saver {

namespace {

constexpr const char* claimProperty = "_GLOAMYARD_SAVER_CLAIM";

} // namespace

std::string X11HostWindow::describe(unsigned long window)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", window);
    return text;
}

X11HostWindow::X11HostWindow(unsigned long window)
    : window_(window)
{
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) {
        throw Error("cannot open the X display");
    }
    XWindowAttributes attributes{};
    bool found = false;
    {
        X11ErrorTrap trap(display_);
        found = XGetWindowAttributes(display_, window_, &attributes) != 0 && !trap.failed();
        if (found) {
            XSelectInput(display_, window_, StructureNotifyMask | PropertyChangeMask);
            found = !trap.failed();
        }
    }
    if (!found) {
        const std::string name = DisplayString(display_);
        XCloseDisplay(display_);
        display_ = nullptr;
        throw Error("there is no window " + describe(window) + " on the X display " + name);
    }
    mapped_ = attributes.map_state != IsUnmapped;
    size_ = QSize(attributes.width, attributes.height);
    claimAtom_ = XInternAtom(display_, claimProperty, False);
    // 31 bits: property values of format 32 travel as 32-bit numbers.
    std::random_device random;
    nonce_ = (static_cast<unsigned long>(random()) & 0x7FFFFFFFUL) | 1UL;

    notifier_ = std::make_unique<QSocketNotifier>(ConnectionNumber(display_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { readEvents(); });
    XFlush(display_);
    handleQueuedEvents();
}

X11HostWindow::~X11HostWindow()
{
    notifier_.reset();
    if (display_ != nullptr) {
        if (claimed_ && !destroyed_) {
            X11ErrorTrap trap(display_);
            if (claimedByUs()) {
                XDeleteProperty(display_, window_, claimAtom_);
            }
        }
        XCloseDisplay(display_);
    }
}

bool X11HostWindow::isRoot() const
{
    return display_ != nullptr && window_ == DefaultRootWindow(display_);
}

QRect X11HostWindow::rootGeometry() const
{
    if (display_ == nullptr || destroyed_) {
        return {};
    }
    int x = 0;
    int y = 0;
    bool found = false;
    {
        X11ErrorTrap trap(display_);
        Window child = 0;
        found = XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), 0, 0, &x, &y, &child) &&
                !trap.failed();
    }
    handleQueuedEvents();
    return found ? QRect(x, y, size_.width(), size_.height()) : QRect(QPoint(0, 0), size_);
}

void X11HostWindow::handleQueuedEvents() const
{
    // A round trip may have read events off the connection into Xlib's
    // queue, where the socket notifier would not see them.
    if (display_ != nullptr && XEventsQueued(display_, QueuedAlready) > 0) {
        auto* self = const_cast<X11HostWindow*>(this);
        QMetaObject::invokeMethod(
            notifier_.get(), [self] { self->readEvents(); }, Qt::QueuedConnection);
    }
}

void X11HostWindow::claim()
{
    if (display_ == nullptr || destroyed_) {
        return;
    }
    // Two values: this process and a number of its own, so that a process
    // of the same id on another machine of the display cannot be mistaken.
    const long value[2] = {static_cast<long>(::getpid()), static_cast<long>(nonce_)};
    {
        X11ErrorTrap trap(display_);
        XChangeProperty(display_, window_, claimAtom_, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(value), 2);
        claimed_ = !trap.failed();
    }
    handleQueuedEvents();
}

bool X11HostWindow::claimedByUs()
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    bool ours = false;
    if (XGetWindowProperty(display_, window_, claimAtom_, 0, 2, False, XA_CARDINAL, &type, &format, &count, &remaining,
                           &data) == Success &&
        type == XA_CARDINAL && format == 32 && count == 2 && data != nullptr) {
        const auto* values = reinterpret_cast<const long*>(data);
        ours = values[0] == static_cast<long>(::getpid()) && values[1] == static_cast<long>(nonce_);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return ours;
}

void X11HostWindow::readEvents()
{
    while (display_ != nullptr && XPending(display_) > 0) {
        XEvent event{};
        XNextEvent(display_, &event);
        if (event.xany.window != window_) {
            continue;
        }
        switch (event.type) {
        case MapNotify:
            if (!mapped_) {
                mapped_ = true;
                if (onMapChanged)
                    onMapChanged(true);
            }
            break;
        case UnmapNotify:
            if (mapped_) {
                mapped_ = false;
                if (onMapChanged)
                    onMapChanged(false);
            }
            break;
        case ConfigureNotify: {
            const QSize now(event.xconfigure.width, event.xconfigure.height);
            if (now != size_) {
                size_ = now;
                if (onResized)
                    onResized(size_);
            }
            break;
        }
        case DestroyNotify:
            destroyed_ = true;
            mapped_ = false;
            if (onDestroyed)
                onDestroyed();
            return;
        case PropertyNotify:
            if (claimed_ && event.xproperty.atom == claimAtom_ && event.xproperty.state == PropertyNewValue) {
                X11ErrorTrap trap(display_);
                if (!claimedByUs()) {
                    claimed_ = false;
                    if (onReplaced)
                        onReplaced();
                }
            }
            break;
        default:
            break;
        }
    }
}

} // namespace gloam::saver
