#include "engine/effects/WitchEffect.h"

#include "engine/effects/WitchSilhouette.h"
#include "engine/timelines/CharacterTimeline.h"
#include "platform/collision/CollisionComponent.h"
#include "platform/collision/ShapeResource.h"
#include "platform/scene/OpacityComponent.h"
#include "resources/SceneLandmarks.h"
#include "resources/SceneNames.h"

#include <glm/geometric.hpp>
#include <glm/gtc/quaternion.hpp>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace gloam {

namespace {

glm::vec3 toVec(landmarks::Point3 p)
{
    return {p.x, p.y, p.z};
}

// Her pose before the first flight frame: turned -54.7 degrees about +Y.
const glm::quat restingOrientation{0.88814658F, 0.0F, -0.45956025F, 0.0F};

} // namespace

glm::vec3 WitchEffect::right()
{
    return glm::normalize(toVec(landmarks::viewRight));
}

glm::vec3 WitchEffect::depthDirection()
{
    return glm::normalize(toVec(landmarks::houseDirection));
}

glm::vec3 WitchEffect::moonPosition()
{
    return toVec(landmarks::moonPosition);
}

glm::vec2 WitchEffect::pathPixel(float e)
{
    return {(1.996041F - 1.325829F * e - 0.055642F * e * e) * 190.0F + 1077.2F,
            (0.636347F - 0.318206F * e - 0.081853F * e * e) * 190.0F + 190.78F};
}

glm::vec3 WitchEffect::pathPoint(float e)
{
    // Back-projection of the reference picture onto the flight plane.
    const glm::vec2 pixel = pathPixel(e);
    const float v = (500.0F - pixel.y) / 5441.461F;
    const float h = (v * 28.991001F - 0.40906796F) / (v * 0.043985803F + 0.99903214F) + 1.05F;
    const float u = (pixel.x - 1200.0F) * (28.991001F - (h - 1.05F) * 0.043985803F) / 5441.461F;
    return u * right() + planeDistance * depthDirection() + glm::vec3(0.0F, h, 0.0F);
}

float WitchEffect::opacity(float e)
{
    const auto flight = static_cast<float>(CharacterTimeline::flightDuration);
    const auto cleanup = static_cast<float>(CharacterTimeline::flightCleanup);
    const float f = std::clamp((e - flight) / cleanup, 0.0F, 1.0F);
    return 1.0F - f * f * (3.0F - 2.0F * f);
}

WitchEffect::WitchEffect(platform::EntityPtr model)
    : root_(platform::Entity::make())
    , moonHit_(platform::Entity::make())
{
    if (!model) {
        throw std::invalid_argument("the witch model is empty");
    }
    const WitchSilhouette styled = WitchSilhouette::style(*model, WitchSilhouette::moonMaterial());
    cape_ = styled.cape;
    capeRest_ = styled.capeRest;

    root_->addChild(model);
    root_->setOrientation(restingOrientation);
    root_->setScale(glm::vec3(scale));
    root_->setName("MoonWitch");
    root_->setEnabled(false);

    moonHit_->setName(std::string(scene_names::moonReaction));
    moonHit_->setPosition(moonPosition());
    moonHit_->components.set(platform::CollisionComponent({platform::ShapeResource::generateSphere(moonRadius)}));
}

void WitchEffect::update(std::optional<double> age)
{
    if (!age || *age < CharacterTimeline::witchLead) {
        root_->setEnabled(false);
        return;
    }
    root_->setEnabled(true);
    const auto e = static_cast<float>(*age - CharacterTimeline::witchLead);
    root_->components.set(platform::OpacityComponent{opacity(e)});

    const glm::vec3 position = pathPoint(e);
    root_->setPosition(position);
    const glm::vec3 toCamera = cameraPosition_ - position;
    const float yaw = std::atan2(toCamera.x, toCamera.z);
    const float rock = 0.012F * std::sin(6.0F * e);
    // The rock turns about her own forward axis.
    root_->setOrientation(glm::angleAxis(yaw, glm::vec3(0.0F, 1.0F, 0.0F)) *
                          glm::angleAxis(rock, glm::vec3(0.0F, 0.0F, 1.0F)));

    if (cape_) {
        platform::Transform flutter = capeRest_;
        flutter.rotation =
            capeRest_.rotation * glm::angleAxis(0.035F * std::sin(7.5F * e), glm::vec3(0.0F, 0.0F, 1.0F));
        cape_->setTransform(flutter);
    }
}

void WitchEffect::setFrontVisible(bool visible)
{
    moonHit_->setEnabled(visible);
}

void WitchEffect::setCameraPosition(glm::vec3 position)
{
    cameraPosition_ = position;
}

} // namespace gloam
