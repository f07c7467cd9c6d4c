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
//
// At `Size::half` the source is first averaged down to half its size
// (2 × 2 texels each), blurred there with half the sigma, and filtered
// back up into the destination: the same softening of wide highlights for
// about a quarter of the work, which a software GPU needs.
class GaussianBlur {
public:
    enum class Size { full, half };

    GaussianBlur(std::shared_ptr<GpuDevice> device, float sigma, Size size = Size::full);
    ~GaussianBlur();

    float sigma() const noexcept { return sigma_; }
    Size size() const noexcept { return size_; }
    // The radius of the passes, in texels of the image they run on.
    int radius() const noexcept { return radius_; }

    // Blurs `source` into `destination` (same size). Context thread.
    void encode(CommandBuffer& buffer, const GpuTexture& source, const GpuTexture& destination);

private:
    std::shared_ptr<GpuDevice> device_;
    void blur(const GpuTexture& source, const GpuTexture& destination);
    void resample(const GpuTexture& source, const GpuTexture& destination);

    std::shared_ptr<GpuTexture> intermediate_;
    std::shared_ptr<GpuTexture> halfSource_, halfBlurred_;
    float sigma_;
    Size size_;
    int radius_;
    float weights_[132] = {};
};

} // namespace gloam::gpu
