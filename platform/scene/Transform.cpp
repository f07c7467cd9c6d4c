#include "platform/scene/Transform.h"

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>

namespace gloam::platform {

glm::mat4 Transform::matrix() const
{
    glm::mat4 m = glm::mat4_cast(rotation);
    m[0] *= scale.x;
    m[1] *= scale.y;
    m[2] *= scale.z;
    m[3] = glm::vec4(translation, 1.0f);
    return m;
}

Transform Transform::fromMatrix(const glm::mat4& m)
{
    Transform t;
    t.translation = glm::vec3(m[3]);
    glm::vec3 x(m[0]), y(m[1]), z(m[2]);
    t.scale = {glm::length(x), glm::length(y), glm::length(z)};
    if (glm::dot(glm::cross(x, y), z) < 0.0f) {
        t.scale.x = -t.scale.x;
    }
    const glm::mat3 r(t.scale.x != 0.0f ? x / t.scale.x : glm::vec3(1, 0, 0),
                      t.scale.y != 0.0f ? y / t.scale.y : glm::vec3(0, 1, 0),
                      t.scale.z != 0.0f ? z / t.scale.z : glm::vec3(0, 0, 1));
    t.rotation = glm::normalize(glm::quat_cast(r));
    return t;
}

} // namespace gloam::platform
