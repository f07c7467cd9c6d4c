#include "engine/sound/SoundCueClock.h"

namespace gloam {

SoundCueSet SoundCueClock::advance(const SoundCueAges& ages)
{
    SoundCueSet starting;
    for (SoundCue cue : allSoundCues) {
        const auto age = ages[cue];
        if (!age || *age < 0.0) {
            continue;
        }
        const auto before = previous[cue];
        const bool fresh = !before && *age < startWindow;
        const bool reached = before && *before < 0.0;
        const bool again = before && *age < *before && *age < startWindow;
        if (fresh || reached || again) {
            starting.insert(cue);
        }
    }
    previous = ages;
    return starting;
}

} // namespace gloam
