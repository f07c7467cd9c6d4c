#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace gloam::gpu {

class GpuDevice;

enum class PixelFormat {
    rgba16Float,  // colour targets and intermediate images
    r8Unorm,      // density volumes
    rgba8Unorm,   // pictures
    depth32Float, // depth buffers (sampled, never written by kernels)
};

enum class TextureKind { texture2D, texture3D };

struct TextureDescriptor {
    TextureKind kind = TextureKind::texture2D;
    PixelFormat format = PixelFormat::rgba16Float;
    int width = 1;
    int height = 1;
    int depth = 1;
    const char* label = "texture";
};

// A GL texture with one mip level. Kernels read it through sampler binding
// i and write it through image binding i (colour formats only) when it is
// set as texture i of a compute encoder. The GL name is released on the
// context thread, whichever thread drops the last reference.
class GpuTexture {
public:
    ~GpuTexture();
    GpuTexture(const GpuTexture&) = delete;
    GpuTexture& operator=(const GpuTexture&) = delete;

    // A texture owned by someone else (the renderer's frame targets),
    // described for kernels and blits; it never deletes the GL name.
    static std::shared_ptr<GpuTexture> wrap(std::shared_ptr<GpuDevice> device, unsigned glName,
                                            const TextureDescriptor& descriptor);

    unsigned glName() const noexcept { return name_; }
    const TextureDescriptor& descriptor() const noexcept { return descriptor_; }
    int width() const noexcept { return descriptor_.width; }
    int height() const noexcept { return descriptor_.height; }
    int depth() const noexcept { return descriptor_.depth; }
    PixelFormat format() const noexcept { return descriptor_.format; }

    // Uploads a whole level from memory laid out with the given strides
    // (x fastest, then rows, then slices). Throws GpuError ("GloamTexture" 2)
    // when the bytes do not cover the texture. Any thread.
    void replace(const std::uint8_t* bytes, size_t length, size_t bytesPerRow, size_t bytesPerImage);

    // Reads the texture back as floats, four per texel (RGBA; R-only and
    // depth formats fill the first lane). Context thread; for tests and tools.
    std::vector<float> readFloats() const;

private:
    friend class GpuDevice;
    GpuTexture(std::shared_ptr<GpuDevice> device, const TextureDescriptor& descriptor);
    GpuTexture() = default;

    std::shared_ptr<GpuDevice> device_;
    TextureDescriptor descriptor_;
    unsigned name_ = 0;
    bool owned_ = true;
};

unsigned glInternalFormat(PixelFormat format);
size_t bytesPerTexel(PixelFormat format);

} // namespace gloam::gpu
