#pragma once

#include <glm/common.hpp>
#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

#include <limits>

namespace gloam::platform {

// An axis-aligned box; empty (min above max) until a point is added.
struct BoundingBox {
    glm::vec3 min{std::numeric_limits<float>::infinity()};
    glm::vec3 max{-std::numeric_limits<float>::infinity()};

    bool isEmpty() const { return min.x > max.x || min.y > max.y || min.z > max.z; }
    glm::vec3 center() const { return isEmpty() ? glm::vec3(0.0f) : (min + max) * 0.5f; }
    glm::vec3 extents() const { return isEmpty() ? glm::vec3(0.0f) : max - min; }

    void add(const glm::vec3& p)
    {
        min = glm::min(min, p);
        max = glm::max(max, p);
    }
    void add(const BoundingBox& other)
    {
        // An empty box has min = +inf and max = -inf, which changes nothing.
        min = glm::min(min, other.min);
        max = glm::max(max, other.max);
    }
    // The box around this box's eight corners moved by `m`.
    BoundingBox transformed(const glm::mat4& m) const;
};

} // namespace gloam::platform
