#pragma once

#include "platform/scene/Entity.h"

#include <optional>

namespace gloam::platform {

// An entity with a perspective camera component.
class PerspectiveCamera : public Entity {
public:
    static std::shared_ptr<PerspectiveCamera> make(std::string name = {});
    PerspectiveCameraComponent& camera();

protected:
    explicit PerspectiveCamera(std::string name)
        : Entity(std::move(name))
    {}
};

} // namespace gloam::platform
