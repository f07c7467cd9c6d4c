#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace gloam::platform {

// A whole sound file decoded to interleaved signed 16-bit samples, one or
// two channels, at the file's own sample rate.
struct DecodedAudio {
    int sampleRate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;

    double duration() const
    {
        return sampleRate > 0 && channels > 0 ? static_cast<double>(samples.size()) / channels / sampleRate : 0.0;
    }

    // Decodes any format FFmpeg reads (WAV, AAC in MP4, ...). Throws
    // AudioError naming the file and what is wrong.
    static DecodedAudio decodeFile(const std::filesystem::path& file);
};

} // namespace gloam::platform
