#include "forge/audio/Biquad.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gloam::forge::audio {

void Biquad::set(Kind kind, double frequency, double q, double sampleRate, double gainDb)
{
    const double f = std::clamp(frequency, 1.0, sampleRate * 0.49);
    const double w = 2.0 * std::numbers::pi * f / sampleRate;
    const double cw = std::cos(w);
    const double alpha = std::sin(w) / (2.0 * std::max(q, 0.01));
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a0 = 1.0, a1 = 0.0, a2 = 0.0;
    switch (kind) {
    case Kind::lowPass:
        b0 = (1.0 - cw) / 2.0;
        b1 = 1.0 - cw;
        b2 = b0;
        a0 = 1.0 + alpha;
        a1 = -2.0 * cw;
        a2 = 1.0 - alpha;
        break;
    case Kind::highPass:
        b0 = (1.0 + cw) / 2.0;
        b1 = -(1.0 + cw);
        b2 = b0;
        a0 = 1.0 + alpha;
        a1 = -2.0 * cw;
        a2 = 1.0 - alpha;
        break;
    case Kind::bandPass: // constant 0 dB peak gain
        b0 = alpha;
        b1 = 0.0;
        b2 = -alpha;
        a0 = 1.0 + alpha;
        a1 = -2.0 * cw;
        a2 = 1.0 - alpha;
        break;
    case Kind::peak: {
        const double a = std::pow(10.0, gainDb / 40.0);
        b0 = 1.0 + alpha * a;
        b1 = -2.0 * cw;
        b2 = 1.0 - alpha * a;
        a0 = 1.0 + alpha / a;
        a1 = -2.0 * cw;
        a2 = 1.0 - alpha / a;
        break;
    }
    }
    b0_ = b0 / a0;
    b1_ = b1 / a0;
    b2_ = b2 / a0;
    a1_ = a1 / a0;
    a2_ = a2 / a0;
}

} // namespace gloam::forge::audio
