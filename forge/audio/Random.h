#pragma once

#include <cstdint>

namespace gloam::forge::audio {

// A small deterministic generator (SplitMix64). Every sound is made from a
// fixed seed, so the forge writes the same bytes on every run.
class Random {
public:
    explicit Random(std::uint64_t seed)
        : state_(seed)
    {}

    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    // Uniform in [low, high).
    double range(double low, double high) { return low + (high - low) * uniform(); }
    // Uniform white noise in [-1, 1).
    float noise() { return static_cast<float>(2.0 * uniform() - 1.0); }
    bool chance(double p) { return uniform() < p; }

private:
    std::uint64_t state_;
};

} // namespace gloam::forge::audio
