#pragma once

#include "platform/render/FramePacket.h"
#include "platform/render/Renderer.h"

#include <condition_variable>
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
// surface changed size (then the last packet is drawn again).
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

    const std::shared_ptr<gpu::GpuDevice>& device() const { return device_; }
    std::uint64_t presentedFrames() const;

private:
    void run(std::promise<void>& started);

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
    std::thread thread_;
};

} // namespace gloam::render
