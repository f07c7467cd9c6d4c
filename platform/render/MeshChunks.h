#pragma once

#include <glm/vec3.hpp>

#include <cstdint>
#include <vector>

namespace gloam::render {

// A large mesh's triangles grouped into compact parts, each drawn (and
// culled, and lit) on its own. The ground is one mesh of 46 m around the
// vehicle; the camera sees a narrow wedge of it, and each part of it is
// reached by a few of the scene's lights.
struct MeshChunks {
    struct Chunk {
        int firstIndex = 0; // into `indices`
        int indexCount = 0;
        glm::vec3 boundsMin{0.0f};
        glm::vec3 boundsMax{0.0f};
    };

    // Every triangle of the mesh once, part after part.
    std::vector<std::uint32_t> indices;
    std::vector<Chunk> chunks;

    // Splits the triangles in two at the median of their centres along the
    // longest side of the centres' bounds, again and again, until each part
    // has at most `maxTriangles`. Indices must address `positions`.
    static MeshChunks split(const std::vector<glm::vec3>& positions, const std::vector<std::uint32_t>& indices,
                            int maxTriangles);
};

} // namespace gloam::render
