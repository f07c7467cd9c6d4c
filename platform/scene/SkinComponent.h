#pragma once

#include <glm/mat4x4.hpp>

#include <memory>
#include <vector>

namespace gloam::platform {

class Entity;

// Binds a skinned mesh to the joint entities that deform it. Joint i of the
// mesh's joint indices is joints[i]; its inverse bind matrix takes the mesh
// into the joint's space at bind time.
struct SkinComponent {
    std::vector<std::weak_ptr<Entity>> joints;
    std::vector<glm::mat4> inverseBindMatrices;
};

} // namespace gloam::platform
