#pragma once

#include <optional>

namespace gloam::render {

struct PixelSize {
    int width = 0;
    int height = 0;
};

// The size of a native X11 window in pixels, asked of the X server (Qt
// does not track the geometry of windows it did not make). None when the
// window or the display cannot be reached.
std::optional<PixelSize> foreignWindowSize(unsigned long windowId);

} // namespace gloam::render
