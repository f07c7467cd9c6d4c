#pragma once

#include <array>
#include <optional>

namespace gloam {

// When lightning strikes and how bright its flash is. A plain value with its
// own clock that moves only when advanced; the same calls give the same
// schedule.
struct AtmosphereTimeline {
    struct EnvelopePoint {
        double time;
        float strength;
    };

    static constexpr double duration = 3.2;
    static constexpr std::array<double, 3> intervals{18.0, 23.0, 20.0};
    static constexpr std::array<EnvelopePoint, 21> envelope{{
        {0.0, 0.0F},   {0.067, 1.0F},  {0.167, 0.9F},  {0.233, 0.05F}, {0.333, 0.95F}, {0.467, 0.8F},  {0.533, 0.02F},
        {0.633, 1.0F}, {0.733, 0.85F}, {0.833, 0.02F}, {0.933, 0.9F},  {1.1, 0.65F},   {1.233, 1.0F},  {1.367, 0.25F},
        {1.467, 1.0F}, {1.7, 1.0F},    {2.0, 0.8F},    {2.4, 0.42F},   {2.8, 0.18F},   {3.067, 0.02F}, {3.2, 0.0F},
    }};
    // The light of a strike for viewers who reduce flashing: one slow rise
    // and fall over the same 3.2 s instead of the flicker above. Its level
    // never changes by more than `gentleSwingPerSecond` within a second, so
    // the frame's brightness never swings by a flash's worth (see
    // docs/reduce-flashing.md for the measurements behind the numbers).
    static constexpr std::array<EnvelopePoint, 10> gentleEnvelope{{
        {0.0, 0.0F},
        {0.35, 0.03F},
        {0.7, 0.1F},
        {1.05, 0.18F},
        {1.4, 0.22F},
        {1.7, 0.22F},
        {2.1, 0.18F},
        {2.5, 0.1F},
        {2.85, 0.04F},
        {3.2, 0.0F},
    }};
    // The most the gentle light may change within any one second: about
    // 0.06 of the default view's mean relative luminance.
    static constexpr float gentleSwingPerSecond = 0.22F;

    double time = 0;
    std::optional<double> lightningStart;
    bool automatic = true;
    double nextAutomatic = 4.0;
    int sequenceIndex = 0;

    // The flash strength now, 0 to 1.
    float strength() const;
    // The gentle light level now, 0 to 1: same strikes, no flicker.
    float gentleStrength() const;

    // Starts a strike now unless one is in progress.
    bool trigger();

    void advance(double delta);
    void setAutomatic(bool on);

private:
    bool striking() const;
    template <std::size_t N>
    float sample(const std::array<EnvelopePoint, N>& points) const;
    void startStrike();
};

} // namespace gloam
