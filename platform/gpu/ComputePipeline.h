#pragma once

#include "platform/gpu/GlProgram.h"

#include <memory>
#include <string>

namespace gloam::gpu {

class GpuDevice;

// A compiled compute kernel, ready to dispatch (see ShaderLibrary for the
// conventions). Made by GpuDevice::makeComputePipeline from any thread.
class ComputePipeline {
public:
    ~ComputePipeline();
    ComputePipeline(const ComputePipeline&) = delete;
    ComputePipeline& operator=(const ComputePipeline&) = delete;

    const std::string& name() const noexcept { return name_; }
    unsigned program() const noexcept { return program_.id(); }
    int gridSizeLocation() const noexcept { return gridSize_; }

private:
    friend class GpuDevice;
    ComputePipeline(std::shared_ptr<GpuDevice> device, std::string name, GlProgram program);

    std::shared_ptr<GpuDevice> device_;
    std::string name_;
    GlProgram program_;
    int gridSize_ = -1;
};

} // namespace gloam::gpu
