#pragma once

#include "platform/render/RenderQuality.h"

#include <glm/mat4x4.hpp>

#include <memory>

namespace gloam::gpu {
class CommandBuffer;
class GpuDevice;
class GpuTexture;
} // namespace gloam::gpu

namespace gloam::render {

// What the post-process callback gets for one frame, on the render thread
// with the context current: the scene's colour (RGBA16F, exposed linear
// light, not yet tone mapped) and depth (32-bit float, 0 near to 1 far),
// the texture it must write completely (RGBA16F, same size), the frame's
// projection matrix and the frame's command buffer. The renderer tone maps
// and presents what the callback wrote. `quality` is the renderer's tier
// (the software tier blurs at half size, or makes the whole effect on a
// quarter-size copy when `quarterSize` says so). The textures may be smaller than
// the output: the renderer scales what the callback wrote up.
struct PostProcessContext {
    std::shared_ptr<gpu::GpuDevice> device;
    std::shared_ptr<gpu::CommandBuffer> commandBuffer;
    std::shared_ptr<gpu::GpuTexture> sourceColorTexture;
    std::shared_ptr<gpu::GpuTexture> sourceDepthTexture;
    std::shared_ptr<gpu::GpuTexture> targetColorTexture;
    glm::mat4 projection{1.0f};
    double time = 0.0;
    QualityTier quality = QualityTier::full;
    // The bloom and the fog may be made on a quarter-size copy (see
    // `RenderQuality::quarterSizePost`).
    bool quarterSize = false;
};

} // namespace gloam::render
