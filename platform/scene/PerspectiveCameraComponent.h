#pragma once

#include <glm/mat4x4.hpp>

namespace gloam::platform {

// A perspective camera looking along its entity's −z axis, +y up.
struct PerspectiveCameraComponent {
    float fieldOfViewInDegrees = 60.0f; // vertical
    float near = 0.01f;
    float far = 1000.0f;

    // The OpenGL clip-space projection (depth −1...1) for a width / height
    // aspect ratio.
    glm::mat4 projection(float aspect) const;
};

} // namespace gloam::platform
