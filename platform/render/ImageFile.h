#pragma once

#include "platform/render/ImageData.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace gloam::render {

// Pictures to and from files (PNG out; PNG, JPEG and Radiance HDR in).
struct ImageFile {
    // Throws std::runtime_error when the file cannot be written.
    static void writePng(const std::filesystem::path& file, int width, int height,
                         const std::vector<std::uint8_t>& rgbaTopRowFirst);
    // Throws std::runtime_error when the file cannot be read or decoded.
    static ImagePtr read(const std::filesystem::path& file, ImageData::Encoding encoding);
};

} // namespace gloam::render
