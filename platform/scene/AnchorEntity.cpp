#include "platform/scene/AnchorEntity.h"

namespace gloam::platform {

std::shared_ptr<AnchorEntity> AnchorEntity::make(glm::vec3 worldPosition, std::string name)
{
    std::shared_ptr<AnchorEntity> entity(new AnchorEntity(std::move(name)));
    entity->setPosition(worldPosition);
    return entity;
}

} // namespace gloam::platform
