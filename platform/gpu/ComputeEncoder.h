#pragma once

#include <cstddef>

namespace gloam::gpu {

class CommandBuffer;
class ComputePipeline;
class GpuTexture;

// Sets up and dispatches compute kernels on a command buffer.
class ComputeEncoder {
public:
    void setPipeline(const ComputePipeline& pipeline);
    // Texture `index` of the kernel: sampler binding `index`, and image
    // binding `index` (read and write) for colour formats.
    void setTexture(unsigned index, const GpuTexture& texture);
    // `size` bytes as uniform block binding `index`, copied now (by value).
    void setBytes(unsigned index, const void* bytes, size_t size);
    // One invocation per grid point, in 8 × 8 × 1 groups; edge groups are
    // partial (invocations outside the grid return at once).
    void dispatchThreads(unsigned width, unsigned height, unsigned depth = 1);
    void endEncoding();

private:
    friend class CommandBuffer;
    explicit ComputeEncoder(CommandBuffer& buffer)
        : buffer_(&buffer)
    {}

    CommandBuffer* buffer_;
    const ComputePipeline* pipeline_ = nullptr;
};

} // namespace gloam::gpu
