#pragma once

#include <glm/mat4x4.hpp>

#include <vector>

namespace gloam::platform {

class Entity;

// The skinning matrices of a skinned model entity, one per joint of its
// skin component: each takes a bind-pose vertex in the entity's own space
// to where the joint's current pose puts it, in the same space (so the
// renderer applies the entity's world matrix after skinning). Empty when
// the entity has no skin; a joint entity that no longer exists counts as
// the identity.
std::vector<glm::mat4> jointMatrices(const Entity& skinned);

} // namespace gloam::platform
