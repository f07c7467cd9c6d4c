#pragma once

#include <optional>
#include <string>
#include <vector>

namespace gloam {

// When the pumpkins glow and a ghost rises from a grave, and how strong the
// glow is. A plain value with its own clock that moves only when advanced.
struct ReactionTimeline {
    static constexpr double pumpkinDuration = 6.0;
    static constexpr double ghostDuration = 1.65;

    double time = 0;
    std::optional<double> pumpkinStart;
    std::optional<double> ghostStart;
    std::optional<std::string> graveID;
    bool automatic = true;
    double nextPumpkin = 9.0;
    double nextGhost = 17.0;
    int ghostSequence = 0;

    // The pumpkin glow now, 0 to about 1, with a slight flicker.
    float pumpkinStrength() const;

    // Seconds since the current ghost began rising, or none.
    std::optional<double> ghostAge() const;

    bool triggerPumpkins();
    bool triggerGhost(const std::string& id);

    // `visibleGraves`: ids of the grave targets in view now, in the order in
    // which automatic ghosts are to use them.
    void advance(double delta, const std::vector<std::string>& visibleGraves);
    void setAutomatic(bool on);

private:
    bool glowing() const;
    bool ghostRising() const;
};

} // namespace gloam
