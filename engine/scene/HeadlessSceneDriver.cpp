#include "engine/scene/HeadlessSceneDriver.h"

#include "engine/scene/GhostView.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/render/FramePacketBuilder.h"
#include "platform/render/ImageFile.h"
#include "platform/render/OffscreenTarget.h"
#include "platform/render/Renderer.h"
#include "platform/render/headless/HeadlessContext.h"

#include <ctime>

namespace gloam {

namespace {

double processCpuMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

} // namespace

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
    // The frame's cost, as a window host measures it: the process's CPU
    // time for the update, the packet, the drawing and the GPU's work.
    const double start = processCpuMilliseconds();
    view.render().scene().update(step);
    time_ += step;
    packet_ = std::make_shared<render::FramePacket>(builder_->build(view.render(), time_));
    draw();
    renderer_->frameFinished(processCpuMilliseconds() - start);
}

void HeadlessSceneDriver::redraw()
{
    if (packet_)
        draw();
}

void HeadlessSceneDriver::draw()
{
    renderer_->render(*packet_, {target_->framebuffer(), width_, height_, 1.0F});
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
