#pragma once

#include <cstddef>
#include <vector>

namespace gloam::forge::audio {

// Planar floating-point audio, full scale at ±1. Every channel holds the
// same number of frames.
struct AudioBuffer {
    int sampleRate = 44100;
    std::vector<std::vector<float>> channels;

    AudioBuffer() = default;
    AudioBuffer(int rate, int channelCount, std::size_t frames);

    // A buffer of the given length in seconds (rounded to whole frames).
    static AudioBuffer seconds(double length, int rate = 44100, int channelCount = 2);

    [[nodiscard]] int channelCount() const { return static_cast<int>(channels.size()); }
    [[nodiscard]] std::size_t frameCount() const { return channels.empty() ? 0 : channels.front().size(); }
    [[nodiscard]] double duration() const
    {
        return sampleRate > 0 ? static_cast<double>(frameCount()) / sampleRate : 0.0;
    }
    [[nodiscard]] std::size_t frameAt(double time) const;

    // Adds `source` into this buffer from `atFrame` on (mono sources go to
    // every channel), scaled by `gain`; what does not fit is dropped.
    void mix(const AudioBuffer& source, std::size_t atFrame, float gain = 1.0f);
};

} // namespace gloam::forge::audio
