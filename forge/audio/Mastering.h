#pragma once

#include "forge/audio/AudioBuffer.h"

namespace gloam::forge::audio {

// The last steps every sound goes through before it is written: DC removed,
// peak set, and the edges shaped so that playback neither clicks on entry
// nor on exit.
struct Mastering {
    // Removes any constant offset with a gentle DC blocker.
    static void removeDc(AudioBuffer& buffer);
    // Scales the whole buffer so that its largest sample is `peak` (linear).
    static void normalise(AudioBuffer& buffer, float peak);
    // Raised-cosine fade over `length` seconds from the first frame.
    static void fadeIn(AudioBuffer& buffer, double length);
    // Raised-cosine fade that reaches silence at `end` seconds (everything
    // after is silent) and starts `length` seconds before it.
    static void fadeOut(AudioBuffer& buffer, double end, double length);
    // Peak (largest absolute sample) of all channels.
    static float peak(const AudioBuffer& buffer);
    // Soft saturation above `knee` (linear), keeping the signal below 1.
    static void softLimit(AudioBuffer& buffer, float knee);
};

} // namespace gloam::forge::audio
