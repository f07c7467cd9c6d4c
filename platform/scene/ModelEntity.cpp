#include "platform/scene/ModelEntity.h"

namespace gloam::platform {

std::shared_ptr<ModelEntity> ModelEntity::make(MeshPtr mesh, std::vector<Material> materials, std::string name)
{
    std::shared_ptr<ModelEntity> entity(new ModelEntity(std::move(name)));
    entity->components.set(ModelComponent(std::move(mesh), std::move(materials)));
    return entity;
}

ModelComponent& ModelEntity::model()
{
    return components.ensure<ModelComponent>();
}

} // namespace gloam::platform
