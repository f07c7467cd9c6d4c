#include "platform/scene/PerspectiveCameraComponent.h"

#include <glm/gtc/matrix_transform.hpp>

namespace gloam::platform {

glm::mat4 PerspectiveCameraComponent::projection(float aspect) const
{
    return glm::perspective(glm::radians(fieldOfViewInDegrees), aspect > 0.0f ? aspect : 1.0f, near, far);
}

} // namespace gloam::platform
