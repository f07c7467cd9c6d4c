#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace gloam {

// The scene's effect and opening sounds, in their fixed order.
enum class SoundCue {
    thunder,
    witch,
    pumpkin,
    ghost,
    hand,
    charger,
    titleThunder,
    hillThunder,
    openingWitch,
    bats,
};

inline constexpr std::size_t soundCueCount = 10;
inline constexpr std::array<SoundCue, soundCueCount> allSoundCues{
    SoundCue::thunder, SoundCue::witch,        SoundCue::pumpkin,     SoundCue::ghost,        SoundCue::hand,
    SoundCue::charger, SoundCue::titleThunder, SoundCue::hillThunder, SoundCue::openingWitch, SoundCue::bats,
};

constexpr std::size_t index(SoundCue cue)
{
    return static_cast<std::size_t>(cue);
}

std::string_view rawValue(SoundCue cue);
std::optional<SoundCue> soundCueFromRawValue(std::string_view raw);
// The cue's file in the resources' "Audio" folder.
std::string_view file(SoundCue cue);
// The cue's level before the master volume.
float gain(SoundCue cue);

// Seconds since each cue's event reached its sound, for the cues whose event
// is under way. A fixed-size map, so that a frame's ages cost no allocation.
class SoundCueAges {
public:
    void set(SoundCue cue, double age) { ages_[index(cue)] = age; }
    void erase(SoundCue cue) { ages_[index(cue)].reset(); }
    std::optional<double> operator[](SoundCue cue) const { return ages_[index(cue)]; }
    bool empty() const;
    bool operator==(const SoundCueAges&) const = default;

private:
    std::array<std::optional<double>, soundCueCount> ages_{};
};

// A set of cues, in cue order.
class SoundCueSet {
public:
    void insert(SoundCue cue) { members_[index(cue)] = true; }
    void erase(SoundCue cue) { members_[index(cue)] = false; }
    bool contains(SoundCue cue) const { return members_[index(cue)]; }
    bool empty() const;
    void clear() { members_ = {}; }
    bool operator==(const SoundCueSet&) const = default;

private:
    std::array<bool, soundCueCount> members_{};
};

} // namespace gloam
