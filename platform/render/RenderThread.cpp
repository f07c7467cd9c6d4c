#include "platform/render/RenderThread.h"

#include "platform/gpu/GpuDevice.h"
#include "platform/render/RenderSurface.h"

#include <cstdio>
#include <ctime>
#include <exception>

namespace gloam::render {

namespace {

double processCpuMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

std::string describe(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "an unknown error";
    }
}

} // namespace

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

void RenderThread::setQualityTier(std::optional<QualityTier> tier)
{
    post([this, tier] {
        renderer_->setQualityTier(RenderQuality::choose(device_->rendererName(), tier));
        tier_ = renderer_->quality().tier;
    });
}

void RenderThread::report(const char* what, const std::exception_ptr& error, bool& reported)
{
    if (reported)
        return;
    reported = true;
    std::fprintf(stderr, "render: %s failed, going on: %s\n", what, describe(error).c_str());
}

void RenderThread::runCommand(std::function<void()>& command)
{
    try {
        command();
    } catch (...) {
        // A job posted through GpuDevice::perform hands its own error back;
        // anything else that escapes stops here.
        report("a render-thread command", std::current_exception(), reportedCommandFailure_);
    }
}

bool RenderThread::drawFrame(const FramePacket& packet, int width, int height)
{
    try {
        renderer_->render(packet, {surface_->framebuffer(), width, height, surface_->devicePixelRatio()});
        surface_->swapBuffers();
        return true;
    } catch (...) {
        report("drawing a frame", std::current_exception(), reportedFrameFailure_);
        return false;
    }
}

std::uint64_t RenderThread::presentedFrames() const
{
    std::lock_guard lock(mutex_);
    return presentedFrames_;
}

std::uint64_t RenderThread::wakeups() const
{
    std::lock_guard lock(mutex_);
    return wakeups_;
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
        tier_ = renderer_->quality().tier;
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
    // A size change seen by polling counts only while there is something
    // to show: a hidden window whose size changed must not wake the loop
    // over and over (the host asks for a redraw when it shows it again).
    auto resized = [&] {
        return last_ && surface_->isExposed() &&
               (surface_->pixelWidth() != lastWidth || surface_->pixelHeight() != lastHeight);
    };
    for (;;) {
        std::shared_ptr<const FramePacket> packet;
        std::deque<std::function<void()>> commands;
        {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(250),
                           [&] { return stopping_ || pending_ || redraw_ || !commands_.empty() || resized(); });
            ++wakeups_;
            if (stopping_)
                break;
            commands.swap(commands_);
            packet = std::move(pending_);
            pending_.reset();
            if (!packet && (redraw_ || resized()))
                packet = last_;
            redraw_ = false;
        }
        for (auto& command : commands)
            runCommand(command);
        try {
            device_->pollCompletions();
        } catch (...) {
            report("a completion handler", std::current_exception(), reportedCommandFailure_);
        }
        if (!packet)
            continue;
        // Kept, so that showing the window again draws it.
        last_ = packet;
        if (!surface_->isExposed()) {
            cpuAtLastFrame_ = -1.0; // the time in between is not a frame's cost
            continue;
        }
        lastWidth = surface_->pixelWidth();
        lastHeight = surface_->pixelHeight();
        if (lastWidth <= 0 || lastHeight <= 0)
            continue;
        const bool drawn = drawFrame(*packet, lastWidth, lastHeight);
        // What the frame cost the process (this thread, the main thread's
        // frame update, the software rasteriser's threads), since the last.
        const double cpu = processCpuMilliseconds();
        if (cpuAtLastFrame_ >= 0.0 && drawn) {
            lastFrameCost_ = cpu - cpuAtLastFrame_;
            renderer_->frameFinished(cpu - cpuAtLastFrame_);
            scale_ = renderer_->renderScale();
        }
        cpuAtLastFrame_ = cpu;
        std::function<void()> presented;
        {
            std::lock_guard lock(mutex_);
            if (drawn)
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
        runCommand(command);
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
