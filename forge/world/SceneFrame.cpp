#include "forge/world/SceneFrame.h"

#include <algorithm>
#include <cmath>

#include <glm/geometric.hpp>

#include "forge/mesh/Noise.h"
#include "resources/SceneLandmarks.h"

namespace gloam::forge::frame {

namespace lm = gloam::landmarks;

glm::vec3 houseDirection()
{
    return glm::normalize(glm::vec3(lm::houseDirection.x, 0.0f, lm::houseDirection.z));
}

glm::vec3 viewRight()
{
    return glm::normalize(glm::vec3(lm::viewRight.x, 0.0f, lm::viewRight.z));
}

glm::vec3 place(float depth, float lateral, float height)
{
    return depth * houseDirection() + lateral * viewRight() + glm::vec3(0.0f, height, 0.0f);
}

glm::quat facing(glm::vec3 dir)
{
    return glm::angleAxis(std::atan2(dir.x, dir.z), glm::vec3(0, 1, 0));
}

glm::vec3 orbitTarget()
{
    return {0.0f, lm::orbitTargetHeight, 0.0f};
}

glm::vec3 defaultCameraPosition()
{
    // The camera rig lifts narrow views slightly: 1200 x 540 is narrower
    // than 2.4:1.
    float aspect = 1200.0f / 540.0f;
    float narrow = std::clamp((2.4f - aspect) / 0.65f, 0.0f, 1.0f);
    float raise = std::clamp((lm::cameraElevation - 0.1f) * 4.0f, 0.0f, 1.0f);
    float e = lm::cameraElevation + 0.035f * narrow * (1.0f - raise);
    glm::vec3 d(std::sin(lm::cameraYaw) * std::cos(e), std::sin(e), std::cos(lm::cameraYaw) * std::cos(e));
    return orbitTarget() + lm::cameraDistance * d;
}

glm::vec3 landmark(float x, float y, float z)
{
    return {x, y, z};
}

float groundHeight(float x, float z)
{
    static const Noise noise(71);
    float r = std::sqrt(x * x + z * z);
    // Flat where the vehicle stands, gently rolling beyond, with shallow
    // hollows, rising a little towards the far ring.
    float blend = std::clamp((r - 4.2f) / 3.5f, 0.0f, 1.0f);
    blend = blend * blend * (3.0f - 2.0f * blend);
    float rolling = 0.16f * noise.fbm(glm::vec2(x, z) * 0.09f, 3) - 0.05f;
    float hollows = -0.12f * std::max(0.0f, noise.at(glm::vec2(x, z) * 0.17f + glm::vec2(3.1f, 7.7f)));
    float rise = 0.35f * std::clamp((r - 24.0f) / 14.0f, 0.0f, 1.0f);
    return blend * (rolling + hollows) + rise;
}

} // namespace gloam::forge::frame
