#include "engine/scene/HeadlessSceneDriver.h"

#include "engine/scene/GhostView.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/render/FramePacketBuilder.h"
#include "platform/render/ImageFile.h"
#include "platform/render/OffscreenTarget.h"
#include "platform/render/Renderer.h"
#include "platform/render/headless/HeadlessContext.h"

namespace gloam {

HeadlessSceneDriver::HeadlessSceneDriver(int width, int height)
    : width_(std::max(width, 1))
    , height_(std::max(height, 1))
    , context_(std::make_unique<render::HeadlessContext>())
    , device_(gpu::GpuDevice::create())
    , renderer_(std::make_unique<render::Renderer>(device_))
    , target_(std::make_unique<render::OffscreenTarget>(width_, height_))
    , builder_(std::make_unique<render::FramePacketBuilder>())
{
    gpu::GpuDevice::setSystemDefault(device_);
}

HeadlessSceneDriver::~HeadlessSceneDriver()
{
    device_->waitUntilIdle();
    device_->pollCompletions();
    builder_.reset();
    target_.reset();
    renderer_.reset();
    gpu::GpuDevice::setSystemDefault(nullptr);
    device_->shutdown();
}

void HeadlessSceneDriver::present(GhostView& view, double step)
{
    view.render().scene().update(step);
    time_ += step;
    const render::FramePacket packet = builder_->build(view.render(), time_);
    renderer_->render(packet, {target_->framebuffer(), width_, height_, 1.0F});
    device_->waitUntilIdle();
    device_->pollCompletions();
}

std::vector<std::uint8_t> HeadlessSceneDriver::readPixels() const
{
    return target_->readPixels();
}

void HeadlessSceneDriver::writePng(const std::filesystem::path& file) const
{
    render::ImageFile::writePng(file.string(), width_, height_, target_->readPixels());
}

} // namespace gloam
