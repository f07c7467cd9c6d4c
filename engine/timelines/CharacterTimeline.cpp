#include "engine/timelines/CharacterTimeline.h"

#include <algorithm>

namespace gloam {

namespace {

bool active(const std::optional<double>& start, double time, double length)
{
    return start && *start <= time && time - *start < length;
}

} // namespace

bool CharacterTimeline::witchActive() const
{
    return active(witchStart, time, witchDuration);
}

bool CharacterTimeline::handActive() const
{
    return active(handStart, time, handDuration);
}

std::optional<double> CharacterTimeline::witchAge() const
{
    return witchActive() ? std::optional<double>(time - *witchStart) : std::nullopt;
}

std::optional<double> CharacterTimeline::handAge() const
{
    return handActive() ? std::optional<double>(time - *handStart) : std::nullopt;
}

bool CharacterTimeline::triggerWitch()
{
    if (witchActive()) {
        return false;
    }
    witchStart = time;
    nextWitch = time + 37.0;
    return true;
}

bool CharacterTimeline::triggerHand()
{
    if (handActive()) {
        return false;
    }
    handStart = time;
    nextHand = time + 33.0;
    return true;
}

void CharacterTimeline::advance(double delta, bool moonVisible, bool handVisible)
{
    time += std::max(delta, 0.0);
    if (witchStart && time - *witchStart >= witchDuration) {
        witchStart.reset();
    }
    if (handStart && time - *handStart >= handDuration) {
        handStart.reset();
    }
    if (!automatic) {
        return;
    }
    if (time >= nextWitch) {
        if (!moonVisible) {
            nextWitch = time + 0.5;
        } else if (!witchActive()) {
            witchStart = time;
            nextWitch = time + 37.0;
        }
    }
    if (time >= nextHand) {
        if (!handVisible) {
            nextHand = time + 0.5;
        } else if (!handActive()) {
            handStart = time;
            nextHand = time + 33.0;
        }
    }
}

void CharacterTimeline::setAutomatic(bool on)
{
    automatic = on;
    if (on) {
        nextWitch = std::max(nextWitch, time + 5.0);
        nextHand = std::max(nextHand, time + 9.0);
    }
}

} // namespace gloam
