#pragma once

#include "forge/audio/AudioBuffer.h"

namespace gloam::forge::audio {

// "Orlenz", the opening music: a playful, eerie waltz in D minor at 84
// beats a minute (one bar = 15/7 s, 42 bars = 90 s). A music box carries
// the tune over plucked strings and a low organ; a theremin-like voice
// sings the middle section. The form follows the opening: the title
// lightning falls on bar 2 with a drum stroke, a music-box run flies out
// with the bats, a theremin swoops in with the witch, and the piece plays
// on under the scene until its last chord dies away just before 90 s.
struct OrlenzMusic {
    static constexpr double tempo = 84.0;
    static constexpr double beat = 60.0 / tempo;
    static constexpr double bar = 3.0 * beat;
    static constexpr double length = 90.6; // file length in seconds
    static constexpr double ending = 89.9; // silence from here on

    static AudioBuffer render();
};

} // namespace gloam::forge::audio
