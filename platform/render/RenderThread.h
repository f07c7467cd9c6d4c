#pragma once

#include "platform/render/FramePacket.h"
#include "platform/render/Renderer.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <optional>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <future>
#include <thread>

namespace gloam::gpu {
class GpuDevice;
}

namespace gloam::render {

class RenderSurface;

// The thread that owns the GL context: it draws the latest frame packet the
// main thread published, presents it, and says so (`onPresented`, called
// on the render thread; the host hands it to the main thread, which runs
// the next frame update and publishes the next packet). Commands (GPU jobs
// from other threads, uploads) run between frames in the order posted.
//
// It draws a packet once: nothing new published, nothing drawn, unless the
// surface changed size (then the last packet is drawn again). While the
// surface is not exposed it draws nothing and sleeps until woken.
//
// Nothing thrown by a command, the renderer or the post-process ends the
// thread: it is reported once on standard error and the thread goes on
// (a frame that failed is not shown, and the host still hears of it so
// that the frame loop keeps running).
//
// After each presented frame the renderer hears what the frame cost (the
// process's CPU time since the previous one), which its dynamic
// resolution follows; hosts read it to pace frames (`lastFrameCost`).
class RenderThread {
public:
    // Starts the thread, takes the surface's context there and makes the
    // device and renderer. Throws what making them threw.
    explicit RenderThread(std::unique_ptr<RenderSurface> surface);
    // Stops the thread after its current frame, releasing GL objects there.
    ~RenderThread();
    RenderThread(const RenderThread&) = delete;
    RenderThread& operator=(const RenderThread&) = delete;

    void publish(std::shared_ptr<const FramePacket> packet);
    // Runs on the render thread before the next frame.
    bool post(std::function<void()> command);
    // Redraws the last packet (after a resize or expose).
    void requestRedraw();

    void setPresentedHandler(std::function<void()> handler);
    void setPostProcess(Renderer::PostProcess callback);
    // None: chosen from the GL renderer (and GLOAMYARD_QUALITY).
    void setQualityTier(std::optional<QualityTier> tier);

    // Any thread. Known once the thread has started.
    QualityTier qualityTier() const { return tier_.load(); }
    double minimumFrameInterval() const { return RenderQuality::of(tier_.load()).minimumFrameInterval; }
    // The last frame's cost in milliseconds of process CPU time.
    double lastFrameCost() const { return lastFrameCost_.load(); }
    float renderScale() const { return scale_.load(); }

    const std::shared_ptr<gpu::GpuDevice>& device() const { return device_; }
    std::uint64_t presentedFrames() const;
    // How often the thread has woken up (for work, or to look at the
    // surface's size): a thread with nothing to do barely wakes.
    std::uint64_t wakeups() const;

private:
    void run(std::promise<void>& started);
    void runCommand(std::function<void()>& command);
    bool drawFrame(const FramePacket& packet, int width, int height);
    void report(const char* what, const std::exception_ptr& error, bool& reported);

    // Lets the device's job queue outlive this object safely.
    struct Gate {
        std::mutex mutex;
        RenderThread* owner = nullptr;
    };
    std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();

    std::unique_ptr<RenderSurface> surface_;
    std::shared_ptr<gpu::GpuDevice> device_;
    std::unique_ptr<Renderer> renderer_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::shared_ptr<const FramePacket> pending_;
    std::shared_ptr<const FramePacket> last_;
    std::deque<std::function<void()>> commands_;
    std::function<void()> presented_;
    bool redraw_ = false;
    bool stopping_ = false;
    std::uint64_t presentedFrames_ = 0;
    std::uint64_t wakeups_ = 0;
    std::atomic<QualityTier> tier_{QualityTier::full};
    std::atomic<double> lastFrameCost_{0.0};
    std::atomic<float> scale_{1.0f};
    double cpuAtLastFrame_ = -1.0;
    bool reportedCommandFailure_ = false;
    bool reportedFrameFailure_ = false;
    std::thread thread_;
};

} // namespace gloam::render
