#include "platform/render/RenderThread.h"

#include "platform/gpu/GpuDevice.h"
#include "platform/render/RenderSurface.h"

#include <cstdio>
#include <exception>

namespace gloam::render {

RenderThread::RenderThread(std::unique_ptr<RenderSurface> surface)
    : surface_(std::move(surface))
{
    std::promise<void> started;
    auto ready = started.get_future();
    thread_ = std::thread([this, &started] { run(started); });
    try {
        ready.get();
    } catch (...) {
        thread_.join();
        throw;
    }
}

RenderThread::~RenderThread()
{
    {
        std::lock_guard lock(gate_->mutex);
        gate_->owner = nullptr;
    }
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void RenderThread::publish(std::shared_ptr<const FramePacket> packet)
{
    {
        std::lock_guard lock(mutex_);
        pending_ = std::move(packet);
    }
    wake_.notify_all();
}

bool RenderThread::post(std::function<void()> command)
{
    {
        std::lock_guard lock(mutex_);
        if (stopping_)
            return false;
        commands_.push_back(std::move(command));
    }
    wake_.notify_all();
    return true;
}

void RenderThread::requestRedraw()
{
    {
        std::lock_guard lock(mutex_);
        redraw_ = true;
    }
    wake_.notify_all();
}

void RenderThread::setPresentedHandler(std::function<void()> handler)
{
    std::lock_guard lock(mutex_);
    presented_ = std::move(handler);
}

void RenderThread::setPostProcess(Renderer::PostProcess callback)
{
    post([this, callback = std::move(callback)]() mutable { renderer_->setPostProcess(std::move(callback)); });
}

std::uint64_t RenderThread::presentedFrames() const
{
    std::lock_guard lock(mutex_);
    return presentedFrames_;
}

void RenderThread::run(std::promise<void>& started)
{
    try {
        surface_->makeCurrent();
        gate_->owner = this;
        device_ = gpu::GpuDevice::create([gate = gate_](std::function<void()> job) {
            std::lock_guard lock(gate->mutex);
            return gate->owner != nullptr && gate->owner->post(std::move(job));
        });
        renderer_ = std::make_unique<Renderer>(device_);
        gpu::GpuDevice::setSystemDefault(device_);
    } catch (...) {
        renderer_.reset();
        device_.reset();
        surface_->doneCurrent();
        started.set_exception(std::current_exception());
        return;
    }
    started.set_value();

    int lastWidth = 0, lastHeight = 0;
    for (;;) {
        std::shared_ptr<const FramePacket> packet;
        std::deque<std::function<void()>> commands;
        {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(100), [&] {
                return stopping_ || pending_ || redraw_ || !commands_.empty() ||
                       (last_ && (surface_->pixelWidth() != lastWidth || surface_->pixelHeight() != lastHeight));
            });
            if (stopping_)
                break;
            commands.swap(commands_);
            packet = std::move(pending_);
            pending_.reset();
            if (!packet && (redraw_ || surface_->pixelWidth() != lastWidth || surface_->pixelHeight() != lastHeight)) {
                packet = last_;
            }
            redraw_ = false;
        }
        for (auto& command : commands)
            command();
        device_->pollCompletions();
        if (!packet || !surface_->isExposed())
            continue;
        last_ = packet;
        lastWidth = surface_->pixelWidth();
        lastHeight = surface_->pixelHeight();
        if (lastWidth <= 0 || lastHeight <= 0)
            continue;
        renderer_->render(*packet, {surface_->framebuffer(), lastWidth, lastHeight, surface_->devicePixelRatio()});
        surface_->swapBuffers();
        std::function<void()> presented;
        {
            std::lock_guard lock(mutex_);
            ++presentedFrames_;
            presented = presented_;
        }
        if (presented)
            presented();
    }

    // Jobs still queued run now, so nobody waits for them forever.
    std::deque<std::function<void()>> leftovers;
    {
        std::lock_guard lock(mutex_);
        leftovers.swap(commands_);
    }
    for (auto& command : leftovers)
        command();
    device_->waitUntilIdle();
    renderer_.reset();
    last_.reset();
    pending_.reset();
    gpu::GpuDevice::setSystemDefault(nullptr);
    device_->shutdown();
    device_.reset();
    surface_->doneCurrent();
}

} // namespace gloam::render
