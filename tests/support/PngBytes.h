#pragma once

// Encodes RGBA pixels as PNG bytes (stb_image_write), for test fixtures.

#include <stb_image_write.h>

#include <cstdint>
#include <vector>

namespace gloam::testing {

inline std::vector<std::uint8_t> pngBytes(int width, int height, const std::vector<std::uint8_t>& rgba)
{
    std::vector<std::uint8_t> out;
    stbi_write_png_to_func(
        [](void* context, void* data, int size) {
            auto* bytes = static_cast<std::vector<std::uint8_t>*>(context);
            const auto* p = static_cast<const std::uint8_t*>(data);
            bytes->insert(bytes->end(), p, p + size);
        },
        &out, width, height, 4, rgba.data(), width * 4);
    return out;
}

} // namespace gloam::testing
