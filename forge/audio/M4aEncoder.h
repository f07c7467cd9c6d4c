#pragma once

#include "forge/audio/AudioBuffer.h"

#include <filesystem>
#include <stdexcept>

namespace gloam::forge::audio {

class EncodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Encodes a buffer as AAC-LC in an MP4 (.m4a) container with FFmpeg's
// native encoder. Bit-exact flags keep the file free of version strings
// and times, so the same buffer gives the same file. The file is written
// beside its final name and moved into place when complete.
struct M4aEncoder {
    static void write(const std::filesystem::path& path, const AudioBuffer& buffer, long bitRate = 192000);
};

} // namespace gloam::forge::audio
