#include "platform/gpu/CommandBuffer.h"

#include "platform/gpu/ComputeEncoder.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuTexture.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <stdexcept>

namespace gloam::gpu {

CommandBuffer::CommandBuffer(std::shared_ptr<GpuDevice> device)
    : device_(std::move(device))
{
    // Errors left over from earlier work are not this buffer's.
    while (glGetError() != GL_NO_ERROR) {
    }
}

CommandBuffer::~CommandBuffer()
{
    if (fence_ != nullptr) {
        auto* fence = static_cast<GLsync>(fence_);
        if (auto device = committedTo_.lock())
            device->performLater([fence] { glDeleteSync(fence); });
    }
}

GpuDevice& CommandBuffer::device() const
{
    if (!device_)
        throw std::logic_error("a committed command buffer takes no more commands");
    return *device_;
}

void CommandBuffer::releaseFence() noexcept
{
    if (fence_ != nullptr)
        glDeleteSync(static_cast<GLsync>(fence_));
    fence_ = nullptr;
}

ComputeEncoder CommandBuffer::makeComputeEncoder()
{
    return ComputeEncoder(*this);
}

void CommandBuffer::copy(const GpuTexture& source, const GpuTexture& destination)
{
    const int width = std::min(source.width(), destination.width());
    const int height = std::min(source.height(), destination.height());
    const int depth = std::min(source.depth(), destination.depth());
    const GLenum sourceTarget = source.descriptor().kind == TextureKind::texture3D ? GL_TEXTURE_3D : GL_TEXTURE_2D;
    const GLenum destinationTarget =
        destination.descriptor().kind == TextureKind::texture3D ? GL_TEXTURE_3D : GL_TEXTURE_2D;
    glMemoryBarrier(GL_ALL_BARRIER_BITS);
    glCopyImageSubData(source.glName(), sourceTarget, 0, 0, 0, 0, destination.glName(), destinationTarget, 0, 0, 0, 0,
                       width, height, depth);
}

void CommandBuffer::addCompletedHandler(std::function<void(CommandBufferStatus)> handler)
{
    handlers_.push_back(std::move(handler));
}

void CommandBuffer::commit()
{
    if (status_ != CommandBufferStatus::notCommitted)
        return;
    GLenum error = glGetError();
    while (error != GL_NO_ERROR) {
        failed_ = true;
        error = glGetError();
    }
    fence_ = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    glFlush();
    status_ = CommandBufferStatus::committed;
    device_->track(shared_from_this());
    committedTo_ = device_;
    device_.reset();
}

bool CommandBuffer::finishIfSignalled(bool wait)
{
    if (status_ != CommandBufferStatus::committed)
        return true;
    auto* fence = static_cast<GLsync>(fence_);
    GLenum result = GL_WAIT_FAILED;
    if (fence != nullptr) {
        result = glClientWaitSync(fence, GL_SYNC_FLUSH_COMMANDS_BIT, wait ? GLuint64(10'000'000'000) : 0);
        if (wait) {
            while (result == GL_TIMEOUT_EXPIRED)
                result = glClientWaitSync(fence, 0, GLuint64(10'000'000'000));
        }
    }
    if (result == GL_TIMEOUT_EXPIRED)
        return false;
    const bool ok = !failed_ && (result == GL_ALREADY_SIGNALED || result == GL_CONDITION_SATISFIED) &&
                    glGetGraphicsResetStatus() == GL_NO_ERROR;
    status_ = ok ? CommandBufferStatus::completed : CommandBufferStatus::error;
    auto handlers = std::move(handlers_);
    handlers_.clear();
    for (auto& handler : handlers)
        handler(status_);
    return true;
}

void CommandBuffer::waitUntilCompleted()
{
    if (status_ == CommandBufferStatus::notCommitted)
        commit();
    finishIfSignalled(true);
}

} // namespace gloam::gpu
