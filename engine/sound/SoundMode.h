#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace gloam {

// The three sound contexts. The preview (the small screen-saver thumbnail)
// never makes sound.
enum class SoundMode { app, saver, preview };

inline constexpr std::array<SoundMode, 3> allSoundModes{SoundMode::app, SoundMode::saver, SoundMode::preview};

constexpr std::string_view rawValue(SoundMode mode)
{
    switch (mode) {
    case SoundMode::app:
        return "app";
    case SoundMode::saver:
        return "saver";
    case SoundMode::preview:
        return "preview";
    }
    return {};
}

constexpr std::optional<SoundMode> soundModeFromRawValue(std::string_view raw)
{
    for (SoundMode mode : allSoundModes) {
        if (rawValue(mode) == raw) {
            return mode;
        }
    }
    return std::nullopt;
}

} // namespace gloam
