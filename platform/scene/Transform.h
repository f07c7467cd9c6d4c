#pragma once

#include <glm/gtc/quaternion.hpp>
#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

namespace gloam::platform {

// Scale, then rotation, then translation.
struct Transform {
    glm::vec3 scale{1.0f};
    glm::quat rotation{1.0f, 0.0f, 0.0f, 0.0f};
    glm::vec3 translation{0.0f};

    glm::mat4 matrix() const;
    // Decomposes an affine matrix without shear.
    static Transform fromMatrix(const glm::mat4& m);
    bool operator==(const Transform&) const = default;
};

} // namespace gloam::platform
