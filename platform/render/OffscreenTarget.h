#pragma once

#include <cstdint>
#include <vector>

namespace gloam::render {

// An 8-bit RGBA framebuffer to present into without a window (headless
// renders, tests, the render tool), with read-back. Context thread only.
class OffscreenTarget {
public:
    // Throws std::runtime_error when the framebuffer is not complete (a
    // size the GL cannot make, for one).
    OffscreenTarget(int width, int height);
    ~OffscreenTarget();
    OffscreenTarget(const OffscreenTarget&) = delete;
    OffscreenTarget& operator=(const OffscreenTarget&) = delete;

    unsigned framebuffer() const noexcept { return framebuffer_; }
    int width() const noexcept { return width_; }
    int height() const noexcept { return height_; }

    // RGBA bytes, top row first (as pictures are stored).
    std::vector<std::uint8_t> readPixels() const;

private:
    int width_;
    int height_;
    unsigned framebuffer_ = 0;
    unsigned color_ = 0;
};

} // namespace gloam::render
