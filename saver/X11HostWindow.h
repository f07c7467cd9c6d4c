#pragma once

#include <QRect>
#include <QSize>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

typedef struct _XDisplay Display;
class QSocketNotifier;

namespace gloam::saver {

// The X window a screen-saver host gives the saver to draw in, watched on a
// connection of its own: mapped and unmapped (the view attached to it or
// not), resized, destroyed. It also carries the claim of the process that
// draws in it, so that when a second saver process is started on the same
// window the older one learns at once that it has been replaced.
class X11HostWindow {
public:
    struct Error : std::runtime_error {
        using std::runtime_error::runtime_error;
    };

    // Throws Error (with a sentence for the user) when the display cannot
    // be opened or there is no such window on it.
    explicit X11HostWindow(unsigned long window);
    // The desktop, for -root: the virtual root window a desktop puts over
    // the real root (its "__SWM_VROOT" property names it) where there is
    // one, else the root window, as XScreenSaver's own display modes find it.
    static std::unique_ptr<X11HostWindow> desktop();
    ~X11HostWindow();
    X11HostWindow(const X11HostWindow&) = delete;
    X11HostWindow& operator=(const X11HostWindow&) = delete;

    unsigned long id() const { return window_; }
    bool isRoot() const;
    bool mapped() const { return mapped_; }
    QSize pixelSize() const { return size_; }
    // The window's place on the X screen, in pixels (asked of the server).
    QRect rootGeometry() const;

    // Marks the window as drawn by this process; any saver process that
    // claimed it before is told it was replaced.
    void claim();
    // Takes the mark off again if it is still this process's (a newer
    // process's mark stays), and waits until the server has done it.
    void releaseClaim();
    // The same, for a thread that must not touch this object or its
    // connection (the stop deadline's): it opens a connection of its own.
    std::function<void()> claimReleaser() const;

    // For a window drawn straight on the desktop: keeps `child` (a window
    // inside this one, not yet shown) out of the window manager's hands
    // and below every other window, as the desktop's own background is.
    void keepAsBackground(unsigned long child);

    std::function<void(bool mapped)> onMapChanged;
    std::function<void(QSize pixels)> onResized;
    // Moved within its parent (the monitor it is on may have changed).
    std::function<void()> onMoved;
    std::function<void()> onDestroyed;
    std::function<void()> onReplaced;

    // "0x1a00007" as XScreenSaver prints window ids.
    static std::string describe(unsigned long window);

private:
    X11HostWindow(Display* display, unsigned long window);
    void readEvents();
    void handleQueuedEvents() const;
    // The claim on the window now (process id and number), if any.
    std::optional<std::pair<long, long>> claimant();
    bool isOurs(const std::pair<long, long>& claim) const;

    Display* display_ = nullptr;
    unsigned long window_;
    unsigned long claimAtom_ = 0;
    unsigned long nonce_ = 0;
    bool claimed_ = false;
    bool mapped_ = false;
    bool destroyed_ = false;
    QSize size_;
    QPoint position_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace gloam::saver
