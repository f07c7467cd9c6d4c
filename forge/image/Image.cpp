#include "forge/image/Image.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>

#include <glm/common.hpp>
#include <glm/geometric.hpp>
#include <stb_image_write.h>

namespace gloam::forge {

Image::Image(int width, int height, glm::vec4 fill)
    : width_(width)
    , height_(height)
    , pixels_(static_cast<std::size_t>(width * height), fill)
{}

glm::vec4 Image::sample(glm::vec2 uv, bool wrap) const
{
    float fx = uv.x * static_cast<float>(width_) - 0.5f;
    float fy = uv.y * static_cast<float>(height_) - 0.5f;
    int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
    float tx = fx - static_cast<float>(x0), ty = fy - static_cast<float>(y0);
    auto fetch = [&](int x, int y) {
        if (wrap) {
            x = ((x % width_) + width_) % width_;
            y = ((y % height_) + height_) % height_;
        } else {
            x = std::clamp(x, 0, width_ - 1);
            y = std::clamp(y, 0, height_ - 1);
        }
        return at(x, y);
    };
    glm::vec4 a = glm::mix(fetch(x0, y0), fetch(x0 + 1, y0), tx);
    glm::vec4 b = glm::mix(fetch(x0, y0 + 1), fetch(x0 + 1, y0 + 1), tx);
    return glm::mix(a, b, ty);
}

std::vector<std::uint8_t> Image::encodePng(bool withAlpha) const
{
    int channels = withAlpha ? 4 : 3;
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(width_ * height_ * channels));
    for (std::size_t i = 0; i < pixels_.size(); ++i) {
        for (int c = 0; c < channels; ++c) {
            float v = std::clamp(pixels_[i][c], 0.0f, 1.0f);
            raw[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] =
                static_cast<std::uint8_t>(std::lround(v * 255.0f));
        }
    }
    std::vector<std::uint8_t> out;
    auto sink = [](void* context, void* data, int size) {
        auto* bytes = static_cast<std::vector<std::uint8_t>*>(context);
        auto* begin = static_cast<std::uint8_t*>(data);
        bytes->insert(bytes->end(), begin, begin + size);
    };
    if (stbi_write_png_to_func(sink, &out, width_, height_, channels, raw.data(), width_ * channels) == 0) {
        throw std::runtime_error("PNG encoding failed");
    }
    return out;
}

void Image::writePng(const std::filesystem::path& path, bool withAlpha) const
{
    std::vector<std::uint8_t> bytes = encodePng(withAlpha);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

Image normalMapFromHeight(const Image& height, float strength)
{
    int w = height.width(), h = height.height();
    Image out(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            auto hAt = [&](int px, int py) { return height.at((px + w) % w, (py + h) % h).r; };
            float dx = (hAt(x + 1, y) - hAt(x - 1, y)) * 0.5f;
            float dyDown = (hAt(x, y + 1) - hAt(x, y - 1)) * 0.5f;
            // Height rising to the right tilts the normal left; rising up the
            // picture (against the row order) tilts it down.
            glm::vec3 n = glm::normalize(glm::vec3(-dx / strength, dyDown / strength, 1.0f));
            out.at(x, y) = glm::vec4(n * 0.5f + 0.5f, 1.0f);
        }
    }
    return out;
}

float toSrgb(float linear)
{
    linear = std::clamp(linear, 0.0f, 1.0f);
    return linear <= 0.0031308f ? linear * 12.92f : 1.055f * std::pow(linear, 1.0f / 2.4f) - 0.055f;
}

} // namespace gloam::forge
