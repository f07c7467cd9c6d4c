#pragma once

namespace gloam::forge::audio {

// Second-order IIR filter (direct form I) with the usual audio cookbook
// designs. Coefficients may be changed between samples for sweeps.
class Biquad {
public:
    enum class Kind { lowPass, highPass, bandPass, peak };

    Biquad() = default;
    Biquad(Kind kind, double frequency, double q, double sampleRate, double gainDb = 0.0)
    {
        set(kind, frequency, q, sampleRate, gainDb);
    }

    void set(Kind kind, double frequency, double q, double sampleRate, double gainDb = 0.0);

    float process(float x)
    {
        const double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        return static_cast<float>(y);
    }

    void reset() { x1_ = x2_ = y1_ = y2_ = 0.0; }

private:
    double b0_ = 1.0, b1_ = 0.0, b2_ = 0.0, a1_ = 0.0, a2_ = 0.0;
    double x1_ = 0.0, x2_ = 0.0, y1_ = 0.0, y2_ = 0.0;
};

} // namespace gloam::forge::audio
