#pragma once

#include "forge/audio/AudioBuffer.h"
#include "forge/audio/Random.h"

namespace gloam::forge::audio {

// The music's instruments, each synthesised note by note into a stereo
// buffer: a music box, a low pipe organ, plucked strings, a theremin-like
// lead, a soft kettle drum and a wind drone. Times are seconds, pitches
// MIDI note numbers, pan -1 (left) to +1 (right).
class Instruments {
public:
    explicit Instruments(AudioBuffer& out, std::uint64_t seed)
        : out_(out)
        , random_(seed)
    {}

    static double frequency(double midi);

    // A struck steel tooth: a bright, long-ringing sine with quickly dying
    // upper modes and a tiny strike noise. `ring` scales how long it rings
    // (1 for running notes, more for a last note left to die away).
    void musicBox(double time, double midi, float velocity, double pan, double ring = 1.0);
    // Pipe organ: soft-attacked drawbar harmonics with a slow, swirling
    // tremolo, slightly different on each side.
    void organ(double time, double length, double midi, float velocity);
    // Plucked string (Karplus-Strong) with a wooden body resonance.
    void pluck(double time, double midi, float velocity, double pan, double brightness = 0.5);
    // A sliding, wavering sine voice; it glides from `fromMidi` into the
    // note over `glide` seconds.
    void theremin(double time, double length, double midi, double fromMidi, float velocity, double pan,
                  double glide = 0.09);
    // A soft kettle-drum stroke.
    void drum(double time, double midi, float velocity);
    // A low wind of filtered noise swelling between `time` and time + length.
    void wind(double time, double length, float velocity);

private:
    void add(std::size_t frame, float left, float right)
    {
        if (frame < out_.frameCount()) {
            out_.channels[0][frame] += left;
            out_.channels[1][frame] += right;
        }
    }

    AudioBuffer& out_;
    Random random_;
};

} // namespace gloam::forge::audio
