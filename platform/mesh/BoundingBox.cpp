#include "platform/mesh/BoundingBox.h"

#include <glm/common.hpp>

namespace gloam::platform {

BoundingBox BoundingBox::transformed(const glm::mat4& m) const
{
    BoundingBox out;
    if (isEmpty()) {
        return out;
    }
    for (int i = 0; i < 8; ++i) {
        const glm::vec3 corner((i & 1) ? max.x : min.x, (i & 2) ? max.y : min.y, (i & 4) ? max.z : min.z);
        out.add(glm::vec3(m * glm::vec4(corner, 1.0f)));
    }
    return out;
}

} // namespace gloam::platform
