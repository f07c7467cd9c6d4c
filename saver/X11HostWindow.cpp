#include "saver/X11HostWindow.h"

#include "saver/X11ErrorTrap.h"

#include <QSocketNotifier>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

namespace {

Display* openDisplay()
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        const char* name = XDisplayName(nullptr);
        throw X11HostWindow::Error(std::string("cannot open the X display ") + (name != nullptr ? name : ""));
    }
    return display;
}

// The window a child of the root names in its "__SWM_VROOT" property, or
// none.
Window virtualRoot(Display* display)
{
    const Window root = DefaultRootWindow(display);
    const Atom vroot = XInternAtom(display, "__SWM_VROOT", True);
    if (vroot == None) {
        return None;
    }
    Window found = None;
    X11ErrorTrap trap(display);
    Window rootReturn = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, root, &rootReturn, &parent, &children, &count) == 0) {
        return None;
    }
    for (unsigned int index = 0; index < count && found == None; ++index) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, children[index], vroot, 0, 1, False, XA_WINDOW, &type, &format, &items,
                               &remaining, &data) == Success &&
            type == XA_WINDOW && format == 32 && items == 1 && data != nullptr) {
            found = static_cast<Window>(reinterpret_cast<const long*>(data)[0]);
        }
        if (data != nullptr) {
            XFree(data);
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

} // namespace

X11HostWindow::X11HostWindow(unsigned long window)
    : X11HostWindow(openDisplay(), window)
{}

std::unique_ptr<X11HostWindow> X11HostWindow::desktop()
{
    Display* display = openDisplay();
    const Window found = virtualRoot(display);
    return std::unique_ptr<X11HostWindow>(
        new X11HostWindow(display, found != None ? found : DefaultRootWindow(display)));
}

X11HostWindow::X11HostWindow(Display* display, unsigned long window)
    : display_(display)
    , window_(window)
{
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
        throw Error("there is no window " + describe(window_) + " on the X display " + name);
    }
    mapped_ = attributes.map_state != IsUnmapped;
    size_ = QSize(attributes.width, attributes.height);
    position_ = QPoint(attributes.x, attributes.y);
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
        releaseClaim();
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

void X11HostWindow::releaseClaim()
{
    if (display_ == nullptr || destroyed_ || !claimed_) {
        return;
    }
    claimed_ = false;
    X11ErrorTrap trap(display_);
    const auto owner = claimant();
    if (owner && isOurs(*owner)) {
        XDeleteProperty(display_, window_, claimAtom_);
    }
}

std::function<void()> X11HostWindow::claimReleaser() const
{
    if (display_ == nullptr) {
        return {};
    }
    // xcb, not Xlib: its errors come back as values, and a connection of
    // its own shares nothing with the main thread's.
    return [name = std::string(DisplayString(display_)), window = window_, pid = static_cast<std::uint32_t>(::getpid()),
            nonce = static_cast<std::uint32_t>(nonce_)] {
        xcb_connection_t* connection = xcb_connect(name.c_str(), nullptr);
        if (xcb_connection_has_error(connection) == 0) {
            const xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
                connection, xcb_intern_atom(connection, 1, std::strlen(claimProperty), claimProperty), nullptr);
            if (atom != nullptr && atom->atom != XCB_ATOM_NONE) {
                xcb_get_property_reply_t* claim =
                    xcb_get_property_reply(connection,
                                           xcb_get_property(connection, 0, static_cast<xcb_window_t>(window),
                                                            atom->atom, XCB_ATOM_CARDINAL, 0, 2),
                                           nullptr);
                if (claim != nullptr && claim->format == 32 && xcb_get_property_value_length(claim) == 8) {
                    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(claim));
                    if (values[0] == pid && values[1] == nonce) {
                        xcb_request_check(connection, xcb_delete_property_checked(
                                                          connection, static_cast<xcb_window_t>(window), atom->atom));
                    }
                }
                std::free(claim);
            }
            std::free(const_cast<xcb_intern_atom_reply_t*>(atom));
        }
        xcb_disconnect(connection);
    };
}

void X11HostWindow::keepAsBackground(unsigned long child)
{
    if (display_ == nullptr) {
        return;
    }
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    X11ErrorTrap trap(display_);
    XChangeWindowAttributes(display_, child, CWOverrideRedirect, &attributes);
    XLowerWindow(display_, child);
    // The trap's sync also makes sure the server has both before the
    // toolkit maps the window on its own connection.
}

std::optional<std::pair<long, long>> X11HostWindow::claimant()
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::optional<std::pair<long, long>> found;
    if (XGetWindowProperty(display_, window_, claimAtom_, 0, 2, False, XA_CARDINAL, &type, &format, &count, &remaining,
                           &data) == Success &&
        type == XA_CARDINAL && format == 32 && count == 2 && data != nullptr) {
        const auto* values = reinterpret_cast<const long*>(data);
        found = std::pair(values[0], values[1]);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return found;
}

bool X11HostWindow::isOurs(const std::pair<long, long>& claim) const
{
    return claim.first == static_cast<long>(::getpid()) && claim.second == static_cast<long>(nonce_);
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
            const QPoint place(event.xconfigure.x, event.xconfigure.y);
            const bool moved = place != position_;
            position_ = place;
            if (now != size_) {
                size_ = now;
                if (onResized)
                    onResized(size_);
            }
            if (moved && onMoved)
                onMoved();
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
                // Only another process's claim counts: a window that is
                // going away cannot be read and has not been taken over.
                X11ErrorTrap trap(display_);
                const auto owner = claimant();
                if (!trap.failed() && owner && !isOurs(*owner)) {
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
