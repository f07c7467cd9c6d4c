#include "platform/gpu/ComputeEncoder.h"

#include "platform/gpu/CommandBuffer.h"
#include "platform/gpu/ComputePipeline.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuTexture.h"

#include <epoxy/gl.h>

namespace gloam::gpu {

void ComputeEncoder::setPipeline(const ComputePipeline& pipeline)
{
    pipeline_ = &pipeline;
    glUseProgram(pipeline.program());
}

void ComputeEncoder::setTexture(unsigned index, const GpuTexture& texture)
{
    glBindTextureUnit(index, texture.glName());
    if (texture.format() != PixelFormat::depth32Float) {
        const bool layered = texture.descriptor().kind == TextureKind::texture3D;
        glBindImageTexture(index, texture.glName(), 0, layered ? GL_TRUE : GL_FALSE, 0, GL_READ_WRITE,
                           glInternalFormat(texture.format()));
    }
}

void ComputeEncoder::setBytes(unsigned index, const void* bytes, size_t size)
{
    buffer_->device().bindUniformBytes(index, bytes, size);
}

void ComputeEncoder::dispatchThreads(unsigned width, unsigned height, unsigned depth)
{
    if (pipeline_ == nullptr || width == 0 || height == 0 || depth == 0) {
        buffer_->markFailed();
        return;
    }
    if (pipeline_->gridSizeLocation() >= 0) {
        glProgramUniform3ui(pipeline_->program(), pipeline_->gridSizeLocation(), width, height, depth);
    }
    // Reads of earlier passes' image writes must see them.
    glMemoryBarrier(GL_ALL_BARRIER_BITS);
    glDispatchCompute((width + 7) / 8, (height + 7) / 8, depth);
    glMemoryBarrier(GL_ALL_BARRIER_BITS);
}

void ComputeEncoder::endEncoding()
{
    glUseProgram(0);
    pipeline_ = nullptr;
}

} // namespace gloam::gpu
