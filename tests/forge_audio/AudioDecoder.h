#pragma once

#include "forge/audio/AudioBuffer.h"

#include <filesystem>
#include <string>

namespace gloam::forge::audio::testing {

// A whole audio file decoded by the engine's decoder (platform::DecodedAudio),
// with the container and codec FFmpeg sees in it.
struct DecodedAudio {
    std::string codec;     // decoder name, e.g. "aac"
    std::string container; // demuxer name, e.g. "mov,mp4,m4a,3gp,3g2,mj2"
    AudioBuffer audio;     // the engine's 16-bit samples as planar float, at the file's own rate
};

// Throws (the engine's AudioError, or std::runtime_error) naming the file
// when it cannot be decoded.
DecodedAudio decodeAudioFile(const std::filesystem::path& path);

} // namespace gloam::forge::audio::testing
