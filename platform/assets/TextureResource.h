#pragma once

#include "platform/async/Task.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace gloam::platform {

// What a texture's pixels mean, which decides how they are sampled.
enum class TextureSemantic {
    color,   // sRGB-encoded colour
    normal,  // tangent-space normal map, linear
    raw,     // linear data
    hdrColor // linear floating-point colour (light probes)
};
enum class TexturePixelFormat {
    rgba8,  // 4 bytes per pixel
    rgba32f // 16 bytes per pixel, 4 floats
};
enum class TextureMipmapsMode { none, allocateAndGenerateAll };

struct TextureCreateOptions {
    TextureSemantic semantic = TextureSemantic::color;
    TextureMipmapsMode mipmapsMode = TextureMipmapsMode::allocateAndGenerateAll;
};

// Decoded pixels of one texture, held on the CPU for the renderer to
// upload. Immutable once made, so shared freely between materials and
// threads; `id()` is unique in the process and never reused, so a renderer
// can key its GPU copies on it.
class TextureResource {
public:
    using Semantic = TextureSemantic;
    using PixelFormat = TexturePixelFormat;
    using MipmapsMode = TextureMipmapsMode;
    using CreateOptions = TextureCreateOptions;

    // One level of the mip chain, row by row from the top of the image.
    // Meshes address the top row with v = 1 and the bottom row with v = 0
    // (see MeshDescriptor), so a renderer samples (u, 1 − v) of these rows as
    // stored, or uploads them bottom row first.
    struct Level {
        int width = 0;
        int height = 0;
        std::vector<std::uint8_t> bytes;
    };

    // Decodes a PNG (or any 8-bit image stb_image reads). Throws
    // std::runtime_error naming the file and what is wrong.
    static std::shared_ptr<const TextureResource> load(const std::filesystem::path& file, const std::string& name = {},
                                                       CreateOptions options = {});
    // The same, decoded on the worker pool.
    static async::Task<std::shared_ptr<const TextureResource>>
    loadAsync(std::filesystem::path file, std::string name = {}, CreateOptions options = {});
    // Decodes an encoded image held in memory (an embedded glTF image).
    static std::shared_ptr<const TextureResource> decode(const std::vector<std::uint8_t>& encoded,
                                                         const std::string& name, CreateOptions options = {});
    // From 8-bit RGBA pixels (width × height × 4 bytes, top row first).
    static std::shared_ptr<const TextureResource> fromPixels(int width, int height, std::vector<std::uint8_t> rgba,
                                                             const std::string& name = {}, CreateOptions options = {});
    // From 32-bit float RGBA pixels, linear (width × height × 4 floats).
    static std::shared_ptr<const TextureResource>
    fromFloatPixels(int width, int height, const std::vector<float>& rgba, const std::string& name = {},
                    CreateOptions options = {Semantic::hdrColor, MipmapsMode::none});

    ~TextureResource();
    TextureResource(const TextureResource&) = delete;
    TextureResource& operator=(const TextureResource&) = delete;

    // Textures alive in the process now (memory soaks watch it stay flat).
    static long liveCount();

    std::uint64_t id() const { return id_; }
    const std::string& name() const { return name_; }
    Semantic semantic() const { return semantic_; }
    PixelFormat format() const { return format_; }
    int width() const { return base_->width; }
    int height() const { return base_->height; }
    // The full image, level 0.
    const Level& base() const { return *base_; }
    // Whether the texture has levels below the full image (mip levels were
    // asked for and it is larger than 1 × 1).
    bool hasMipmaps() const { return levelCount_ > 1; }
    // Level 0 is the full image; further levels halve down to 1 × 1 when
    // mip levels were asked for. They are made on the first call: the
    // renderer's GL copies make their own, so a texture only drawn never
    // holds them.
    const std::vector<Level>& levels() const;
    // The level-0 pixel at (x, y) as floats (8-bit values scaled to 0...1,
    // still in their own encoding).
    std::vector<float> pixel(int x, int y) const;

private:
    TextureResource(std::string name, Semantic semantic, PixelFormat format, Level base, bool mipmaps);

    std::uint64_t id_;
    std::string name_;
    Semantic semantic_;
    PixelFormat format_;
    std::size_t levelCount_ = 1;
    // Room for every level is reserved up front, so making the lower ones
    // never moves the full image that `base_` points at.
    mutable std::vector<Level> levels_;
    const Level* base_ = nullptr;
    mutable std::once_flag lowerLevelsMade_;
};

using TexturePtr = std::shared_ptr<const TextureResource>;

} // namespace gloam::platform
