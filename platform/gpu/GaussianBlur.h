#pragma once

#include <memory>

namespace gloam::gpu {

class CommandBuffer;
class GpuDevice;
class GpuTexture;

// A separable Gaussian blur of RGBA16F images: a horizontal then a vertical
// compute pass with weights exp(-x²/2σ²) out to 3σ, normalised to one.
// Edges are clamped (texels beyond the border repeat the border texel), so
// a flat image stays flat and nothing darkens at the frame's edges.
class GaussianBlur {
public:
    GaussianBlur(std::shared_ptr<GpuDevice> device, float sigma);
    ~GaussianBlur();

    float sigma() const noexcept { return sigma_; }
    int radius() const noexcept { return radius_; }

    // Blurs `source` into `destination` (same size). Context thread.
    void encode(CommandBuffer& buffer, const GpuTexture& source, const GpuTexture& destination);

private:
    std::shared_ptr<GpuDevice> device_;
    std::shared_ptr<GpuTexture> intermediate_;
    float sigma_;
    int radius_;
    float weights_[132] = {};
};

} // namespace gloam::gpu
