#pragma once

#include <functional>
#include <memory>
#include <vector>

namespace gloam::gpu {

class ComputeEncoder;
class GpuDevice;
class GpuTexture;

enum class CommandBufferStatus { notCommitted, committed, completed, error };

// The GPU work of one frame (or one test step). Encoding issues the GL
// commands at once, in order; `commit()` closes the buffer with a fence.
// When the fence has signalled, the completion handlers run on the context
// thread (from GpuDevice::pollCompletions or waitUntilCompleted) with the
// final status: `completed`, or `error` when GL reported an error while
// the buffer was being encoded (or the context was lost).
class CommandBuffer : public std::enable_shared_from_this<CommandBuffer> {
public:
    ~CommandBuffer();
    CommandBuffer(const CommandBuffer&) = delete;
    CommandBuffer& operator=(const CommandBuffer&) = delete;

    // The device it encodes for; only until it is committed.
    GpuDevice& device() const;
    CommandBufferStatus status() const noexcept { return status_; }

    ComputeEncoder makeComputeEncoder();
    // Copies the whole of `source` into `destination` (a blit); sizes must
    // match and formats be of one size class, else only the common region
    // is copied.
    void copy(const GpuTexture& source, const GpuTexture& destination);

    void addCompletedHandler(std::function<void(CommandBufferStatus)> handler);
    // Marks the buffer as failed whatever GL says (work that could not be
    // encoded, for example).
    void markFailed() noexcept { failed_ = true; }
    void commit();
    void waitUntilCompleted();

private:
    friend class GpuDevice;
    explicit CommandBuffer(std::shared_ptr<GpuDevice> device);
    bool finishIfSignalled(bool wait);
    // The device is going: its fence goes with it, and the buffer can no
    // longer complete.
    void releaseFence() noexcept;

    // While it is encoded the buffer keeps its device alive. Once committed
    // the device keeps the buffer until it completes, so the buffer then
    // holds the device weakly: else a device dropped with work in flight
    // and that work would keep each other alive for ever.
    std::shared_ptr<GpuDevice> device_;
    std::weak_ptr<GpuDevice> committedTo_;
    std::vector<std::function<void(CommandBufferStatus)>> handlers_;
    CommandBufferStatus status_ = CommandBufferStatus::notCommitted;
    void* fence_ = nullptr;
    bool failed_ = false;
};

} // namespace gloam::gpu
