// The orbit camera and pointer input of the scene view.
#include "engine/scene/GhostView.h"

#include "resources/SceneLandmarks.h"

#include "engine/effects/LightningEffect.h"
#include "engine/effects/WitchEffect.h"
#include "engine/post/GhostBloom.h"

#include <glm/geometric.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace gloam {

namespace {

const glm::vec3 lookTarget{0.0F, landmarks::orbitTargetHeight, 0.0F};
const glm::vec3 worldUp{0.0F, 1.0F, 0.0F};
constexpr float vehicleHalfWidth = landmarks::framedVehicleHalfWidth;
constexpr float vehicleBottom = 0.05F - landmarks::orbitTargetHeight; // relative to the look target
constexpr float frameMargin = 1.12F;
constexpr float wideAspect = 2.4F;
constexpr float aspectSpan = 0.65F;
constexpr float narrowLift = 0.035F;
constexpr float facingThreshold = 0.15F;
constexpr float dragGain = 0.006F;
constexpr float minElevation = 0.025F;
constexpr float maxElevation = 0.85F;

glm::vec3 houseDirection()
{
    constexpr landmarks::Point3 d = landmarks::houseDirection;
    return glm::normalize(glm::vec3(d.x, d.y, d.z));
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// Whether a prop in direction `v` from the centre stands away from the
// camera (so it stays shown).
bool awayFromCamera(glm::vec3 d, glm::vec3 v)
{
    glm::vec3 q(v.x, 0.0F, v.z);
    const float length = glm::length(q);
    if (length > 0.0F) {
        q /= length;
    }
    return d.x * q.x + d.z * q.z < facingThreshold;
}

} // namespace

void GhostView::updateCamera()
{
    const platform::Rect frame = render_->frame();
    const float A = std::max(frame.width, 1.0F) / std::max(frame.height, 1.0F);
    const float n = std::clamp((wideAspect - A) / aspectSpan, 0.0F, 1.0F);
    const float t = std::clamp((elevation_ - 0.1F) * 4.0F, 0.0F, 1.0F);
    const float e = elevation_ + narrowLift * n * (1.0F - t);

    const float sy = std::sin(yaw_);
    const float cy = std::cos(yaw_);
    const float se = std::sin(e);
    const float ce = std::cos(e);
    const glm::vec3 d(sy * ce, se, cy * ce);
    const glm::vec3 r(cy, 0.0F, -sy);
    const glm::vec3 u(-sy * se, ce, -cy * se);

    const float tv = std::tan(camera_->camera().fieldOfViewInDegrees * 3.1415925F / 360.0F);
    const float th = tv * A;

    float dist = cameraRadius(vehicle_);
    const float half = halfLength(vehicle_);
    const float roof = top(vehicle_) - landmarks::orbitTargetHeight;
    for (float x : {-half, half}) {
        for (float y : {vehicleBottom, roof}) {
            for (float z : {-vehicleHalfWidth, vehicleHalfWidth}) {
                const glm::vec3 corner(x, y, z);
                const float depth = glm::dot(corner, d);
                dist = std::max(dist, depth + frameMargin * std::abs(glm::dot(corner, u)) / tv);
                dist = std::max(dist, depth + frameMargin * std::abs(glm::dot(corner, r)) / th);
            }
        }
    }
    dist *= 1.0F + 0.14F * t + 0.22F * t * n * std::pow(std::abs(std::cos(yaw_)), 8.0F);

    const glm::vec3 position = lookTarget + dist * d;
    camera_->look(lookTarget, position, worldUp, nullptr);
    bloom_->setCamera(camera_->transformMatrix(nullptr));

    // The house lightning and the witch in front of the moon show only
    // while the camera has not swung round to the house's side.
    houseVisible_ = glm::dot(d, houseDirection()) < facingThreshold;
    if (lightning_) {
        lightning_->setHouseVisible(houseVisible_);
    }
    if (witch_) {
        witch_->setFrontVisible(houseVisible_);
        witch_->setCameraPosition(position);
    }

    for (const PropTarget& target : targets_) {
        if (!startsWith(target.id, "RingGrave") && !startsWith(target.id, "OrbitPumpkin")) {
            continue;
        }
        const auto found = targetEntities_.find(target.id);
        if (found != targetEntities_.end()) {
            found->second->setEnabled(awayFromCamera(d, target.position()));
        }
    }
    for (const RingEntity& ring : ringEntities_) {
        ring.entity->setEnabled(awayFromCamera(d, ring.direction));
    }
}

void GhostView::setCameraAngles(float yaw, float elevation)
{
    yaw_ = yaw;
    elevation_ = std::clamp(elevation, minElevation, maxElevation);
    updateCamera();
}

glm::vec2 GhostView::windowToView(glm::vec2 windowPoint) const
{
    return windowPoint - glm::vec2(frame_.x, frame_.y);
}

bool GhostView::keyDown(Key key)
{
    if (!interactive_) {
        return false;
    }
    if (key == Key::escape && openingPlaying()) {
        skipOpening();
        return true;
    }
    return false;
}

void GhostView::mouseDown(glm::vec2 windowPoint)
{
    if (!interactive_ || openingPlaying()) {
        return;
    }
    lastPoint_ = windowPoint;
    moved_ = false;
}

void GhostView::mouseDragged(glm::vec2 windowPoint)
{
    if (!interactive_ || openingPlaying()) {
        return;
    }
    if (lastPoint_) {
        yaw_ -= (windowPoint.x - lastPoint_->x) * dragGain;
        elevation_ = std::clamp(elevation_ + (lastPoint_->y - windowPoint.y) * dragGain, minElevation, maxElevation);
        moved_ = true;
        updateCamera();
    }
    lastPoint_ = windowPoint;
}

void GhostView::mouseUp(glm::vec2 windowPoint)
{
    if (!interactive_ || openingPlaying()) {
        return;
    }
    if (!moved_) {
        const platform::EntityPtr hit = render_->entityAt(windowToView(windowPoint));
        const std::string name = hit ? hit->name() : std::string();
        if (name == "MoonReaction") {
            triggerWitch();
        } else if (name == "HandReaction") {
            triggerHand();
        } else if (name == "LightningHouse") {
            triggerLightning();
        } else if (hit) {
            for (const PropTarget& target : targets_) {
                if (target.hitName() == name) {
                    if (target.kind == "pumpkin") {
                        triggerPumpkins();
                    } else {
                        triggerGhost(target.id);
                    }
                    break;
                }
            }
        }
    }
    lastPoint_.reset();
}

} // namespace gloam
