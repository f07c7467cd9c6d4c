#include "platform/gpu/GpuDevice.h"

#include "platform/gpu/CommandBuffer.h"
#include "platform/gpu/ComputePipeline.h"
#include "platform/gpu/GlProgram.h"
#include "platform/gpu/GpuError.h"
#include "platform/gpu/GpuTexture.h"
#include "platform/gpu/ShaderLibrary.h"

#include <epoxy/gl.h>

#include <exception>
#include <future>

namespace gloam::gpu {

namespace {

std::mutex& defaultMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::weak_ptr<GpuDevice>& defaultDevice()
{
    static std::weak_ptr<GpuDevice> device;
    return device;
}

} // namespace

GpuDevice::GpuDevice(JobQueue queue)
    : queue_(std::move(queue))
    , contextThread_(std::this_thread::get_id())
{}

std::shared_ptr<GpuDevice> GpuDevice::create(JobQueue queue)
{
    // epoxy answers 0 when no context is current on this thread.
    if (epoxy_gl_version() < 45 || epoxy_is_desktop_gl() == 0) {
        throw GpuError(GpuError::deviceDomain, GpuError::noDevice, "No OpenGL 4.5 device is available on this thread.");
    }
    auto device = std::shared_ptr<GpuDevice>(new GpuDevice(std::move(queue)));
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    device->rendererName_ = renderer ? renderer : "unknown";
    return device;
}

std::shared_ptr<GpuDevice> GpuDevice::systemDefault()
{
    std::lock_guard lock(defaultMutex());
    auto device = defaultDevice().lock();
    if (!device) {
        throw GpuError(GpuError::deviceDomain, GpuError::noDevice, "No GPU device is running.");
    }
    return device;
}

void GpuDevice::setSystemDefault(const std::shared_ptr<GpuDevice>& device)
{
    std::lock_guard lock(defaultMutex());
    defaultDevice() = device;
}

GpuDevice::~GpuDevice()
{
    // Without shutdown(), destroyed with the context current on its thread.
    if (!shutDown_)
        shutdown();
}

void GpuDevice::shutdown()
{
    if (shutDown_)
        return;
    // Work still in flight never completes; its fences go with the context.
    for (auto& buffer : inFlight_)
        buffer->releaseFence();
    inFlight_.clear();
    programs_.clear();
    if (!uniformBuffers_.empty()) {
        glDeleteBuffers(static_cast<GLsizei>(uniformBuffers_.size()), uniformBuffers_.data());
        uniformBuffers_.clear();
    }
    shutDown_ = true;
    std::lock_guard lock(threadMutex_);
    contextThread_ = std::thread::id();
    queue_ = {};
}

bool GpuDevice::onContextThread() const
{
    std::lock_guard lock(threadMutex_);
    return contextThread_ == std::this_thread::get_id();
}

void GpuDevice::perform(const std::function<void()>& job)
{
    if (onContextThread()) {
        job();
        return;
    }
    auto done = std::make_shared<std::promise<void>>();
    auto future = done->get_future();
    JobQueue queue;
    {
        std::lock_guard lock(threadMutex_);
        queue = queue_;
    }
    bool accepted = queue && queue([job, done] {
                        try {
                            job();
                            done->set_value();
                        } catch (...) {
                            done->set_exception(std::current_exception());
                        }
                    });
    if (!accepted) {
        throw GpuError(GpuError::deviceDomain, GpuError::noDevice, "The GPU device no longer takes work.");
    }
    future.get();
}

void GpuDevice::performLater(std::function<void()> job)
{
    if (onContextThread()) {
        job();
        return;
    }
    JobQueue queue;
    {
        std::lock_guard lock(threadMutex_);
        queue = queue_;
    }
    if (queue)
        queue(std::move(job));
}

std::shared_ptr<ComputePipeline> GpuDevice::makeComputePipeline(const ShaderLibrary& library, const std::string& name)
{
    std::string source = library.kernelSource(name); // throws when missing
    std::shared_ptr<ComputePipeline> pipeline;
    perform([&] {
        pipeline = std::shared_ptr<ComputePipeline>(new ComputePipeline(
            shared_from_this(), name, GlProgram(library.name() + ":" + name, {{GL_COMPUTE_SHADER, source}})));
    });
    return pipeline;
}

std::shared_ptr<GpuTexture> GpuDevice::makeTexture(const TextureDescriptor& descriptor)
{
    std::shared_ptr<GpuTexture> texture;
    perform([&] { texture = std::shared_ptr<GpuTexture>(new GpuTexture(shared_from_this(), descriptor)); });
    return texture;
}

std::shared_ptr<CommandBuffer> GpuDevice::makeCommandBuffer()
{
    return std::shared_ptr<CommandBuffer>(new CommandBuffer(shared_from_this()));
}

void GpuDevice::track(std::shared_ptr<CommandBuffer> buffer)
{
    inFlight_.push_back(std::move(buffer));
}

void GpuDevice::pollCompletions()
{
    // Handlers may commit new buffers; take the list first.
    std::vector<std::shared_ptr<CommandBuffer>> pending;
    pending.swap(inFlight_);
    std::vector<std::shared_ptr<CommandBuffer>> stillRunning;
    for (auto& buffer : pending) {
        if (!buffer->finishIfSignalled(false))
            stillRunning.push_back(std::move(buffer));
    }
    for (auto& buffer : inFlight_)
        stillRunning.push_back(std::move(buffer));
    inFlight_ = std::move(stillRunning);
}

void GpuDevice::waitUntilIdle()
{
    while (!inFlight_.empty()) {
        std::vector<std::shared_ptr<CommandBuffer>> pending;
        pending.swap(inFlight_);
        for (auto& buffer : pending)
            buffer->finishIfSignalled(true);
    }
}

const GlProgram& GpuDevice::cachedProgram(const std::string& key, const std::function<GlProgram()>& build)
{
    auto found = programs_.find(key);
    if (found == programs_.end()) {
        found = programs_.emplace(key, std::make_unique<GlProgram>(build())).first;
    }
    return *found->second;
}

void GpuDevice::bindUniformBytes(unsigned index, const void* bytes, size_t size)
{
    if (uniformBuffers_.size() <= index) {
        size_t old = uniformBuffers_.size();
        uniformBuffers_.resize(index + 1, 0);
        glCreateBuffers(static_cast<GLsizei>(uniformBuffers_.size() - old), uniformBuffers_.data() + old);
    }
    // Fresh storage per call: the driver keeps the previous contents for
    // work already queued (orphaning), as a by-value argument behaves.
    glNamedBufferData(uniformBuffers_[index], static_cast<GLsizeiptr>(size), bytes, GL_STREAM_DRAW);
    glBindBufferBase(GL_UNIFORM_BUFFER, index, uniformBuffers_[index]);
}

} // namespace gloam::gpu
