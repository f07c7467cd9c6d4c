#pragma once

#include "forge/audio/AudioBuffer.h"

#include <string_view>
#include <vector>

namespace gloam::forge::audio {

// The scene's effect sounds, synthesised from noise, oscillators and
// filters. Each is stereo at 44.1 kHz, starts on its first sample, peaks at
// -1 dBFS and fades to silence by the time its event ends, so that the scene
// can cut it at the event's end without a click.
struct CueSounds {
    struct Cue {
        std::string_view file;
        // Length of the event the sound accompanies, counted from the cue's
        // start; the sound is silent from here on.
        double eventLength;
        AudioBuffer (*make)();
        // What the sound is, for the credits.
        std::string_view description;
    };

    // Close lightning: a tearing crack rolling into a long rumble.
    static AudioBuffer thunder();
    // Distant thunder rolling over a hill: no crack, darker, softer onset.
    static AudioBuffer hillThunder();
    // A witch's broom whoosh passing right to left with a cackle.
    static AudioBuffer witch();
    // A pumpkin's flame catching with a warm whoosh, then flickering.
    static AudioBuffer pumpkin();
    // A breathy, rising ghostly moan.
    static AudioBuffer ghost();
    // Earth cracking, soil trickling and bones creaking as a hand reaches out.
    static AudioBuffer hand();
    // A charging station: plug-in zap, rising electric hum, four rising
    // beeps as the charge bars light, a full-charge chime.
    static AudioBuffer charger();
    // A swarm of bats bursting out: wing flutter and squeaks.
    static AudioBuffer bats();

    // Every cue file, in the order of the resource list.
    static const std::vector<Cue>& all();
};

} // namespace gloam::forge::audio
