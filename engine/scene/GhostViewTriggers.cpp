// Starting reactions on demand, and the questions that gate them: is the
// moon or the hand in view, which graves are, may a surprise begin now.
#include "engine/scene/GhostView.h"

#include "engine/effects/HandEffect.h"
#include "engine/effects/OpeningSequence.h"
#include "engine/effects/WitchEffect.h"
#include "engine/eggs/EasterEggEffects.h"
#include "engine/common/DoubleText.h"

#include <algorithm>

namespace gloam {

namespace {

constexpr float characterInset = 12.0F;
constexpr float graveInsetX = 24.0F;
constexpr float graveInsetY = 12.0F;
constexpr double chargerRetryDelay = 2.0;
// The hand reaching out of its grave, kept clear by the charging station.
const glm::vec3 handObstacleOffset{0.0F, 0.22F, 0.0F};
const glm::vec3 handObstacleSize{0.7F, 0.9F, 0.7F};

const char* boolText(bool value)
{
    return value ? "true" : "false";
}

bool inside(glm::vec2 point, const platform::Rect& bounds, float insetX, float insetY)
{
    return point.x >= bounds.x + insetX && point.x <= bounds.x + bounds.width - insetX &&
           point.y >= bounds.y + insetY && point.y <= bounds.y + bounds.height - insetY;
}

} // namespace

void GhostView::triggerWitch()
{
    if (easterEggs_.active) {
        return;
    }
    const bool accepted = characters_.triggerWitch();
    applyAtmosphere(0.0);
    log(std::string("E4 witch trigger accepted=") + boolText(accepted) + " time=" + describeDouble(characters_.time),
        true);
}

void GhostView::triggerHand()
{
    if (easterEggs_.active) {
        return;
    }
    const bool accepted = characters_.triggerHand();
    applyAtmosphere(0.0);
    log(std::string("E4 hand trigger accepted=") + boolText(accepted) + " time=" + describeDouble(characters_.time),
        true);
}

void GhostView::triggerLightning()
{
    if (easterEggs_.active) {
        return;
    }
    const bool accepted = timeline_.trigger();
    applyAtmosphere(0.0);
    log(std::string("E4 lightning trigger accepted=") + boolText(accepted) + " time=" + describeDouble(timeline_.time),
        false);
}

void GhostView::triggerPumpkins()
{
    if (easterEggs_.active) {
        return;
    }
    const bool accepted = reactions_.triggerPumpkins();
    applyAtmosphere(0.0);
    log(std::string("E4 pumpkin trigger accepted=") + boolText(accepted) + " time=" + describeDouble(reactions_.time),
        true);
}

void GhostView::triggerGhost(const std::optional<std::string>& requested)
{
    if (easterEggs_.active) {
        return;
    }
    std::string id;
    if (requested) {
        id = *requested;
    } else {
        const std::vector<std::string> graves = visibleGraves();
        if (graves.empty()) {
            return;
        }
        id = graves.front();
    }
    const bool accepted = reactions_.triggerGhost(id);
    applyAtmosphere(0.0);
    log("E4 ghost trigger id=" + id + " accepted=" + boolText(accepted) + " time=" + describeDouble(reactions_.time),
        true);
}

bool GhostView::characterVisible(const std::string& name) const
{
    const glm::vec3 spot = name == "MoonReaction" ? WitchEffect::moonPosition() : HandEffect::wrist();
    const auto point = render_->project(spot);
    if (!point || !inside(*point, render_->bounds(), characterInset, characterInset)) {
        return false;
    }
    const platform::EntityPtr hit = render_->entityAt(*point);
    return hit && hit->name() == name;
}

std::vector<std::string> GhostView::visibleGraves() const
{
    std::vector<const PropTarget*> inView;
    const platform::Rect bounds = render_->bounds();
    for (const PropTarget& target : targets_) {
        if (target.kind != "grave") {
            continue;
        }
        const auto point = render_->project(target.position());
        if (!point || !inside(*point, bounds, graveInsetX, graveInsetY)) {
            continue;
        }
        const platform::EntityPtr hit = render_->entityAt(*point);
        if (hit && hit->name() == target.hitName()) {
            inView.push_back(&target);
        }
    }
    std::stable_sort(inView.begin(), inView.end(),
                     [](const PropTarget* a, const PropTarget* b) { return a->dimensions().y > b->dimensions().y; });
    std::vector<std::string> ids;
    ids.reserve(inView.size());
    for (const PropTarget* target : inView) {
        ids.push_back(target->id);
    }
    return ids;
}

void GhostView::beginEgg(EasterEgg kind)
{
    if (kind == EasterEgg::amperle) {
        // The charging station needs a free place beside the vehicle, clear
        // of the props that are shown and of the hand. Without one, try
        // again two seconds of egg clock later.
        std::vector<EasterEggEffects::Box> obstacles;
        obstacles.reserve(targets_.size() + 1);
        for (const PropTarget& target : targets_) {
            const auto hit = targetEntities_.find(target.id);
            if (hit != targetEntities_.end() && hit->second && !hit->second->isEnabled()) {
                continue;
            }
            obstacles.push_back({target.position(), target.dimensions()});
        }
        obstacles.push_back({HandEffect::wrist() + handObstacleOffset, handObstacleSize});
        const platform::Rect box = render_->bounds();
        const float aspect = box.width / std::max(box.height, 1.0F);
        if (!eggEffects_ || !eggEffects_->prepareCharging(camera_->worldMatrix(), aspect, vehicle_, obstacles)) {
            chargerRetryAt_ = easterEggs_.time + chargerRetryDelay;
            return;
        }
    }
    if (!easterEggs_.trigger(kind)) {
        return;
    }
    timeline_.nextAutomatic = std::max(timeline_.nextAutomatic, timeline_.time + 5.0);
    reactions_.nextPumpkin = std::max(reactions_.nextPumpkin, reactions_.time + 11.0);
    reactions_.nextGhost = std::max(reactions_.nextGhost, reactions_.time + 16.0);
    characters_.nextWitch = std::max(characters_.nextWitch, characters_.time + 21.0);
    characters_.nextHand = std::max(characters_.nextHand, characters_.time + 26.0);
}

void GhostView::previewEgg(EasterEgg kind)
{
    if (!isReady_ || easterEggs_.active || openingPlaying()) {
        return;
    }
    sound_->cancelEffects();
    timeline_.lightningStart.reset();
    reactions_.pumpkinStart.reset();
    reactions_.ghostStart.reset();
    reactions_.graveID.reset();
    characters_.witchStart.reset();
    characters_.handStart.reset();
    beginEgg(kind);
    applyAtmosphere(0.0);
}

void GhostView::setAutomatic(bool on)
{
    easterEggs_.setAutomatic(on);
    timeline_.setAutomatic(on);
    reactions_.setAutomatic(on);
    characters_.setAutomatic(on);
}

SoundCueAges GhostView::soundAges() const
{
    SoundCueAges ages;
    if (openingPlaying()) {
        const double t = opening_->time();
        ages.set(SoundCue::titleThunder, t - 2.15);
        ages.set(SoundCue::bats, t - 2.7);
        ages.set(SoundCue::openingWitch, t - 6.2);
        ages.set(SoundCue::hillThunder, t - 13.1);
        return ages;
    }
    if (timeline_.lightningStart) {
        ages.set(SoundCue::thunder, timeline_.time - *timeline_.lightningStart - 0.1);
    }
    if (reactions_.pumpkinStart) {
        ages.set(SoundCue::pumpkin, reactions_.time - *reactions_.pumpkinStart);
    }
    if (const auto ghost = reactions_.ghostAge()) {
        ages.set(SoundCue::ghost, *ghost);
    }
    if (const auto witch = characters_.witchAge()) {
        ages.set(SoundCue::witch, *witch - CharacterTimeline::witchLead);
    }
    if (const auto hand = characters_.handAge()) {
        ages.set(SoundCue::hand, *hand);
    }
    if (easterEggs_.active == EasterEgg::amperle) {
        ages.set(SoundCue::charger, *easterEggs_.age() - 3.8);
    }
    return ages;
}

} // namespace gloam
