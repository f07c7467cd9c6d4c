#pragma once

#include "engine/sound/SoundMode.h"

namespace gloam {

// Sound on/off and volume per sound mode. Sound is off by default; the
// preview never has sound and nothing is stored for it.
class SoundPreference {
public:
    static bool enabled(SoundMode mode);
    // 0 to 1; 0.75 when nothing is stored, 0 when what is stored is not a number.
    static float volume(SoundMode mode);
    static void save(SoundMode mode, bool enabled, float volume);
    // Stores the volume alone, leaving the on/off choice as it is on disk: a
    // slider's value may be stored after the switch was flipped.
    static void saveVolume(SoundMode mode, float volume);
};

} // namespace gloam
