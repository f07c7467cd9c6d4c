#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

namespace gloam::forge {

// An RGBA picture of floats, 0 to 1 per channel as they will be stored
// (colour pictures hold sRGB-encoded values, data pictures such as normal
// maps hold their data directly).
class Image {
public:
    Image() = default;
    Image(int width, int height, glm::vec4 fill = glm::vec4(0.0f));

    int width() const { return width_; }
    int height() const { return height_; }

    glm::vec4& at(int x, int y) { return pixels_[static_cast<std::size_t>(y * width_ + x)]; }
    const glm::vec4& at(int x, int y) const { return pixels_[static_cast<std::size_t>(y * width_ + x)]; }
    // Bilinear sample at uv (0..1, v down), wrapping or clamping.
    glm::vec4 sample(glm::vec2 uv, bool wrap = true) const;

    // 8-bit PNG with or without the alpha channel.
    std::vector<std::uint8_t> encodePng(bool withAlpha = true) const;
    void writePng(const std::filesystem::path& path, bool withAlpha = true) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<glm::vec4> pixels_;
};

// A tangent-space normal map (+x right, +y up the picture, +z out) from a
// height field given as the red channel of a tileable picture; strength is
// the height change over one pixel that tilts the normal by 45 degrees.
Image normalMapFromHeight(const Image& height, float strength);

// Linear to sRGB encoding of one channel.
float toSrgb(float linear);

} // namespace gloam::forge
