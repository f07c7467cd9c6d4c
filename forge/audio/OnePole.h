#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gloam::forge::audio {

// One-pole low-pass smoother: y += (x - y) * k.
class OnePole {
public:
    OnePole() = default;
    OnePole(double cutoff, double sampleRate) { setCutoff(cutoff, sampleRate); }

    void setCutoff(double cutoff, double sampleRate)
    {
        k_ = static_cast<float>(1.0 - std::exp(-2.0 * std::numbers::pi * std::max(cutoff, 0.0) / sampleRate));
    }
    float process(float x)
    {
        y_ += (x - y_) * k_;
        return y_;
    }
    [[nodiscard]] float value() const { return y_; }

private:
    float k_ = 1.0f;
    float y_ = 0.0f;
};

} // namespace gloam::forge::audio
