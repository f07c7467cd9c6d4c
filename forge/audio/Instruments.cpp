#include "forge/audio/Instruments.h"

#include "forge/audio/Biquad.h"
#include "forge/audio/OnePole.h"
#include "forge/audio/SynthKit.h"

#include <array>
#include <cmath>
#include <vector>

namespace gloam::forge::audio {

namespace {

using kit::twoPi;

// A sine oscillator by rotation: one multiply-add per sample, no sin().
struct Rotor {
    double c, s, x = 1.0, y = 0.0;
    Rotor(double frequency, double rate, double phase = 0.0)
        : c(std::cos(twoPi * frequency / rate))
        , s(std::sin(twoPi * frequency / rate))
        , x(std::cos(phase))
        , y(std::sin(phase))
    {}
    double next()
    {
        const double nx = x * c - y * s;
        y = x * s + y * c;
        x = nx;
        return y;
    }
};

} // namespace

double Instruments::frequency(double midi)
{
    return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0);
}

void Instruments::musicBox(double time, double midi, float velocity, double pan, double ring)
{
    const int rate = out_.sampleRate;
    const double f = frequency(midi);
    const double decay = ring * 1.2 * std::pow(440.0 / f, 0.3);
    struct Mode {
        double ratio, amplitude, decay;
    };
    const std::array<Mode, 4> modes{
        {{1.0, 1.0, decay}, {2.0, 0.22, decay * 0.35}, {3.0, 0.06, decay * 0.15}, {5.4, 0.1, 0.06}}};
    std::vector<Rotor> rotors;
    std::vector<double> amplitudes, decays;
    for (const auto& m : modes)
        if (f * m.ratio < rate * 0.45) {
            rotors.emplace_back(f * m.ratio, rate, random_.range(0.0, twoPi));
            amplitudes.push_back(m.amplitude);
            decays.push_back(std::exp(-1.0 / (m.decay * rate)));
        }
    const auto p = kit::pan(pan);
    const std::size_t start = out_.frameAt(time);
    const auto length = static_cast<std::size_t>(decay * 5.0 * rate);
    const auto fadeFrom = length * 4 / 5;
    std::vector<double> levels(amplitudes);
    for (std::size_t i = 0; i < length; ++i) {
        double v = 0.0;
        for (std::size_t k = 0; k < rotors.size(); ++k) {
            if (levels[k] < 1e-5) // this mode has died away (-100 dB)
                continue;
            v += levels[k] * rotors[k].next();
            levels[k] *= decays[k];
        }
        double attack = std::min(1.0, static_cast<double>(i) / (0.0015 * rate));
        if (i > fadeFrom)
            attack *= static_cast<double>(length - i) / static_cast<double>(length - fadeFrom);
        double strikeNoise = 0.0;
        if (i < static_cast<std::size_t>(0.004 * rate))
            strikeNoise = 0.05 * random_.noise() * (1.0 - static_cast<double>(i) / (0.004 * rate));
        const auto value = static_cast<float>(velocity * (attack * v + strikeNoise));
        add(start + i, value * p.left, value * p.right);
    }
}

void Instruments::organ(double time, double length, double midi, float velocity)
{
    const int rate = out_.sampleRate;
    const double f = frequency(midi);
    constexpr std::array<double, 5> ratios{1.0, 2.0, 3.0, 4.0, 6.0};
    constexpr std::array<double, 5> amplitudes{1.0, 0.55, 0.22, 0.16, 0.07};
    std::vector<Rotor> left, right;
    for (double r : ratios) {
        left.emplace_back(f * r * 0.9993, rate, random_.range(0.0, twoPi));
        right.emplace_back(f * r * 1.0007, rate, random_.range(0.0, twoPi));
    }
    const double attack = 0.35;
    const double release = 0.6;
    const std::size_t start = out_.frameAt(time);
    const auto total = static_cast<std::size_t>((length + release) * rate);
    const double swirl = random_.range(0.0, twoPi);
    Rotor tremoloL(0.83, rate, swirl);
    Rotor tremoloR(0.83, rate, swirl + 1.9);
    for (std::size_t i = 0; i < total; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double env = kit::rise(t, 0.0, attack) * (1.0 - kit::rise(t, length, release));
        double l = 0.0, r = 0.0;
        for (std::size_t k = 0; k < ratios.size(); ++k) {
            l += amplitudes[k] * left[k].next();
            r += amplitudes[k] * right[k].next();
        }
        const double swayL = 1.0 + 0.12 * tremoloL.next();
        const double swayR = 1.0 + 0.12 * tremoloR.next();
        add(start + i, static_cast<float>(velocity * env * swayL * l), static_cast<float>(velocity * env * swayR * r));
    }
}

