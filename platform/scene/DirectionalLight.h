#pragma once

#include "platform/scene/Entity.h"

#include <optional>

namespace gloam::platform {

// An entity with a directional light component; its shadow is a component
// of its own (`DirectionalLightShadowComponent`), absent by default.
class DirectionalLight : public Entity {
public:
    static std::shared_ptr<DirectionalLight> make(std::string name = {});
    DirectionalLightComponent& light();
    // The shadow settings, or null when the light casts no shadow.
    DirectionalLightShadowComponent* shadow() { return components.get<DirectionalLightShadowComponent>(); }
    void setShadow(std::optional<DirectionalLightShadowComponent> shadow);

protected:
    explicit DirectionalLight(std::string name)
        : Entity(std::move(name))
    {}
};

} // namespace gloam::platform
