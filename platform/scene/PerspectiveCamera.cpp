#include "platform/scene/PerspectiveCamera.h"

namespace gloam::platform {

std::shared_ptr<PerspectiveCamera> PerspectiveCamera::make(std::string name)
{
    std::shared_ptr<PerspectiveCamera> entity(new PerspectiveCamera(std::move(name)));
    entity->components.set(PerspectiveCameraComponent{});
    return entity;
}

PerspectiveCameraComponent& PerspectiveCamera::camera()
{
    return components.ensure<PerspectiveCameraComponent>();
}

} // namespace gloam::platform
