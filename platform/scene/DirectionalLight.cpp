#include "platform/scene/DirectionalLight.h"

namespace gloam::platform {

std::shared_ptr<DirectionalLight> DirectionalLight::make(std::string name)
{
    std::shared_ptr<DirectionalLight> entity(new DirectionalLight(std::move(name)));
    entity->components.set(DirectionalLightComponent{});
    return entity;
}

DirectionalLightComponent& DirectionalLight::light()
{
    return components.ensure<DirectionalLightComponent>();
}

void DirectionalLight::setShadow(std::optional<DirectionalLightShadowComponent> shadow)
{
    if (shadow) {
        components.set(*shadow);
    } else {
        components.remove<DirectionalLightShadowComponent>();
    }
}

} // namespace gloam::platform
