#include "platform/gpu/ComputePipeline.h"

#include "platform/gpu/GpuDevice.h"

#include <epoxy/gl.h>

namespace gloam::gpu {

ComputePipeline::ComputePipeline(std::shared_ptr<GpuDevice> device, std::string name, GlProgram program)
    : device_(std::move(device))
    , name_(std::move(name))
    , program_(std::move(program))
{
    gridSize_ = program_.uniform("gloam_gridSize");
}

ComputePipeline::~ComputePipeline()
{
    // The program goes back to the context thread to be deleted there. Only
    // its name travels: whichever thread drops the job last, no GL call is
    // made off the context thread (a job refused at shutdown just drops it).
    const unsigned name = program_.release();
    if (name != 0) {
        device_->performLater([name] { glDeleteProgram(name); });
    }
}

} // namespace gloam::gpu
