#pragma once

// Small building blocks shared by the cue sounds and the music: panning,
// curves and slowly wandering random values.

#include "forge/audio/Random.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gloam::forge::audio::kit {

inline constexpr double twoPi = 2.0 * std::numbers::pi;

// Equal-power pan gains for a position from -1 (left) to +1 (right).
struct Pan {
    float left;
    float right;
};
inline Pan pan(double position)
{
    const double p = (std::clamp(position, -1.0, 1.0) + 1.0) * std::numbers::pi / 4.0;
    return {static_cast<float>(std::cos(p)), static_cast<float>(std::sin(p))};
}

inline double smoothstep(double x)
{
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3.0 - 2.0 * x);
}

// Smoothly rising from 0 at `start` to 1 at `start + length`.
inline double rise(double t, double start, double length)
{
    return smoothstep((t - start) / length);
}

// Gaussian bump of unit height centred on `centre`.
inline double bump(double t, double centre, double width)
{
    const double x = (t - centre) / width;
    return std::exp(-0.5 * x * x);
}

// Attack-then-exponential-decay envelope (0 before `start`).
inline double strike(double t, double start, double attack, double decay)
{
    const double x = t - start;
    if (x < 0.0)
        return 0.0;
    const double a = attack > 0.0 ? std::min(x / attack, 1.0) : 1.0;
    return a * std::exp(-x / decay);
}

// Random values at `frequency` per second, joined by smooth (cosine)
// interpolation, in [-1, 1]: flicker, rumble rolls, wandering pitch.
class ValueNoise {
public:
    ValueNoise(std::uint64_t seed, double frequency, double sampleRate)
        : random_(seed)
        , step_(frequency / sampleRate)
        , a_(random_.noise())
        , b_(random_.noise())
    {}
    float next()
    {
        phase_ += step_;
        while (phase_ >= 1.0) {
            phase_ -= 1.0;
            a_ = b_;
            b_ = random_.noise();
        }
        const double w = 0.5 - 0.5 * std::cos(std::numbers::pi * phase_);
        return static_cast<float>(a_ + (b_ - a_) * w);
    }

private:
    Random random_;
    double step_;
    double phase_ = 0.0;
    double a_;
    double b_;
};

// Brown (integrated) noise with a leak so that it stays centred; roughly
// unit level.
class BrownNoise {
public:
    explicit BrownNoise(std::uint64_t seed)
        : random_(seed)
    {}
    float next()
    {
        y_ = 0.996f * y_ + 0.09f * random_.noise();
        return y_;
    }

private:
    Random random_;
    float y_ = 0.0f;
};

} // namespace gloam::forge::audio::kit
