#include "forge/audio/CueSounds.h"

#include "forge/audio/Biquad.h"
#include "forge/audio/Mastering.h"
#include "forge/audio/Random.h"
#include "forge/audio/Reverb.h"
#include "forge/audio/SynthKit.h"

#include <array>
#include <cmath>

namespace gloam::forge::audio {

namespace {

using kit::bump;
using kit::rise;
using kit::strike;
using kit::twoPi;
using Kind = Biquad::Kind;

constexpr int rate = 44100;
constexpr double tail = 0.05;     // silent frames after the event's end
constexpr float cuePeak = 0.891f; // -1 dBFS

double timeOf(std::size_t frame)
{
    return static_cast<double>(frame) / rate;
}

// DC out, edges shaped, peak set.
void finish(AudioBuffer& buffer, double eventLength, double fadeLength)
{
    Mastering::removeDc(buffer);
    Mastering::fadeOut(buffer, eventLength - 0.005, fadeLength);
    Mastering::fadeIn(buffer, 0.003);
    Mastering::normalise(buffer, cuePeak);
}

void addStereo(AudioBuffer& out, std::size_t i, float value, kit::Pan p)
{
    out.channels[0][i] += value * p.left;
    out.channels[1][i] += value * p.right;
}

// Short decaying noise bursts scattered in time: crackles, grains, pops.
struct Burst {
    double time;
    float amplitude;
    double decay;     // seconds
    double frequency; // band centre
    double pan;
};

void renderBursts(AudioBuffer& out, const std::vector<Burst>& bursts, double q, std::uint64_t seed)
{
    Random noise(seed);
    for (const auto& burst : bursts) {
        Biquad band(Kind::bandPass, burst.frequency, q, rate);
        const auto p = kit::pan(burst.pan);
        const std::size_t start = out.frameAt(burst.time);
        const std::size_t end =
            std::min(out.frameCount(), start + static_cast<std::size_t>(burst.decay * 7.0 * rate) + 1);
        for (std::size_t i = start; i < end; ++i) {
            const double x = timeOf(i - start);
            const float env = burst.amplitude * static_cast<float>(std::exp(-x / burst.decay));
            addStereo(out, i, band.process(noise.noise()) * env, p);
        }
    }
}

// Rumbling low noise shaped by a rolling envelope: the body of thunder.
struct RumbleShape {
    double cutoff;
    std::vector<std::array<double, 3>> rolls; // centre, width, height
    double onset;
    double decay;
    std::uint64_t seed;
};

void renderRumble(AudioBuffer& out, const RumbleShape& shape, float gain)
{
    std::array<kit::BrownNoise, 2> brown{kit::BrownNoise(shape.seed), kit::BrownNoise(shape.seed + 1)};
    kit::BrownNoise shared(shape.seed + 2);
    std::array<Biquad, 2> low1{Biquad(Kind::lowPass, shape.cutoff, 0.7, rate),
                               Biquad(Kind::lowPass, shape.cutoff, 0.7, rate)};
    std::array<Biquad, 2> low2 = low1;
    std::array<Biquad, 2> mid{Biquad(Kind::lowPass, shape.cutoff * 4.0, 0.6, rate),
                              Biquad(Kind::lowPass, shape.cutoff * 4.0, 0.6, rate)};
    std::array<Biquad, 2> subsonic{Biquad(Kind::highPass, 28.0, 0.7, rate), Biquad(Kind::highPass, 28.0, 0.7, rate)};
    kit::ValueNoise roll(shape.seed + 3, 6.0, rate);
    kit::ValueNoise grumble(shape.seed + 4, 19.0, rate);
    for (std::size_t i = 0; i < out.frameCount(); ++i) {
        const double t = timeOf(i);
        double rolls = 0.0;
        for (const auto& r : shape.rolls)
            rolls += r[2] * bump(t, r[0], r[1]);
        const double body = rise(t, 0.0, shape.onset) * std::exp(-t / shape.decay);
        const double env = (0.45 * body + rolls) * (0.72 + 0.28 * roll.next()) * (0.85 + 0.15 * grumble.next());
        const float common = shared.next();
        for (int c = 0; c < 2; ++c) {
            const float source = 0.6f * common + 0.4f * brown[static_cast<std::size_t>(c)].next();
            const auto cc = static_cast<std::size_t>(c);
            const float lowPart = low2[cc].process(low1[cc].process(source));
            const float midPart = mid[cc].process(source) - lowPart;
            const float value = subsonic[cc].process(3.2f * lowPart + 0.55f * midPart);
            out.channels[cc][i] += gain * static_cast<float>(env) * value;
        }
    }
}

// A bank of parallel resonances (formants of a voice or body modes).
struct Resonance {
    double frequency;
    double q;
    float gain;
};

class ResonatorBank {
public:
    explicit ResonatorBank(std::size_t count)
        : filters_(count)
        , gains_(count, 0.0f)
    {}
    void tune(std::size_t index, const Resonance& r)
    {
        filters_[index].set(Kind::bandPass, r.frequency, r.q, rate);
        gains_[index] = r.gain;
    }
    float process(float x)
    {
        float y = 0.0f;
        for (std::size_t k = 0; k < filters_.size(); ++k)
            y += gains_[k] * filters_[k].process(x);
        return y;
    }

private:
    std::vector<Biquad> filters_;
    std::vector<float> gains_;
};

void reverberate(AudioBuffer& buffer, float room, float damping, float wet, float preDelay = 0.01f)
{
    Reverb reverb(Reverb::Settings{room, damping, wet, 1.0f, 1.0f, preDelay}, buffer.sampleRate);
    reverb.process(buffer);
}

} // namespace

AudioBuffer CueSounds::thunder()
{
    constexpr double length = 3.1; // the strike lasts 3.2 s and its cue starts 0.1 s in
    auto out = AudioBuffer::seconds(length + tail);
    Random random(0x7001);

    // The crack: a sharp tearing burst of bright noise with crackles in it.
    {
        std::array<Biquad, 2> bright{Biquad(Kind::highPass, 1400.0, 0.7, rate),
                                     Biquad(Kind::highPass, 1400.0, 0.7, rate)};
        std::array<Biquad, 2> tear{Biquad(Kind::bandPass, 900.0, 0.7, rate), Biquad(Kind::bandPass, 900.0, 0.7, rate)};
        kit::ValueNoise rip(0x7002, 90.0, rate);
        const std::size_t end = out.frameAt(0.9);
        for (std::size_t i = 0; i < end; ++i) {
            const double t = timeOf(i);
            const double ripple = 0.55 + 0.45 * rip.next();
            for (std::size_t c = 0; c < 2; ++c) {
                const float n = random.noise();
                const float crack = bright[c].process(n) * static_cast<float>(strike(t, 0.0, 0.0015, 0.045));
                const float tearing = tear[c].process(n) * static_cast<float>(strike(t, 0.004, 0.01, 0.16) * ripple);
                out.channels[c][i] += 1.25f * crack + 1.1f * tearing;
            }
        }
        std::vector<Burst> crackles;
        for (int k = 0; k < 70; ++k) {
            const double time = 0.35 * std::pow(random.uniform(), 2.2);
            crackles.push_back({time, static_cast<float>(random.range(0.2, 1.0) * std::exp(-time / 0.12)),
                                random.range(0.0008, 0.003), random.range(1800.0, 6500.0), random.range(-0.5, 0.5)});
        }
        renderBursts(out, crackles, 1.4, 0x7003);
    }

    // The rolling rumble that follows, echoing off the hills.
    renderRumble(out,
                 RumbleShape{170.0,
                             {{0.22, 0.09, 0.9},
                              {0.5, 0.16, 1.0},
                              {0.95, 0.22, 0.75},
                              {1.45, 0.25, 0.55},
                              {2.0, 0.3, 0.32},
                              {2.55, 0.3, 0.14}},
                             0.05,
                             1.1,
                             0x7010},
                 0.9f);

    reverberate(out, 0.86f, 0.45f, 0.22f, 0.015f);
    finish(out, length, 0.7);
    return out;
}

AudioBuffer CueSounds::hillThunder()
{
    constexpr double length = 2.3; // from the hill flash to the end of the opening
    auto out = AudioBuffer::seconds(length + tail);
    // Distance took the crack's highs away: a muffled thump, then the roll.
    {
        Random random(0x4101);
        std::array<Biquad, 2> muffled{Biquad(Kind::lowPass, 380.0, 0.7, rate), Biquad(Kind::lowPass, 380.0, 0.7, rate)};
        const std::size_t end = out.frameAt(1.0);
        for (std::size_t i = 0; i < end; ++i) {
            const double t = timeOf(i);
            for (std::size_t c = 0; c < 2; ++c)
                out.channels[c][i] +=
                    1.4f * muffled[c].process(random.noise()) * static_cast<float>(strike(t, 0.0, 0.01, 0.12));
        }
    }
    renderRumble(
        out,
        RumbleShape{
            110.0, {{0.3, 0.15, 0.8}, {0.75, 0.25, 1.0}, {1.3, 0.3, 0.7}, {1.85, 0.3, 0.35}}, 0.08, 1.0, 0x4110},
        1.0f);
    // Far away and to the right of the picture.
    for (auto& s : out.channels[0])
        s *= 0.8f;
    reverberate(out, 0.9f, 0.6f, 0.3f, 0.03f);
    finish(out, length, 0.6);
    return out;
}

AudioBuffer CueSounds::witch()
{
    constexpr double length = 3.25; // flight 2.85 s and its 0.4 s fade
    auto out = AudioBuffer::seconds(length + tail);
    Random random(0x3001);
    auto panAt = [&](double t) { return 0.85 - 1.7 * std::min(t / length, 1.0); }; // right to left

    // Broom whoosh: a swept band of wind passing by, with a bright swish that
    // flutters with the cape.
    {
        Biquad band;
        Biquad swish(Kind::highPass, 2600.0, 0.7, rate);
        kit::ValueNoise gust(0x3002, 5.0, rate);
        for (std::size_t i = 0; i < out.frameCount(); ++i) {
            const double t = timeOf(i);
            if (i % 32 == 0)
                band.set(Kind::bandPass, 380.0 + 1100.0 * bump(t, 1.35, 0.55) + 120.0 * t, 1.1, rate);
            const double env = (0.3 + 0.7 * bump(t, 1.35, 0.75)) * (0.8 + 0.2 * gust.next());
            const double flutter = 0.55 + 0.45 * std::sin(twoPi * 11.0 * t + 2.0 * std::sin(twoPi * 1.3 * t));
            const float n = random.noise();
            const float value = 3.6f * band.process(n) * static_cast<float>(env) +
                                0.08f * swish.process(n) * static_cast<float>(env * flutter);
            addStereo(out, i, value, kit::pan(panAt(t)));
        }
    }

    // The cackle: a high, raspy voice (harmonics through vowel formants),
    // "heh-heh-heh..." falling in pitch, then a long gliding "haaa".
    {
        struct Syllable {
            double start;
            double length;
            double pitchFrom;
            double pitchTo;
            bool open; // "ah" rather than "eh"
        };
        std::vector<Syllable> syllables;
        double start = 0.42;
        for (int k = 0; k < 8; ++k) {
            const double pitch = 610.0 * (1.0 - 0.03 * k) * random.range(0.97, 1.03);
            syllables.push_back({start, 0.082, pitch, pitch * 0.93, false});
            start += random.range(0.125, 0.145);
        }
        syllables.push_back({start + 0.04, 0.55, 660.0, 360.0, true});

        ResonatorBank vowel(4);
        kit::ValueNoise jitter(0x3003, 35.0, rate);
        Biquad breathBand(Kind::highPass, 1200.0, 0.7, rate);
        double phase = 0.0;
        for (const auto& s : syllables) {
            const std::size_t first = out.frameAt(s.start);
            const std::size_t last = std::min(out.frameCount(), out.frameAt(s.start + s.length + 0.03));
            for (std::size_t i = first; i < last; ++i) {
                const double u = timeOf(i - first);
                const double x = std::min(u / s.length, 1.0);
                if ((i - first) % 32 == 0) {
                    const double open = s.open ? kit::smoothstep(x * 3.0) : 0.0;
                    // A crone's pinched, nasal "eh" opening to "ah": broad
                    // formants so the harmonics come through raspy and bright.
                    vowel.tune(0, {600.0 + 250.0 * open, 3.0, 0.8f});
                    vowel.tune(1, {1900.0 - 650.0 * open, 4.5, 1.0f});
                    vowel.tune(2, {2800.0, 6.0, 0.8f});
                    vowel.tune(3, {3700.0, 7.0, 0.45f});
                }
                const double f0 = (s.pitchFrom + (s.pitchTo - s.pitchFrom) * x) * (1.0 + 0.025 * jitter.next()) *
                                  (1.0 + 0.02 * std::sin(twoPi * 7.0 * u));
                phase += twoPi * f0 / rate;
                if (phase > twoPi)
                    phase -= twoPi;
                double source = 0.0;
                const int harmonics = static_cast<int>(5200.0 / f0);
                for (int k = 1; k <= harmonics; ++k)
                    source += std::sin(k * phase) / std::pow(k, 0.8);
                const double voiced = rise(u, 0.012, 0.02) * (1.0 - rise(u, s.length - 0.035, 0.05));
                const double aspiration = std::exp(-u / 0.02) * 0.9 + 0.12 * voiced;
                const float rasp = random.noise();
                const float excitation = static_cast<float>(voiced * source * (0.85 + 0.15 * rasp)) +
                                         static_cast<float>(aspiration) * 2.5f * breathBand.process(rasp);
                addStereo(out, i, 1.3f * vowel.process(excitation), kit::pan(panAt(timeOf(i)) * 0.8));
            }
        }
    }

    reverberate(out, 0.7f, 0.5f, 0.16f, 0.02f);
    finish(out, length, 0.5);
    return out;
}

AudioBuffer CueSounds::pumpkin()
{
    constexpr double length = 6.0; // the glow lasts 6 s and falls from 5.7 s
    auto out = AudioBuffer::seconds(length + tail);
    Random random(0x5001);

    // Catching: a warm "fwoomp" as the flame takes, a low body thump under it.
    {
        std::array<Biquad, 2> sweep;
        double thumpPhase = 0.0;
        for (std::size_t i = 0; i < out.frameAt(1.4); ++i) {
            const double t = timeOf(i);
            if (i % 32 == 0) {
                const double cutoff = 180.0 + 2200.0 * rise(t, 0.0, 0.16) * (1.0 - 0.7 * rise(t, 0.18, 0.6));
                for (auto& f : sweep)
                    f.set(Kind::lowPass, cutoff, 1.3, rate);
            }
            const double env = rise(t, 0.0, 0.07) * std::exp(-std::max(t - 0.12, 0.0) / 0.35);
            thumpPhase += twoPi * (70.0 - 25.0 * rise(t, 0.0, 0.3)) / rate;
            const float thump = static_cast<float>(std::sin(thumpPhase) * strike(t, 0.0, 0.02, 0.16));
            for (std::size_t c = 0; c < 2; ++c)
                out.channels[c][i] += 2.2f * sweep[c].process(random.noise()) * static_cast<float>(env) + 0.6f * thump;
        }
    }

    // Burning: a soft roar that flickers, a little hiss, and crackles.
    {
        std::array<kit::BrownNoise, 2> roar{kit::BrownNoise(0x5002), kit::BrownNoise(0x5003)};
        std::array<Biquad, 2> warm{Biquad(Kind::lowPass, 800.0, 0.7, rate), Biquad(Kind::lowPass, 800.0, 0.7, rate)};
        std::array<Biquad, 2> hiss{Biquad(Kind::highPass, 3500.0, 0.7, rate),
                                   Biquad(Kind::highPass, 3500.0, 0.7, rate)};
        kit::ValueNoise flicker(0x5004, 4.0, rate);
        kit::ValueNoise flutter(0x5005, 13.0, rate);
        for (std::size_t i = 0; i < out.frameCount(); ++i) {
            const double t = timeOf(i);
            const double glow = rise(t, 0.05, 0.25);
            const double level = glow * (0.7 + 0.22 * flicker.next() + 0.08 * flutter.next());
            for (std::size_t c = 0; c < 2; ++c) {
                const float body = warm[c].process(roar[c].next());
                const float air = hiss[c].process(random.noise());
                out.channels[c][i] += static_cast<float>(level) * (0.5f * body + 0.02f * air);
            }
        }
        std::vector<Burst> crackles;
        double t = 0.12;
        while (t < length) {
            t += -std::log(1.0 - random.uniform()) / 14.0; // about fourteen pops a second
            const double size = std::pow(random.uniform(), 1.5);
            crackles.push_back({t, static_cast<float>(0.35 + 1.4 * size), random.range(0.0006, 0.0025),
                                random.range(1800.0, 5200.0), random.range(-0.35, 0.35)});
        }
        renderBursts(out, crackles, 1.2, 0x5006);
    }

    reverberate(out, 0.5f, 0.6f, 0.12f);
    finish(out, length, 0.3);
    return out;
}

AudioBuffer CueSounds::ghost()
{
    constexpr double length = 1.65; // the ghost rises for 1.65 s
    auto out = AudioBuffer::seconds(length + tail);
    Random random(0x6001);

    // Breath: noise through an "oo" vowel, swelling as the ghost rises.
    ResonatorBank breath(3);
    breath.tune(0, {320.0, 4.0, 1.0f});
    breath.tune(1, {880.0, 5.0, 0.6f});
    breath.tune(2, {2300.0, 6.0, 0.25f});
    Biquad whooshBand;
    // Moan: a hollow voice gliding upward with a slow, uneasy vibrato.
    ResonatorBank mouth(3);
    mouth.tune(0, {340.0, 5.0, 1.0f});
    mouth.tune(1, {900.0, 6.0, 0.45f});
    mouth.tune(2, {2400.0, 8.0, 0.15f});
    double phase = 0.0;
    double phase2 = 0.0;
    for (std::size_t i = 0; i < out.frameCount(); ++i) {
        const double t = timeOf(i);
        if (i % 32 == 0)
            whooshBand.set(Biquad::Kind::bandPass, 260.0 + 1300.0 * rise(t, 0.0, 1.5), 1.4, rate);
        const double glide = rise(t, 0.1, 1.2);
        const double f0 = (190.0 + 190.0 * glide) * (1.0 + 0.018 * std::sin(twoPi * 5.2 * t + 1.5 * t * t));
        phase += twoPi * f0 / rate;
        phase2 += twoPi * f0 * 1.006 / rate;
        const double tone =
            std::sin(phase) + 0.35 * std::sin(2.0 * phase) + 0.12 * std::sin(3.0 * phase) + 0.5 * std::sin(phase2);
        const double moanLevel = rise(t, 0.08, 0.6) * 1.4;
        const double breathLevel = 0.35 + 0.65 * rise(t, 0.0, 0.9);
        const float n = random.noise();
        const float voice = mouth.process(static_cast<float>(tone * moanLevel) + 0.15f * n);
        const float air = breath.process(n) * static_cast<float>(breathLevel) +
                          0.6f * whooshBand.process(n) * static_cast<float>(breathLevel);
        const auto p = kit::pan(0.25 * std::sin(twoPi * 0.7 * t));
        out.channels[0][i] += (voice + air) * p.left;
        out.channels[1][i] += (voice + 0.9f * air) * p.right;
    }

    reverberate(out, 0.92f, 0.3f, 0.45f, 0.03f);
    finish(out, length, 0.35);
    return out;
}

AudioBuffer CueSounds::hand()
{
    constexpr double length = 3.65; // the hand's whole reach
    auto out = AudioBuffer::seconds(length + tail);
    Random random(0x2001);

    // Earth breaking: a low thud, sharp cracks, then crumbling soil.
    {
        double phase = 0.0;
        Biquad dull(Kind::lowPass, 240.0, 0.8, rate);
        for (std::size_t i = 0; i < out.frameAt(0.8); ++i) {
            const double t = timeOf(i);
            phase += twoPi * (62.0 - 20.0 * rise(t, 0.0, 0.25)) / rate;
            const float thud = static_cast<float>(std::sin(phase) * strike(t, 0.0, 0.004, 0.12)) +
                               2.0f * dull.process(random.noise()) * static_cast<float>(strike(t, 0.0, 0.003, 0.09));
            addStereo(out, i, 0.45f * thud, kit::pan(-0.1));
        }
        std::vector<Burst> grains;
        for (double crackTime : {0.0, 0.31, 0.74, 1.12}) {
            const int count = static_cast<int>(random.range(6.0, 12.0));
            for (int k = 0; k < count; ++k)
                grains.push_back({crackTime + random.range(0.0, 0.05), static_cast<float>(random.range(0.6, 1.4)),
                                  random.range(0.0008, 0.003), random.range(1200.0, 4200.0), random.range(-0.4, 0.2)});
        }
        double t = 0.0;
        while (t < 2.6) {
            const double density = 140.0 * std::exp(-t / 0.7) + 12.0;
            t += -std::log(1.0 - random.uniform()) / density;
            grains.push_back({t, static_cast<float>(random.range(0.04, 0.22) * (0.4 + 0.6 * std::exp(-t / 1.2))),
                              random.range(0.003, 0.018), random.range(350.0, 2600.0), random.range(-0.5, 0.4)});
        }
        renderBursts(out, grains, 1.6, 0x2002);
    }

    // Bones creaking: stick-slip friction pulses ringing a bony body, the
    // pulse rate rising and falling with each bend of the fingers.
    {
        struct Creak {
            double start;
            double length;
            double rateFrom;
            double ratePeak;
            float level;
        };
        const std::array<Creak, 4> creaks{{{0.55, 0.75, 35.0, 120.0, 0.8f},
                                           {1.45, 0.55, 50.0, 150.0, 0.65f},
                                           {2.1, 0.9, 28.0, 95.0, 0.9f},
                                           {3.05, 0.45, 60.0, 140.0, 0.5f}}};
        ResonatorBank body(4);
        body.tune(0, {720.0, 14.0, 1.0f});
        body.tune(1, {1340.0, 16.0, 0.8f});
        body.tune(2, {2450.0, 18.0, 0.55f});
        body.tune(3, {3900.0, 18.0, 0.3f});
        kit::ValueNoise wobble(0x2003, 9.0, rate);
        for (const auto& creak : creaks) {
            const std::size_t first = out.frameAt(creak.start);
            const std::size_t last = std::min(out.frameCount(), out.frameAt(creak.start + creak.length + 0.15));
            double phase = 0.0;
            for (std::size_t i = first; i < last; ++i) {
                const double u = timeOf(i - first);
                const double x = u / creak.length;
                const double pulseRate = (creak.rateFrom + (creak.ratePeak - creak.rateFrom) *
                                                               std::sin(std::numbers::pi * std::min(x, 1.0))) *
                                         (1.0 + 0.25 * wobble.next());
                phase += pulseRate / rate;
                float pulse = 0.0f;
                if (phase >= 1.0) {
                    phase -= std::floor(phase);
                    pulse = static_cast<float>(random.range(0.5, 1.0));
                }
                const double env = rise(u, 0.0, 0.06) * (1.0 - rise(u, creak.length - 0.1, 0.12));
                const float excitation = pulse * 6.0f + 0.05f * random.noise();
                addStereo(out, i, 1.5f * creak.level * static_cast<float>(env) * body.process(excitation),
                          kit::pan(0.15));
            }
        }
        // Knuckles settling.
        std::vector<Burst> knuckles;
        for (double time : {1.92, 2.07, 2.19, 3.4})
            knuckles.push_back({time, 0.9f, 0.0015, random.range(2500.0, 3800.0), 0.1});
        renderBursts(out, knuckles, 2.5, 0x2004);
    }

    // Soil trickling off the hand the whole time.
    {
        Biquad sand(Kind::highPass, 2200.0, 0.7, rate);
        kit::ValueNoise trickle(0x2005, 25.0, rate);
        for (std::size_t i = 0; i < out.frameCount(); ++i) {
            const double t = timeOf(i);
            const double level = 0.05 * rise(t, 0.2, 0.5) * std::max(0.0, 0.5 + 0.5 * trickle.next());
            addStereo(out, i, static_cast<float>(level) * sand.process(random.noise()), kit::pan(-0.2));
        }
    }

    reverberate(out, 0.55f, 0.5f, 0.12f);
    finish(out, length, 0.35);
    return out;
}

AudioBuffer CueSounds::charger()
{
    constexpr double length = 15.2;    // the surprise lasts 19 s, its cue starts 3.8 s in
    constexpr double fadeStart = 12.7; // the station fades out over its last 2.5 s
    constexpr double chargeTime = 5.6; // the charge level rises over 5.6 s
    auto out = AudioBuffer::seconds(length + tail);
    Random random(0x1001);

    // Plugging in: a plastic clack and a spitting spark.
    {
        std::vector<Burst> clack{
            {0.0, 1.0f, 0.004, 2100.0, -0.1}, {0.0, 0.6f, 0.002, 4300.0, -0.1}, {0.045, 0.5f, 0.003, 1700.0, -0.1}};
        double t = 0.03;
        while (t < 0.42) {
            t += -std::log(1.0 - random.uniform()) / (260.0 * std::exp(-(t - 0.03) / 0.18));
            clack.push_back({t, static_cast<float>(random.range(0.15, 0.55)), random.range(0.0003, 0.0012),
                             random.range(3000.0, 9000.0), random.range(-0.3, 0.2)});
        }
        renderBursts(out, clack, 1.3, 0x1002);
        double phase = 0.0;
        for (std::size_t i = 0; i < out.frameAt(0.45); ++i) {
            const double t2 = timeOf(i);
            phase += 120.0 / rate;
            const double saw = 2.0 * (phase - std::floor(phase)) - 1.0;
            addStereo(out, i, static_cast<float>(0.18 * saw * strike(t2, 0.02, 0.01, 0.1)), kit::pan(-0.1));
        }
    }

    // The charge: mains hum, and a whine that climbs with the charge level.
    {
        const auto charge = [&](double t) { return kit::smoothstep(t / chargeTime); };
        // Mains hum and its buzz repeat exactly every 1/50 s: one period,
        // computed once, serves the whole sound.
        constexpr int period = rate / 50;
        std::vector<float> humTable(period), buzzTable(period);
        for (int j = 0; j < period; ++j) {
            const double phase = twoPi * j / period;
            double hum = 0.0;
            for (int h = 1; h <= 9; ++h)
                hum += std::sin(h * phase) * ((h % 2 == 0) ? 0.9 : 0.35) / h;
            humTable[static_cast<std::size_t>(j)] = static_cast<float>(hum);
            buzzTable[static_cast<std::size_t>(j)] = static_cast<float>(std::tanh(3.0 * std::sin(2.0 * phase)));
        }
        double whinePhase = 0.0;
        kit::ValueNoise waver(0x1003, 3.0, rate);
        Biquad buzzTone(Kind::bandPass, 1900.0, 2.0, rate);
        for (std::size_t i = 0; i < out.frameCount(); ++i) {
            const double t = timeOf(i);
            const double k = charge(t);
            const double on = rise(t, 0.05, 0.45);
            const double hum = humTable[i % period];
            const float buzz = buzzTone.process(buzzTable[i % period]);
            const double whineFreq = 420.0 + 1250.0 * k - 140.0 * rise(t, chargeTime, 1.2);
            whinePhase += twoPi * whineFreq / rate;
            const double whine = std::sin(whinePhase) + 0.25 * std::sin(2.0 * whinePhase);
            const double whineLevel =
                (0.05 + 0.1 * k) * (1.0 - 0.6 * rise(t, chargeTime, 1.5)) * (1.0 + 0.15 * waver.next());
            const double value = on * (0.28 * hum + 0.06 * buzz + whineLevel * whine * 0.7);
            addStereo(out, i, static_cast<float>(value), kit::pan(-0.1));
        }
    }

    // Beeps as each of the four bars lights, then a two-note "full" chime.
    {
        struct Beep {
            double time;
            double frequency;
            double length;
        };
        std::vector<Beep> beeps;
        const std::array<double, 4> notes{880.0, 1046.5, 1318.5, 1568.0};
        for (int bar = 0; bar < 4; ++bar) {
            // The bar lights when the smoothstep charge passes 0.21 (bar + 1).
            const double level = 0.21 * (bar + 1);
            double lo = 0.0, hi = 1.0;
            for (int step = 0; step < 40; ++step) {
                const double mid = 0.5 * (lo + hi);
                (kit::smoothstep(mid) < level ? lo : hi) = mid;
            }
            beeps.push_back({lo * chargeTime, notes[static_cast<std::size_t>(bar)], 0.11});
        }
        beeps.push_back({chargeTime, 1760.0, 0.1});
        beeps.push_back({chargeTime + 0.14, 2093.0, 0.22});
        for (const auto& beep : beeps) {
            const std::size_t first = out.frameAt(beep.time);
            const std::size_t last = std::min(out.frameCount(), out.frameAt(beep.time + beep.length + 0.01));
            for (std::size_t i = first; i < last; ++i) {
                const double u = timeOf(i - first);
                const double env = rise(u, 0.0, 0.004) * (1.0 - rise(u, beep.length - 0.012, 0.012));
                const double w = twoPi * beep.frequency * u;
                const double tone = std::sin(w) + 0.18 * std::sin(3.0 * w) + 0.06 * std::sin(5.0 * w);
                addStereo(out, i, static_cast<float>(0.3 * env * tone), kit::pan(-0.15));
            }
        }
    }

    // Now and then a small spark while the current flows.
    {
        std::vector<Burst> sparks;
        double t = 0.6;
        while (t < fadeStart) {
            t += random.range(0.6, 1.9);
            const int count = static_cast<int>(random.range(3.0, 9.0));
            for (int k = 0; k < count; ++k)
                sparks.push_back({t + random.range(0.0, 0.06), static_cast<float>(random.range(0.05, 0.16)),
                                  random.range(0.0003, 0.001), random.range(3500.0, 8000.0), random.range(-0.3, 0.1)});
        }
        renderBursts(out, sparks, 1.2, 0x1004);
    }

    reverberate(out, 0.45f, 0.5f, 0.1f);
    finish(out, length, length - fadeStart);
    return out;
}

AudioBuffer CueSounds::bats()
{
    constexpr double length = 3.65; // the swarm flies for 3.35 s, the last bat 0.275 s late
    constexpr int batCount = 25;
    auto out = AudioBuffer::seconds(length + tail);
    Random random(0x8001);

    std::vector<Burst> wingBeats;
    std::vector<Burst> squeakTimes;
    for (int i = 0; i < batCount; ++i) {
        const double delay = 0.055 * (i % 6);
        const double angle = i * 2.39996;
        const double beatRate = random.range(8.5, 12.5);
        double t = delay + random.range(0.0, 0.08);
        while (t < length) {
            const double w = t - delay;
            const double radius = w * (0.65 + 0.1 * (i % 5)) + 0.12;
            const double position = std::sin(angle) * radius / 1.2;
            // Loud as they burst out towards the camera, fading as they scatter.
            const double level = rise(w, 0.0, 0.15) * std::exp(-w / 1.5) * random.range(0.6, 1.0);
            wingBeats.push_back(
                {t, static_cast<float>(level), random.range(0.008, 0.016), random.range(500.0, 1300.0), position});
            t += 1.0 / (beatRate * random.range(0.93, 1.07));
        }
        const int squeaks = 1 + static_cast<int>(random.range(0.0, 2.5));
        for (int k = 0; k < squeaks; ++k) {
            const double w = random.range(0.05, 2.6);
            const double radius = w * (0.65 + 0.1 * (i % 5)) + 0.12;
            squeakTimes.push_back({delay + w, static_cast<float>(std::exp(-w / 1.8) * random.range(0.5, 1.0)),
                                   random.range(0.025, 0.05), random.range(5500.0, 8000.0),
                                   std::sin(angle) * radius / 1.2});
        }
    }
    renderBursts(out, wingBeats, 0.9, 0x8002);

    // The rush of the whole swarm bursting out at once.
    {
        std::array<Biquad, 2> rush{Biquad(Kind::bandPass, 900.0, 0.8, rate), Biquad(Kind::bandPass, 1100.0, 0.8, rate)};
        kit::ValueNoise flap(0x8003, 40.0, rate);
        for (std::size_t i = 0; i < out.frameAt(1.5); ++i) {
            const double t = timeOf(i);
            const double env = strike(t, 0.0, 0.01, 0.3) * (0.6 + 0.4 * flap.next());
            for (std::size_t c = 0; c < 2; ++c)
                out.channels[c][i] += 0.5f * rush[c].process(random.noise()) * static_cast<float>(env);
        }
    }

    // A squeak: a short falling chirp with a trace of its octave.
    for (const auto& squeak : squeakTimes) {
        const std::size_t first = out.frameAt(squeak.time);
        const std::size_t last = std::min(out.frameCount(), out.frameAt(squeak.time + squeak.decay));
        const double fall = random.range(0.45, 0.65);
        const auto p = kit::pan(squeak.pan);
        double phase = 0.0;
        for (std::size_t i = first; i < last; ++i) {
            const double x = timeOf(i - first) / squeak.decay;
            const double f = squeak.frequency * (1.0 - (1.0 - fall) * x) * (1.0 + 0.04 * std::sin(twoPi * 3.0 * x));
            phase += twoPi * f / rate;
            const double env = std::sin(std::numbers::pi * x);
            addStereo(out, i,
                      static_cast<float>(0.22 * squeak.amplitude * env * env *
                                         (std::sin(phase) + 0.2 * std::sin(2.0 * phase))),
                      p);
        }
    }

    reverberate(out, 0.6f, 0.4f, 0.14f);
    finish(out, length, 0.5);
    return out;
}

const std::vector<CueSounds::Cue>& CueSounds::all()
{
    static const std::vector<Cue> cues{
        {"thunder.wav", 3.1, &CueSounds::thunder, "a close lightning crack rolling into thunder"},
        {"witch.wav", 3.25, &CueSounds::witch, "a witch's broom whoosh passing right to left, with her cackle"},
        {"pumpkin.wav", 6.0, &CueSounds::pumpkin,
         "a pumpkin's flame catching with a warm whoosh, then flickering and crackling"},
        {"ghost.wav", 1.65, &CueSounds::ghost, "a breathy ghostly moan rising"},
        {"hand.wav", 3.65, &CueSounds::hand, "earth cracking, soil trickling and bones creaking as a hand reaches out"},
        {"charger.wav", 15.2, &CueSounds::charger,
         "a charging station: plug-in spark, electric hum and whine, rising beeps and a full-charge chime"},
        {"hill-thunder.wav", 2.3, &CueSounds::hillThunder, "distant thunder rolling over a hill"},
        {"bats.wav", 3.65, &CueSounds::bats, "a swarm of bats bursting out: wing flutter and squeaks"},
    };
    return cues;
}

} // namespace gloam::forge::audio
