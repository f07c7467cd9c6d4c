#pragma once

#include "forge/audio/AudioBuffer.h"

#include <filesystem>
#include <string>

namespace gloam::forge::audio::testing {

// A whole audio file decoded with FFmpeg, as the engine decodes it.
struct DecodedAudio {
    std::string codec;     // decoder name, e.g. "aac"
    std::string container; // demuxer name, e.g. "mov,mp4,m4a,3gp,3g2,mj2"
    AudioBuffer audio;     // planar float at the file's own rate and channels
};

// Throws std::runtime_error naming the file when it cannot be decoded.
DecodedAudio decodeAudioFile(const std::filesystem::path& path);

} // namespace gloam::forge::audio::testing
