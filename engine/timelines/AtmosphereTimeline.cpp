#include "engine/timelines/AtmosphereTimeline.h"

#include <algorithm>

namespace gloam {

template <std::size_t N>
float AtmosphereTimeline::sample(const std::array<EnvelopePoint, N>& points) const
{
    if (!lightningStart) {
        return 0.0F;
    }
    const double age = time - *lightningStart;
    if (!(age >= 0.0 && age < duration)) {
        return 0.0F;
    }
    for (std::size_t k = 1; k < points.size(); ++k) {
        if (points[k].time >= age) {
            const auto& from = points[k - 1];
            const auto& to = points[k];
            const auto fraction = static_cast<float>((age - from.time) / (to.time - from.time));
            return from.strength + (to.strength - from.strength) * fraction;
        }
    }
    return 0.0F;
}

float AtmosphereTimeline::strength() const
{
    return sample(envelope);
}

float AtmosphereTimeline::gentleStrength() const
{
    return sample(gentleEnvelope);
}

bool AtmosphereTimeline::striking() const
{
    return lightningStart && time - *lightningStart < duration;
}

void AtmosphereTimeline::startStrike()
{
    lightningStart = time;
    nextAutomatic = time + intervals[static_cast<std::size_t>(sequenceIndex) % intervals.size()];
    sequenceIndex += 1;
}

bool AtmosphereTimeline::trigger()
{
    if (striking()) {
        return false;
    }
    startStrike();
    return true;
}

void AtmosphereTimeline::advance(double delta)
{
    time += std::max(delta, 0.0);
    if (lightningStart && time - *lightningStart >= duration) {
        lightningStart.reset();
    }
    if (automatic && time >= nextAutomatic && !striking()) {
        startStrike();
    }
}

void AtmosphereTimeline::setAutomatic(bool on)
{
    automatic = on;
    if (on) {
        nextAutomatic = std::max(nextAutomatic, time + 4.0);
    }
}

} // namespace gloam
