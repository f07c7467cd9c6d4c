#include "engine/scene/OrbitPose.h"

#include "resources/SceneLandmarks.h"

#include <glm/geometric.hpp>

#include <algorithm>
#include <cmath>

namespace gloam {

namespace {

constexpr float vehicleHalfWidth = landmarks::framedVehicleHalfWidth;
constexpr float vehicleBottom = 0.05F - landmarks::orbitTargetHeight; // relative to the target
constexpr float frameMargin = 1.12F;
// Views at least this wide (width / height) get no narrow-view correction;
// it fades in over the next `aspectSpan` of narrower shapes.
constexpr float wideAspect = 2.4F;
constexpr float aspectSpan = 0.65F;
constexpr float narrowLift = 0.035F;

glm::vec3 houseDirection()
{
    constexpr landmarks::Point3 d = landmarks::houseDirection;
    return glm::normalize(glm::vec3(d.x, d.y, d.z));
}

} // namespace

const glm::vec3 OrbitPose::target{0.0F, landmarks::orbitTargetHeight, 0.0F};

OrbitPose OrbitPose::at(float yaw, float elevation, float aspect, float fieldOfView, Vehicle vehicle)
{
    const float A = aspect;
    const float n = std::clamp((wideAspect - A) / aspectSpan, 0.0F, 1.0F); // how much narrower than 2.4:1
    const float t = std::clamp((elevation - 0.1F) * 4.0F, 0.0F, 1.0F);     // how far raised above 0.1 rad
    OrbitPose pose;
    pose.elevation = elevation + narrowLift * n * (1.0F - t);

    const float sy = std::sin(yaw);
    const float cy = std::cos(yaw);
    const float se = std::sin(pose.elevation);
    const float ce = std::cos(pose.elevation);
    pose.direction = glm::vec3(sy * ce, se, cy * ce);
    pose.right = glm::vec3(cy, 0.0F, -sy);
    pose.up = glm::vec3(-sy * se, ce, -cy * se);

    // The smallest distance (not below the vehicle's own radius) at which
    // every corner of the vehicle's box lies inside the view shrunk by the
    // margin.
    const float tv = std::tan(fieldOfView * 3.1415925F / 360.0F);
    const float th = tv * A;
    float dist = cameraRadius(vehicle);
    const float half = halfLength(vehicle);
    const float roof = top(vehicle) - landmarks::orbitTargetHeight;
    for (float x : {-half, half}) {
        for (float y : {vehicleBottom, roof}) {
            for (float z : {-vehicleHalfWidth, vehicleHalfWidth}) {
                const glm::vec3 corner(x, y, z);
                const float depth = glm::dot(corner, pose.direction);
                dist = std::max(dist, depth + frameMargin * std::abs(glm::dot(corner, pose.up)) / tv);
                dist = std::max(dist, depth + frameMargin * std::abs(glm::dot(corner, pose.right)) / th);
            }
        }
    }
    // Raised views pull back a little, most when a narrow view looks
    // straight along the vehicle.
    dist *= 1.0F + 0.14F * t + 0.22F * t * n * std::pow(std::abs(cy), 8.0F);
    pose.distance = dist;
    return pose;
}

glm::mat4 OrbitPose::transform() const
{
    glm::mat4 m(1.0F);
    m[0] = glm::vec4(right, 0.0F);
    m[1] = glm::vec4(up, 0.0F);
    m[2] = glm::vec4(direction, 0.0F);
    m[3] = glm::vec4(position(), 1.0F);
    return m;
}

bool OrbitPose::awayFromCamera(glm::vec3 v) const
{
    glm::vec3 q(v.x, 0.0F, v.z);
    const float length = glm::length(q);
    if (length > 0.0F) {
        q /= length;
    }
    return direction.x * q.x + direction.z * q.z < facingThreshold;
}

bool OrbitPose::facesHouse() const
{
    return glm::dot(direction, houseDirection()) < facingThreshold;
}

} // namespace gloam
