#pragma once

#include "platform/scene/Entity.h"

#include <optional>

namespace gloam::platform {

// An entity made with a model component.
class ModelEntity : public Entity {
public:
    static std::shared_ptr<ModelEntity> make(MeshPtr mesh, std::vector<Material> materials, std::string name = {});

    // The model component (re-created empty if it was removed).
    ModelComponent& model();

protected:
    explicit ModelEntity(std::string name)
        : Entity(std::move(name))
    {}
};

} // namespace gloam::platform
