#pragma once

#include "platform/collision/Ray.h"
#include "platform/mesh/BoundingBox.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace gloam::platform {

class MeshResource;

// A bounding-volume hierarchy over a triangle soup, for ray casts. Built
// once (binned surface-area heuristic), then read-only: safe to query from
// any thread.
class TriangleBVH {
public:
    struct Hit {
        float distance = 0.0f;      // ray parameter t
        std::uint32_t triangle = 0; // in the hierarchy's own triangle order
    };

    // Triangles as three corners each, in the mesh's own space.
    explicit TriangleBVH(std::vector<glm::vec3> corners);
    // Every triangle of every part of a mesh.
    static TriangleBVH fromMesh(const MeshResource& mesh);

    // The nearest hit with t in [0, maxDistance], either face.
    std::optional<Hit> intersect(const Ray& ray, float maxDistance) const;

    std::size_t triangleCount() const { return corners_.size() / 3; }
    const BoundingBox& bounds() const;
    std::size_t nodeCount() const { return nodes_.size(); }

private:
    struct Node {
        BoundingBox box;
        std::uint32_t first = 0; // first triangle (leaf) or right child (inner)
        std::uint32_t count = 0; // triangles in a leaf; 0 for an inner node
    };
    void build();

    std::vector<glm::vec3> corners_;
    std::vector<Node> nodes_;
};

} // namespace gloam::platform
