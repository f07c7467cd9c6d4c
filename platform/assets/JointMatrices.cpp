#include "platform/assets/JointMatrices.h"

#include "platform/scene/Entity.h"

#include <glm/gtc/matrix_inverse.hpp>

namespace gloam::platform {

std::vector<glm::mat4> jointMatrices(const Entity& skinned)
{
    const auto* skin = skinned.components.get<SkinComponent>();
    if (!skin) {
        return {};
    }
    const glm::mat4 toMesh = glm::affineInverse(skinned.worldMatrix());
    std::vector<glm::mat4> out(skin->joints.size(), glm::mat4(1.0f));
    for (std::size_t i = 0; i < skin->joints.size(); ++i) {
        if (auto joint = skin->joints[i].lock()) {
            const glm::mat4 inverseBind =
                i < skin->inverseBindMatrices.size() ? skin->inverseBindMatrices[i] : glm::mat4(1.0f);
            out[i] = toMesh * joint->worldMatrix() * inverseBind;
        }
    }
    return out;
}

} // namespace gloam::platform
