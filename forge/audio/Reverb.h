#pragma once

#include "forge/audio/AudioBuffer.h"

#include <vector>

namespace gloam::forge::audio {

// A stereo room reverberator after Jezar's public-domain Freeverb: eight
// damped comb filters and four all-passes per channel, with the right
// channel's delays spread slightly for width.
class Reverb {
public:
    struct Settings {
        float roomSize = 0.8f; // 0..1, longer tails towards 1
        float damping = 0.4f;  // 0..1, darker tails towards 1
        float wet = 0.3f;
        float dry = 1.0f;
        float width = 1.0f;
        float preDelay = 0.0f; // seconds
    };

    Reverb(const Settings& settings, int sampleRate);

    // Processes a stereo (or mono, summed) buffer in place; the buffer should
    // already carry room for the tail.
    void process(AudioBuffer& buffer);

private:
    struct Comb {
        std::vector<float> line;
        std::size_t index = 0;
        float store = 0.0f;
        float process(float input, float feedback, float damp);
    };
    struct AllPass {
        std::vector<float> line;
        std::size_t index = 0;
        float process(float input);
    };

    Settings settings_;
    int sampleRate_;
    std::vector<Comb> combs_[2];
    std::vector<AllPass> allPasses_[2];
};

} // namespace gloam::forge::audio
