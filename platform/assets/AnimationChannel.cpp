#include "platform/assets/AnimationChannel.h"

#include <glm/geometric.hpp>
#include <glm/gtc/quaternion.hpp>

#include <algorithm>

namespace gloam::platform {

namespace {

glm::vec4 slerp(const glm::vec4& a, const glm::vec4& b, float u)
{
    const glm::quat qa(a.w, a.x, a.y, a.z);
    const glm::quat qb(b.w, b.x, b.y, b.z);
    const glm::quat q = glm::normalize(glm::slerp(qa, qb, u)); // takes the short way round
    return {q.x, q.y, q.z, q.w};
}

} // namespace

glm::vec4 AnimationChannel::sample(float t) const
{
    if (times.empty() || values.empty()) {
        return path == Path::rotation ? glm::vec4(0, 0, 0, 1) : (path == Path::scale ? glm::vec4(1) : glm::vec4(0));
    }
    const bool cubic = interpolation == Interpolation::cubicSpline;
    auto valueAt = [&](std::size_t key) { return cubic ? values[key * 3 + 1] : values[key]; };
    auto finish = [&](glm::vec4 v) {
        if (path == Path::rotation) {
            const float length = glm::length(v);
            return length > 0.0f ? v / length : glm::vec4(0, 0, 0, 1);
        }
        return v;
    };

    if (t <= times.front()) {
        return finish(valueAt(0));
    }
    if (t >= times.back()) {
        return finish(valueAt(times.size() - 1));
    }
    // The key interval [times[k], times[k + 1]) that holds t.
    const auto upper = std::upper_bound(times.begin(), times.end(), t);
    const std::size_t k = static_cast<std::size_t>(upper - times.begin()) - 1;
    const float t0 = times[k];
    const float t1 = times[k + 1];
    const float dt = t1 - t0;
    const float u = dt > 0.0f ? (t - t0) / dt : 0.0f;

    switch (interpolation) {
    case Interpolation::step:
        return finish(values[k]);
    case Interpolation::linear:
        if (path == Path::rotation) {
            return slerp(values[k], values[k + 1], u);
        }
        return values[k] + (values[k + 1] - values[k]) * u;
    case Interpolation::cubicSpline: {
        // Hermite spline with the keys' tangents scaled by the interval.
        const glm::vec4 p0 = values[k * 3 + 1];
        const glm::vec4 m0 = values[k * 3 + 2] * dt; // out-tangent of key k
        const glm::vec4 p1 = values[(k + 1) * 3 + 1];
        const glm::vec4 m1 = values[(k + 1) * 3 + 0] * dt; // in-tangent of key k + 1
        const float u2 = u * u;
        const float u3 = u2 * u;
        return finish((2 * u3 - 3 * u2 + 1) * p0 + (u3 - 2 * u2 + u) * m0 + (-2 * u3 + 3 * u2) * p1 + (u3 - u2) * m1);
    }
    }
    return finish(values[k]);
}

} // namespace gloam::platform
