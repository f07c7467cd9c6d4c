#pragma once

#include "platform/scene/Entity.h"

#include <optional>

namespace gloam::platform {

// An entity with a point light component.
class PointLight : public Entity {
public:
    static std::shared_ptr<PointLight> make(std::string name = {});
    PointLightComponent& light();

protected:
    explicit PointLight(std::string name)
        : Entity(std::move(name))
    {}
};

} // namespace gloam::platform
