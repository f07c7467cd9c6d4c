#include "platform/render/headless/HeadlessSurface.h"

#include "platform/render/OffscreenTarget.h"
#include "platform/render/headless/HeadlessContext.h"

namespace gloam::render {

HeadlessSurface::HeadlessSurface(int width, int height)
    : width_(width)
    , height_(height)
    , context_(std::make_unique<HeadlessContext>())
{
    // The render thread takes the context.
    context_->release();
}

HeadlessSurface::~HeadlessSurface() = default;

void HeadlessSurface::makeCurrent()
{
    context_->makeCurrent();
    if (!target_)
        target_ = std::make_unique<OffscreenTarget>(width_, height_);
}

void HeadlessSurface::doneCurrent()
{
    target_.reset();
    context_->release();
}

void HeadlessSurface::swapBuffers()
{
    auto pixels = target_->readPixels();
    std::lock_guard lock(mutex_);
    frame_ = std::move(pixels);
}

unsigned HeadlessSurface::framebuffer() const
{
    return target_ ? target_->framebuffer() : 0;
}

std::vector<std::uint8_t> HeadlessSurface::lastFrame() const
{
    std::lock_guard lock(mutex_);
    return frame_;
}

} // namespace gloam::render
