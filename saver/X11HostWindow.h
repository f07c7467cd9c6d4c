#pragma once

#include <QRect>
#include <QSize>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

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

    std::function<void(bool mapped)> onMapChanged;
    std::function<void(QSize pixels)> onResized;
    std::function<void()> onDestroyed;
    std::function<void()> onReplaced;

    // "0x1a00007" as XScreenSaver prints window ids.
    static std::string describe(unsigned long window);

private:
    void readEvents();
    void handleQueuedEvents() const;
    bool claimedByUs();

    Display* display_ = nullptr;
    unsigned long window_;
    unsigned long claimAtom_ = 0;
    unsigned long nonce_ = 0;
    bool claimed_ = false;
    bool mapped_ = false;
    bool destroyed_ = false;
    QSize size_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace gloam::saver
