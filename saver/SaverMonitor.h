#pragma once

#include <QRect>

#include <optional>
#include <vector>

namespace gloam::saver {

// A monitor as Qt lists it, and the matching of a host's X window to one.
//
// On X11, Qt 6 keeps a monitor's origin in native pixels and divides only
// its size by the device-pixel ratio (Xft.dpi other than 96, or
// QT_SCALE_FACTOR): a 1920 x 1080 monitor at x = 1920 with a ratio of 1.25
// is listed as 1536 x 864 at x = 1920. X windows are placed in native
// pixels, so the match is made in native pixels; dividing a window's
// position by the ratio instead puts every monitor away from the origin
// out of reach.
struct SaverMonitor {
    // QScreen::geometry(): native origin, size in device-independent pixels.
    QRect geometry;
    double devicePixelRatio = 1.0;

    // The monitor's place on the X screen in native pixels.
    QRect nativeGeometry() const;

    // The monitor showing a window placed at `nativeWindow` (native pixels,
    // relative to the X screen's root): the one holding its centre, else
    // the one it overlaps most. None when it is on none of them.
    static std::optional<std::size_t> find(const QRect& nativeWindow, const std::vector<SaverMonitor>& monitors);
};

} // namespace gloam::saver
