#pragma once

#include <cstdint>

namespace gloam::forge {

// A small deterministic generator (PCG32). The standard library's
// distributions differ between implementations, so every random choice of
// the forge goes through this type and its own conversions: the same seed
// gives the same resources on every machine.
class Random {
public:
    explicit Random(std::uint64_t seed);

    std::uint32_t next();
    // Uniform in [0, 1).
    float unit();
    // Uniform in [lo, hi).
    float range(float lo, float hi);
    // Uniform integer in [lo, hi].
    int integer(int lo, int hi);
    // Roughly normal (sum of uniforms), mean 0 and deviation 1.
    float gaussian();

private:
    std::uint64_t state_;
};

} // namespace gloam::forge
