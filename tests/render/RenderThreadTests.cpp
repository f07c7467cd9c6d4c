// The render thread driven like a window drives it, on a headless surface:
// packets published by the main thread, one presented frame each, GPU work
// asked for from the main thread done on the render thread.
#include "platform/gpu/ComputePipeline.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuError.h"
#include "platform/gpu/ShaderLibrary.h"
#include "platform/render/PrimitiveMeshes.h"
#include "platform/render/RenderThread.h"
#include "platform/render/headless/HeadlessSurface.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace gloam;
using namespace gloam::render;

namespace {

struct Presented {
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
    std::thread::id thread;

    void mark()
    {
        std::lock_guard lock(mutex);
        ++count;
        thread = std::this_thread::get_id();
        changed.notify_all();
    }
    bool waitFor(int n)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(20), [&] { return count >= n; });
    }
};

std::shared_ptr<FramePacket> colouredFrame(glm::vec3 colour)
{
    auto packet = std::make_shared<FramePacket>();
    packet->camera.world = glm::inverse(glm::lookAt(glm::vec3(0, 0, 3), glm::vec3(0), glm::vec3(0, 1, 0)));
    DrawItem quad;
    quad.mesh = PrimitiveMeshes::box({10, 10, 0.01f});
    quad.material.model = MaterialValues::Model::unlit;
    quad.material.toneMapped = false;
    quad.material.baseColor = glm::vec4(colour, 1.0f);
    packet->draws.push_back(quad);
    return packet;
}

TEST(RenderThread, drawsEachPublishedPacketOnceOnItsOwnThread)
{
    auto surface = std::make_unique<HeadlessSurface>(32, 16);
    HeadlessSurface* view = surface.get();
    RenderThread thread(std::move(surface));
    Presented presented;
    thread.setPresentedHandler([&] { presented.mark(); });

    thread.publish(colouredFrame({1, 0, 0}));
    ASSERT_TRUE(presented.waitFor(1));
    EXPECT_NE(presented.thread, std::this_thread::get_id());
    auto frame = view->lastFrame();
    ASSERT_EQ(frame.size(), 32u * 16u * 4u);
    EXPECT_GT(frame[(8 * 32 + 16) * 4], 250); // red
    EXPECT_LT(frame[(8 * 32 + 16) * 4 + 1], 5);

    thread.publish(colouredFrame({0, 1, 0}));
    ASSERT_TRUE(presented.waitFor(2));
    frame = view->lastFrame();
    EXPECT_GT(frame[(8 * 32 + 16) * 4 + 1], 250); // green now

    // Nothing new published: nothing drawn.
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(thread.presentedFrames(), 2u);
}

TEST(RenderThread, theMainThreadGetsPipelinesMadeOnTheRenderThread)
{
    RenderThread thread(std::make_unique<HeadlessSurface>(8, 8));
    auto device = gpu::GpuDevice::systemDefault();
    EXPECT_EQ(device, thread.device());
    const auto library = gpu::ShaderLibrary::fromSource("Lib.glsl", "#pragma kernel fill\nvoid fill() {}\n");
    auto pipeline = device->makeComputePipeline(library, "fill");
    EXPECT_NE(pipeline->program(), 0u);
    try {
        device->makeComputePipeline(library, "missing");
        ADD_FAILURE() << "a missing kernel made a pipeline";
    } catch (const gpu::GpuError& error) {
        EXPECT_EQ(error.code(), gpu::GpuError::missingFunction);
    }
}

TEST(RenderThread, noDeviceOnceTheRenderThreadHasEnded)
{
    std::shared_ptr<gpu::GpuDevice> device;
    {
        RenderThread thread(std::make_unique<HeadlessSurface>(8, 8));
        device = thread.device();
    }
    EXPECT_THROW(gpu::GpuDevice::systemDefault(), gpu::GpuError);
    const auto library = gpu::ShaderLibrary::fromSource("Lib.glsl", "#pragma kernel fill\nvoid fill() {}\n");
    EXPECT_THROW(device->makeComputePipeline(library, "fill"), gpu::GpuError);
}

} // namespace

namespace {

// A headless surface that can be hidden and resized, as a window can.
class WindowLikeSurface : public HeadlessSurface {
public:
    WindowLikeSurface()
        : HeadlessSurface(32, 16)
    {}
    int pixelWidth() const override { return width.load(); }
    int pixelHeight() const override { return 16; }
    bool isExposed() const override { return exposed.load(); }

    std::atomic<int> width{32};
    std::atomic<bool> exposed{true};
};

TEST(RenderThread, aHiddenSurfaceDrawsNothingAndItsResizeDoesNotKeepTheThreadAwake)
{
    auto surface = std::make_unique<WindowLikeSurface>();
    WindowLikeSurface* window = surface.get();
    RenderThread thread(std::move(surface));
    Presented presented;
    thread.setPresentedHandler([&] { presented.mark(); });
    thread.publish(colouredFrame({1, 0, 0}));
    ASSERT_TRUE(presented.waitFor(1));

    window->exposed = false;
    window->width = 31; // resized while hidden
    thread.publish(colouredFrame({0, 1, 0}));
    const std::uint64_t before = thread.wakeups();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    // Woken by the packet, then only by its idle timer (four times a second).
    EXPECT_LE(thread.wakeups() - before, 5u);
    EXPECT_EQ(thread.presentedFrames(), 1u);

    // Shown again: the packet published meanwhile is drawn.
    window->exposed = true;
    thread.requestRedraw();
    ASSERT_TRUE(presented.waitFor(2));
    EXPECT_EQ(thread.presentedFrames(), 2u);
}

TEST(RenderThread, whatACommandOrTheDrawingThrowsDoesNotEndTheThread)
{
    auto surface = std::make_unique<HeadlessSurface>(32, 16);
    HeadlessSurface* view = surface.get();
    RenderThread thread(std::move(surface));
    Presented presented;
    thread.setPresentedHandler([&] { presented.mark(); });

    thread.post([] { throw std::runtime_error("a command failed"); });
    thread.setPostProcess([](const PostProcessContext&) { throw std::logic_error("the post-process failed"); });
    thread.publish(colouredFrame({0, 0, 1}));
    ASSERT_TRUE(presented.waitFor(1));
    auto frame = view->lastFrame();
    ASSERT_EQ(frame.size(), 32u * 16u * 4u);
    EXPECT_GT(frame[(8 * 32 + 16) * 4 + 2], 250); // blue: the plain frame

    // Still drawing, and GPU jobs from other threads still run.
    thread.publish(colouredFrame({1, 0, 0}));
    ASSERT_TRUE(presented.waitFor(2));
    bool ran = false;
    thread.device()->perform([&] { ran = true; });
    EXPECT_TRUE(ran);
}

} // namespace
