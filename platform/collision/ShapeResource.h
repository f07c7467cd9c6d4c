#pragma once

#include "platform/async/Task.h"
#include "platform/collision/Ray.h"
#include "platform/collision/TriangleBVH.h"

#include <glm/vec3.hpp>

#include <memory>
#include <optional>
#include <variant>

namespace gloam::platform {

class MeshResource;

// A collision shape in its entity's space: a box or sphere centred on
// `offset`, or a static triangle mesh.
class ShapeResource {
public:
    struct Box {
        glm::vec3 size;
    };
    struct Sphere {
        float radius;
    };
    struct StaticMesh {
        std::shared_ptr<const TriangleBVH> hierarchy;
    };

    static ShapeResource generateBox(glm::vec3 size);
    static ShapeResource generateBox(float width, float height, float depth)
    {
        return generateBox({width, height, depth});
    }
    static ShapeResource generateSphere(float radius);
    // Builds the triangle hierarchy on the worker pool. Throws MeshError for
    // a mesh with no triangles.
    static async::Task<ShapeResource> generateStaticMesh(std::shared_ptr<const MeshResource> mesh);
    // The same, at once, on the calling thread.
    static ShapeResource generateStaticMeshNow(const MeshResource& mesh);

    const std::variant<Box, Sphere, StaticMesh>& geometry() const { return geometry_; }
    glm::vec3 offset() const { return offset_; }
    BoundingBox bounds() const;

    // The nearest ray parameter at which the ray (in the entity's space)
    // meets the shape, if it does within maxDistance.
    std::optional<float> intersect(const Ray& ray, float maxDistance) const;

private:
    explicit ShapeResource(std::variant<Box, Sphere, StaticMesh> geometry)
        : geometry_(std::move(geometry))
    {}

    std::variant<Box, Sphere, StaticMesh> geometry_;
    glm::vec3 offset_{0.0f};
};

} // namespace gloam::platform
