#include "platform/gpu/ComputePipeline.h"

#include "platform/gpu/GpuDevice.h"

namespace gloam::gpu {

ComputePipeline::ComputePipeline(std::shared_ptr<GpuDevice> device, std::string name, GlProgram program)
    : device_(std::move(device)), name_(std::move(name)), program_(std::move(program)) {
    gridSize_ = program_.uniform("gloam_gridSize");
}

ComputePipeline::~ComputePipeline() {
    // The program goes back to the context thread to be deleted there.
    auto program = std::make_shared<GlProgram>(std::move(program_));
    device_->performLater([program]() mutable { program.reset(); });
}

} // namespace gloam::gpu
