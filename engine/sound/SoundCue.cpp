#include "engine/sound/SoundCue.h"

#include <algorithm>

namespace gloam {

namespace {

struct CueEntry {
    std::string_view raw;
    std::string_view file;
    float gain;
};

constexpr std::array<CueEntry, soundCueCount> cueTable{{
    {"thunder", "thunder.wav", 0.2F},
    {"witch", "witch.wav", 0.18F},
    {"pumpkin", "pumpkin.wav", 0.12F},
    {"ghost", "ghost.wav", 0.13F},
    {"hand", "hand.wav", 0.32F},
    {"charger", "charger.wav", 0.18F},
    {"titleThunder", "thunder.wav", 0.14F},
    {"hillThunder", "hill-thunder.wav", 0.17F},
    {"openingWitch", "witch.wav", 0.18F},
    {"bats", "bats.wav", 0.28F},
}};

} // namespace

std::string_view rawValue(SoundCue cue)
{
    return cueTable[index(cue)].raw;
}

std::optional<SoundCue> soundCueFromRawValue(std::string_view raw)
{
    for (SoundCue cue : allSoundCues) {
        if (rawValue(cue) == raw) {
            return cue;
        }
    }
    return std::nullopt;
}

std::string_view file(SoundCue cue)
{
    return cueTable[index(cue)].file;
}

float gain(SoundCue cue)
{
    return cueTable[index(cue)].gain;
}

bool SoundCueAges::empty() const
{
    return std::none_of(ages_.begin(), ages_.end(), [](const auto& age) { return age.has_value(); });
}

bool SoundCueSet::empty() const
{
    return std::none_of(members_.begin(), members_.end(), [](bool member) { return member; });
}

} // namespace gloam
