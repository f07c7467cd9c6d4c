#pragma once

#include "engine/timelines/EasterEgg.h"

#include <cstdint>
#include <optional>

namespace gloam {

// When a surprise sequence is due. The two eggs alternate, 65 to 85 seconds
// apart, the spacing drawn from a seeded generator so a seed replays exactly.
struct EasterEggTimeline {
    double time = 0;
    std::optional<EasterEgg> active;
    double start = 0;
    double nextAt = 0;
    EasterEgg nextKind = EasterEgg::skyrell;
    bool automatic = true;
    std::uint64_t seed = 0;

    // Seeded from the system's random generator (never 0).
    EasterEggTimeline();
    explicit EasterEggTimeline(std::uint64_t seed);

    // Seconds since the active egg began, or none.
    std::optional<double> age() const;

    // An egg should begin now.
    bool due() const;

    void advance(double delta);
    bool trigger(EasterEgg kind);
    void setAutomatic(bool on);

    // Ends any egg and pushes the next one 65 seconds out.
    void cancel();

    static std::uint64_t randomSeed();

private:
    // One step of the generator: its uniform value in [0, 1).
    double step();
};

} // namespace gloam