void Instruments::pluck(double time, double midi, float velocity, double pan, double brightness)
{
    const int rate = out_.sampleRate;
    const double f = frequency(midi);
    // The loop's two-point average delays by half a sample; the rest of the
    // period is a fractional delay line.
    const double delay = rate / f - 0.5;
    const auto whole = static_cast<std::size_t>(std::floor(delay));
    const double fraction = delay - static_cast<double>(whole);
    const double loss = std::pow(0.001, 1.0 / (f * 1.6)); // about -60 dB after 1.6 s
    const auto length = static_cast<std::size_t>(1.8 * rate);
    std::vector<float> y(length + whole + 2, 0.0f);
    // A soft excitation, as a finger plucks rather than a pick.
    OnePole soften(800.0 + 5000.0 * brightness, rate);
    for (std::size_t i = 0; i < whole + 2; ++i)
        y[i] = soften.process(random_.noise());
    for (std::size_t n = whole + 2; n < y.size(); ++n) {
        const double a = (1.0 - fraction) * y[n - whole] + fraction * y[n - whole - 1];
        const double b = (1.0 - fraction) * y[n - whole - 1] + fraction * y[n - whole - 2];
        y[n] = static_cast<float>(loss * 0.5 * (a + b));
    }
    Biquad body1(Biquad::Kind::peak, 230.0, 1.5, rate, 6.0);
    Biquad body2(Biquad::Kind::peak, 480.0, 2.0, rate, 4.0);
    Biquad air(Biquad::Kind::highPass, 70.0, 0.7, rate);
    const auto p = kit::pan(pan);
    const std::size_t start = out_.frameAt(time);
    for (std::size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double damp = kit::rise(t, 0.0, 0.002) * (1.0 - kit::rise(t, 1.3, 0.5));
        const float v = air.process(body2.process(body1.process(y[i])));
        const auto value = static_cast<float>(velocity * damp) * v;
        add(start + i, value * p.left, value * p.right);
    }
}

void Instruments::theremin(double time, double length, double midi, double fromMidi, float velocity, double pan,
                           double glide)
{
    const int rate = out_.sampleRate;
    const double release = 0.25;
    const std::size_t start = out_.frameAt(time);
    const auto total = static_cast<std::size_t>((length + release) * rate);
    const auto p = kit::pan(pan);
    double phase = 0.0;
    double step = 0.0;
    kit::ValueNoise waver(random_.next(), 2.0, rate);
    for (std::size_t i = 0; i < total; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double pitch = fromMidi + (midi - fromMidi) * kit::rise(t, 0.0, glide);
        if (t < glide + 0.01 || i % 16 == 0)
            step = twoPi * frequency(pitch) / rate;
        const double vibrato =
            1.0 + 0.011 * kit::rise(t, 0.15, 0.35) * std::sin(twoPi * 5.6 * t) + 0.002 * waver.next();
        phase += step * vibrato;
        if (phase > twoPi)
            phase -= twoPi;
        const double env =
            kit::rise(t, 0.0, 0.07) * (1.0 - kit::rise(t, length, release)) * (1.0 + 0.08 * std::sin(twoPi * 0.7 * t));
        const double voice = std::sin(phase) + 0.12 * std::sin(2.0 * phase) + 0.05 * std::sin(3.0 * phase);
        const auto value = static_cast<float>(velocity * env * voice);
        add(start + i, value * p.left, value * p.right);
    }
}

void Instruments::drum(double time, double midi, float velocity)
{
    const int rate = out_.sampleRate;
    const double f = frequency(midi);
    const std::size_t start = out_.frameAt(time);
    const auto total = static_cast<std::size_t>(2.5 * rate);
    double phase1 = 0.0, phase2 = 0.0, phase3 = 0.0;
    Biquad thump(Biquad::Kind::lowPass, 300.0, 0.7, rate);
    for (std::size_t i = 0; i < total; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double bend = 1.0 + 0.04 * std::exp(-t / 0.05);
        phase1 += twoPi * f * bend / rate;
        phase2 += twoPi * f * 1.504 * bend / rate;
        phase3 += twoPi * f * 1.742 * bend / rate;
        const double tone = std::sin(phase1) * std::exp(-t / 0.7) + 0.4 * std::sin(phase2) * std::exp(-t / 0.35) +
                            0.25 * std::sin(phase3) * std::exp(-t / 0.25);
        const double attack = std::min(1.0, t / 0.003);
        const float noise = thump.process(random_.noise()) * static_cast<float>(std::exp(-t / 0.03));
        const auto value = static_cast<float>(velocity * attack * tone) + velocity * 1.5f * noise;
        add(start + i, value, value);
    }
}

void Instruments::wind(double time, double length, float velocity)
{
    const int rate = out_.sampleRate;
    const std::size_t start = out_.frameAt(time);
    const auto total = static_cast<std::size_t>(length * rate);
    Biquad bandL, bandR;
    kit::ValueNoise sweep(random_.next(), 0.35, rate);
    kit::ValueNoise gust(random_.next(), 0.8, rate);
    for (std::size_t i = 0; i < total; ++i) {
        const double t = static_cast<double>(i) / rate;
        if (i % 64 == 0) {
            const double centre = 420.0 + 260.0 * sweep.next();
            bandL.set(Biquad::Kind::bandPass, centre, 3.0, rate);
            bandR.set(Biquad::Kind::bandPass, centre * 1.07, 3.0, rate);
        }
        const double env = std::sin(std::numbers::pi * std::clamp(t / length, 0.0, 1.0)) * (0.75 + 0.25 * gust.next());
        const auto level = static_cast<float>(velocity * env);
        add(start + i, level * bandL.process(random_.noise()), level * bandR.process(random_.noise()));
    }
}

} // namespace gloam::forge::audio
