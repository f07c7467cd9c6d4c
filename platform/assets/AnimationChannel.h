#pragma once

#include <glm/vec4.hpp>

#include <memory>
#include <vector>

namespace gloam::platform {

class Entity;

// One animated property of one entity: key times (seconds, increasing) and
// values. Translation and scale use xyz; rotation is a quaternion (x, y, z, w).
// Cubic-spline keys hold three values each: in-tangent, value, out-tangent.
struct AnimationChannel {
    enum class Path { translation, rotation, scale };
    enum class Interpolation { step, linear, cubicSpline };

    std::weak_ptr<Entity> target;
    Path path = Path::translation;
    Interpolation interpolation = Interpolation::linear;
    std::vector<float> times;
    std::vector<glm::vec4> values;

    // The value at time t (clamped to the first and last key). Linear
    // rotations use spherical interpolation; every rotation comes out
    // normalised.
    glm::vec4 sample(float t) const;
    float duration() const { return times.empty() ? 0.0f : times.back(); }
};

} // namespace gloam::platform
