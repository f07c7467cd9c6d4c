#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace gloam::gpu {

class CommandBuffer;
class ComputePipeline;
class GlProgram;
class GpuTexture;
class ShaderLibrary;
struct TextureDescriptor;

// The GPU as the rest of the program sees it: one OpenGL 4.5 core context
// (with compute shaders) that lives on one thread, the "context thread"
// (the render thread, or the test's own thread when headless).
//
// Every GL call happens on the context thread. Calls from other threads
// that must touch GL (making a pipeline, uploading a texture) are handed to
// the context thread through the host's job queue and waited for; objects
// released on another thread hand their GL names back the same way.
//
// Command buffers end with a fence; `pollCompletions()` (called by the
// renderer once per frame, and by tests) runs the completion handlers of
// every command buffer whose fence has signalled, on the context thread.
class GpuDevice : public std::enable_shared_from_this<GpuDevice> {
public:
    // Runs a job on the context thread some time later; false when the
    // context thread no longer takes work (it is shutting down).
    using JobQueue = std::function<bool(std::function<void()>)>;

    // Made on the thread whose context is current. Throws GpuError
    // ("HalloweenMetal" 1) when no OpenGL 4.5 context with compute shaders
    // is current. Without a job queue, only the context thread may use it.
    static std::shared_ptr<GpuDevice> create(JobQueue queue = {});

    // The device of the running renderer, registered by the host that owns
    // the context. Throws GpuError ("HalloweenMetal" 1) when there is none.
    static std::shared_ptr<GpuDevice> systemDefault();
    static void setSystemDefault(const std::shared_ptr<GpuDevice>& device);

    ~GpuDevice();
    GpuDevice(const GpuDevice&) = delete;
    GpuDevice& operator=(const GpuDevice&) = delete;

    bool onContextThread() const;

    // Runs `job` on the context thread and waits for it; exceptions travel
    // back to the caller. Runs it directly when already there.
    void perform(const std::function<void()>& job);
    // Runs `job` on the context thread, now if already there, else later.
    void performLater(std::function<void()> job);

    // A compute pipeline for the kernel `name` of `library`. Throws
    // GpuError "HalloweenMetal" 2 when the library has no such kernel and
    // "GloamShaderLibrary" 2 when it does not compile.
    std::shared_ptr<ComputePipeline> makeComputePipeline(const ShaderLibrary& library, const std::string& name);
    std::shared_ptr<GpuTexture> makeTexture(const TextureDescriptor& descriptor);

    // Context thread only.
    std::shared_ptr<CommandBuffer> makeCommandBuffer();
    void pollCompletions();
    void waitUntilIdle();

    // A program built once per device and kept (the blur's passes and the
    // renderer's own programs). Context thread only.
    const GlProgram& cachedProgram(const std::string& key, const std::function<GlProgram()>& build);

    // Binds `size` bytes as uniform block `index` (std140) for the next
    // dispatch or draw. Context thread only.
    void bindUniformBytes(unsigned index, const void* bytes, size_t size);

    std::string rendererName() const { return rendererName_; }

    // The context is about to go: releases the device's GL objects now (on
    // the context thread) and takes no GL work afterwards.
    void shutdown();

private:
    friend class CommandBuffer;
    explicit GpuDevice(JobQueue queue);
    void track(std::shared_ptr<CommandBuffer> buffer);

    JobQueue queue_;
    mutable std::mutex threadMutex_;
    std::thread::id contextThread_;
    std::vector<std::shared_ptr<CommandBuffer>> inFlight_;
    std::map<std::string, std::unique_ptr<GlProgram>> programs_;
    std::vector<unsigned> uniformBuffers_;
    std::string rendererName_;
    bool shutDown_ = false;
};

} // namespace gloam::gpu
