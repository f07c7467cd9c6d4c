#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace gloam {

// The two surprise sequences, in their fixed order.
enum class EasterEgg {
    skyrell, // a space-suited rider crossing the sky in an open sports car
    amperle, // a charging station with a ghost and a pumpkin beside the vehicle
};

inline constexpr std::array<EasterEgg, 2> allEasterEggs{EasterEgg::skyrell, EasterEgg::amperle};

std::string_view rawValue(EasterEgg egg);
std::optional<EasterEgg> easterEggFromRawValue(std::string_view raw);

// Seconds the sequence plays.
double duration(EasterEgg egg);

} // namespace gloam
