#include "platform/render/MeshData.h"

#include "platform/render/ImageData.h"

#include <glm/common.hpp>

namespace gloam::render {

void MeshData::finish()
{
    if (id == 0)
        id = ImageData::nextId();
    if (positions.empty())
        return;
    boundsMin = boundsMax = positions.front();
    for (const auto& p : positions) {
        boundsMin = glm::min(boundsMin, p);
        boundsMax = glm::max(boundsMax, p);
    }
}

} // namespace gloam::render
