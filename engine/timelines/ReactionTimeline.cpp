#include "engine/timelines/ReactionTimeline.h"

#include <algorithm>
#include <cmath>

namespace gloam {

bool ReactionTimeline::glowing() const
{
    return pumpkinStart && time - *pumpkinStart < pumpkinDuration;
}

bool ReactionTimeline::ghostRising() const
{
    return ghostStart && *ghostStart <= time && time - *ghostStart < ghostDuration;
}

float ReactionTimeline::pumpkinStrength() const
{
    if (!pumpkinStart) {
        return 0.0F;
    }
    const double a = time - *pumpkinStart;
    if (!(a >= 0.0 && a < pumpkinDuration)) {
        return 0.0F;
    }
    const double rise = std::min(a / 0.27, 1.0);
    const double fall = std::min((pumpkinDuration - a) / 0.3, 1.0);
    const double flicker = 0.975 + 0.015 * std::sin(8.1 * a) + 0.01 * std::sin(13.7 * a);
    return static_cast<float>(flicker * std::min(rise, fall));
}

std::optional<double> ReactionTimeline::ghostAge() const
{
    if (!ghostRising()) {
        return std::nullopt;
    }
    return time - *ghostStart;
}

bool ReactionTimeline::triggerPumpkins()
{
    if (glowing()) {
        return false;
    }
    pumpkinStart = time;
    nextPumpkin = time + 31.0;
    return true;
}

bool ReactionTimeline::triggerGhost(const std::string& id)
{
    if (ghostRising()) {
        return false;
    }
    ghostStart = time;
    graveID = id;
    nextGhost = time + 27.0;
    return true;
}

void ReactionTimeline::advance(double delta, const std::vector<std::string>& visibleGraves)
{
    time += std::max(delta, 0.0);
    if (pumpkinStart && time - *pumpkinStart >= pumpkinDuration) {
        pumpkinStart.reset();
    }
    if (ghostStart && time - *ghostStart >= ghostDuration) {
        ghostStart.reset();
        graveID.reset();
    }
    if (!automatic) {
        return;
    }
    if (time >= nextPumpkin && !glowing()) {
        pumpkinStart = time;
        nextPumpkin = time + 31.0;
    }
    if (time >= nextGhost) {
        if (visibleGraves.empty()) {
            nextGhost = time + 0.5;
            return;
        }
        const auto& id = visibleGraves[static_cast<std::size_t>(ghostSequence) % visibleGraves.size()];
        if (!ghostRising()) {
            ghostStart = time;
            graveID = id;
            nextGhost = time + 27.0;
        }
        ghostSequence += 1;
    }
}

void ReactionTimeline::setAutomatic(bool on)
{
    automatic = on;
    if (on) {
        nextPumpkin = std::max(nextPumpkin, time + 4.0);
        nextGhost = std::max(nextGhost, time + 7.0);
    }
}

} // namespace gloam
