#pragma once

#include "platform/render/RenderSurface.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace gloam::render {

class HeadlessContext;
class OffscreenTarget;

// A render surface without a display: an EGL surfaceless context and an
// off-screen target of a fixed size. "Swapping" copies the frame into
// memory, where `lastFrame()` finds it. For tests and tools that drive the
// render thread the way a window does.
class HeadlessSurface : public RenderSurface {
public:
    HeadlessSurface(int width, int height);
    ~HeadlessSurface() override;

    void makeCurrent() override;
    void doneCurrent() override;
    void swapBuffers() override;
    unsigned framebuffer() const override;
    int pixelWidth() const override { return width_; }
    int pixelHeight() const override { return height_; }
    float devicePixelRatio() const override { return 1.0f; }
    bool isExposed() const override { return true; }

    // RGBA, top row first, of the last frame swapped; any thread.
    std::vector<std::uint8_t> lastFrame() const;

private:
    int width_;
    int height_;
    std::unique_ptr<HeadlessContext> context_;
    std::unique_ptr<OffscreenTarget> target_;
    mutable std::mutex mutex_;
    std::vector<std::uint8_t> frame_;
};

} // namespace gloam::render
