#pragma once

#include <optional>

namespace gloam {

// When the witch crosses the moon and the skeletal hand reaches out of the
// ground; automatic appearances wait until their spot is in view.
struct CharacterTimeline {
    static constexpr double witchLead = 1.45;
    static constexpr double flightDuration = 2.85;
    static constexpr double flightCleanup = 0.4;
    static constexpr double witchDuration = 4.7;
    static constexpr double handDuration = 3.65;

    double time = 0;
    std::optional<double> witchStart;
    std::optional<double> handStart;
    bool automatic = true;
    double nextWitch = 12.0;
    double nextHand = 25.0;

    std::optional<double> witchAge() const;
    std::optional<double> handAge() const;

    bool triggerWitch();
    bool triggerHand();

    void advance(double delta, bool moonVisible, bool handVisible);
    void setAutomatic(bool on);

private:
    bool witchActive() const;
    bool handActive() const;
};

} // namespace gloam
