#include "platform/scene/PointLight.h"

namespace gloam::platform {

std::shared_ptr<PointLight> PointLight::make(std::string name)
{
    std::shared_ptr<PointLight> entity(new PointLight(std::move(name)));
    entity->components.set(PointLightComponent{});
    return entity;
}

PointLightComponent& PointLight::light()
{
    return components.ensure<PointLightComponent>();
}

} // namespace gloam::platform
