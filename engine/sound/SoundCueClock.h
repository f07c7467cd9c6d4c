#pragma once

#include "engine/sound/SoundCue.h"

namespace gloam {

// Tells from one frame's cue ages to the next which cues have just begun,
// so that a sound starts once per event and never in the middle of one.
struct SoundCueClock {
    // A cue may start only within this many seconds of its event's start.
    static constexpr double startWindow = 0.25;

    SoundCueAges previous;

    // The cues starting in this step, in cue order.
    SoundCueSet advance(const SoundCueAges& ages);
    void reset() { previous = {}; }
};

} // namespace gloam
