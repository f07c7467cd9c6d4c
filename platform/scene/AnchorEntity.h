#pragma once

#include "platform/scene/Entity.h"

#include <optional>

namespace gloam::platform {

// An entity placed at a fixed world position: the root of a scene part.
class AnchorEntity : public Entity {
public:
    static std::shared_ptr<AnchorEntity> make(glm::vec3 worldPosition = glm::vec3(0.0f), std::string name = {});

protected:
    explicit AnchorEntity(std::string name)
        : Entity(std::move(name))
    {}
};

} // namespace gloam::platform
