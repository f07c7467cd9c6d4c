// The orbit camera and pointer input of the scene view.
#include "engine/scene/GhostView.h"

#include "engine/effects/LightningEffect.h"
#include "engine/effects/WitchEffect.h"
#include "engine/post/GhostBloom.h"
#include "engine/scene/OrbitPose.h"

#include <algorithm>
#include <string_view>

namespace gloam {

namespace {

const glm::vec3 worldUp{0.0F, 1.0F, 0.0F};
constexpr float dragGain = 0.006F;

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

void GhostView::updateCamera()
{
    const platform::Rect frame = render_->frame();
    const float aspect = std::max(frame.width, 1.0F) / std::max(frame.height, 1.0F);
    const OrbitPose pose = OrbitPose::at(yaw_, elevation_, aspect, camera_->camera().fieldOfViewInDegrees, vehicle_);
    const glm::vec3 position = pose.position();
    camera_->look(OrbitPose::target, position, worldUp, nullptr);
    bloom_->setCamera(camera_->transformMatrix(nullptr));

    // The house lightning and the witch in front of the moon show only
    // while the camera has not swung round to the house's side.
    houseVisible_ = pose.facesHouse();
    if (lightning_) {
        lightning_->setHouseVisible(houseVisible_);
    }
    if (witch_) {
        witch_->setFrontVisible(houseVisible_);
        witch_->setCameraPosition(position);
    }

    // Props on the camera's side would stand between it and the vehicle.
    for (const PropTarget& target : targets_) {
        if (!startsWith(target.id, "RingGrave") && !startsWith(target.id, "OrbitPumpkin")) {
            continue;
        }
        const auto found = targetEntities_.find(target.id);
        if (found != targetEntities_.end()) {
            found->second->setEnabled(pose.awayFromCamera(target.position()));
        }
    }
    for (const RingEntity& ring : ringEntities_) {
        ring.entity->setEnabled(pose.awayFromCamera(ring.direction));
    }
}

void GhostView::setCameraAngles(float yaw, float elevation)
{
    yaw_ = yaw;
    elevation_ = std::clamp(elevation, OrbitPose::minElevation, OrbitPose::maxElevation);
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
        elevation_ = std::clamp(elevation_ + (lastPoint_->y - windowPoint.y) * dragGain, OrbitPose::minElevation,
                                OrbitPose::maxElevation);
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
