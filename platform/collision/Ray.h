#pragma once

#include <glm/vec3.hpp>

namespace gloam::platform {

// A ray: origin plus t × direction for t ≥ 0.
struct Ray {
    glm::vec3 origin{0.0f};
    glm::vec3 direction{0.0f, 0.0f, -1.0f};
};

} // namespace gloam::platform
