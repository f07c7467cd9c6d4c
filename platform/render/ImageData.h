#pragma once

#include "platform/render/SharedPixels.h"

#include <cstdint>
#include <memory>

namespace gloam::render {

// Pixels handed to the renderer: a picture (RGBA, 8 bits, sRGB-encoded
// colour or linear data such as normal maps) or a high-dynamic-range image
// (RGBA, 32-bit float, linear). Immutable once shared; the renderer uploads
// it once per `id` and keeps it while any frame packet still refers to it.
struct ImageData {
    enum class Encoding { srgb8, linear8, float32 };

    std::uint64_t id = 0;
    int width = 0;
    int height = 0;
    Encoding encoding = Encoding::srgb8;
    bool mipmaps = true;
    // Pixels converted from a texture borrow the texture's own values.
    SharedPixels<std::uint8_t> bytes; // rgba8 rows, top row first
    SharedPixels<float> floats;       // rgba32f rows, top row first

    static std::uint64_t nextId();
};

using ImagePtr = std::shared_ptr<const ImageData>;

} // namespace gloam::render
