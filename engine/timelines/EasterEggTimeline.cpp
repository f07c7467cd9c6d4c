#include "engine/timelines/EasterEggTimeline.h"

#include <algorithm>
#include <limits>
#include <random>

namespace gloam {

EasterEggTimeline::EasterEggTimeline()
    : EasterEggTimeline(randomSeed())
{}

EasterEggTimeline::EasterEggTimeline(std::uint64_t initialSeed)
    : seed(initialSeed)
{
    nextAt = 20.0 * step() + 55.0;
}

std::uint64_t EasterEggTimeline::randomSeed()
{
    std::random_device device;
    std::uniform_int_distribution<std::uint64_t> range(1, std::numeric_limits<std::uint64_t>::max());
    return range(device);
}

double EasterEggTimeline::step()
{
    // Knuth's MMIX linear congruential generator, wrapping modulo 2^64.
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(seed >> 11) * 0x1.0p-53;
}

std::optional<double> EasterEggTimeline::age() const
{
    if (!active) {
        return std::nullopt;
    }
    return time - start;
}

bool EasterEggTimeline::due() const
{
    return automatic && !active && time >= nextAt;
}

void EasterEggTimeline::advance(double delta)
{
    time += std::max(delta, 0.0);
    if (active && time - start >= duration(*active)) {
        active.reset();
    }
}

bool EasterEggTimeline::trigger(EasterEgg kind)
{
    if (active) {
        return false;
    }
    active = kind;
    nextKind = kind == EasterEgg::skyrell ? EasterEgg::amperle : EasterEgg::skyrell;
    const double u = step();
    start = time;
    nextAt = (time + 65.0) + 20.0 * u;
    return true;
}

void EasterEggTimeline::setAutomatic(bool on)
{
    automatic = on;
    if (on) {
        nextAt = std::max(nextAt, time + 15.0);
    }
}

void EasterEggTimeline::cancel()
{
    active.reset();
    nextAt = time + 65.0;
}

} // namespace gloam
