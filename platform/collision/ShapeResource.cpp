#include "platform/collision/ShapeResource.h"

#include "platform/async/Suspensions.h"
#include "platform/mesh/MeshError.h"
#include "platform/mesh/MeshResource.h"

#include <glm/common.hpp>
#include <glm/geometric.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace gloam::platform {

ShapeResource ShapeResource::generateBox(glm::vec3 size)
{
    if (!(size.x >= 0.0f && size.y >= 0.0f && size.z >= 0.0f)) {
        throw std::invalid_argument("box shape: size must not be negative");
    }
    return ShapeResource(Box{size});
}

ShapeResource ShapeResource::generateSphere(float radius)
{
    if (!(radius >= 0.0f)) {
        throw std::invalid_argument("sphere shape: radius must not be negative");
    }
    return ShapeResource(Sphere{radius});
}

ShapeResource ShapeResource::generateStaticMeshNow(const MeshResource& mesh)
{
    if (mesh.triangleCount() == 0) {
        throw MeshError("static mesh shape: mesh \"" + mesh.name() + "\" has no triangles");
    }
    return ShapeResource(StaticMesh{std::make_shared<const TriangleBVH>(TriangleBVH::fromMesh(mesh))});
}

async::Task<ShapeResource> ShapeResource::generateStaticMesh(std::shared_ptr<const MeshResource> mesh)
{
    if (!mesh) {
        throw std::invalid_argument("static mesh shape: no mesh");
    }
    // A named job, not a temporary in the co_await operand: GCC 12 copies
    // such a temporary wrongly (its captures then point into the frame).
    auto work = [mesh] { return generateStaticMeshNow(*mesh); };
    auto shape = co_await async::onWorker(std::move(work));
    co_return shape;
}

BoundingBox ShapeResource::bounds() const
{
    BoundingBox box;
    if (const auto* b = std::get_if<Box>(&geometry_)) {
        box.add(offset_ - b->size * 0.5f);
        box.add(offset_ + b->size * 0.5f);
    } else if (const auto* s = std::get_if<Sphere>(&geometry_)) {
        box.add(offset_ - glm::vec3(s->radius));
        box.add(offset_ + glm::vec3(s->radius));
    } else if (const auto* m = std::get_if<StaticMesh>(&geometry_)) {
        const auto& inner = m->hierarchy->bounds();
        if (!inner.isEmpty()) {
            box.add(inner.min + offset_);
            box.add(inner.max + offset_);
        }
    }
    return box;
}

std::optional<float> ShapeResource::intersect(const Ray& ray, float maxDistance) const
{
    const Ray local{ray.origin - offset_, ray.direction};
    if (const auto* b = std::get_if<Box>(&geometry_)) {
        const glm::vec3 h = b->size * 0.5f;
        float enter = 0.0f;
        float leave = maxDistance;
        for (int axis = 0; axis < 3; ++axis) {
            const float o = local.origin[axis];
            const float d = local.direction[axis];
            if (std::abs(d) < 1e-20f) {
                if (o < -h[axis] || o > h[axis]) {
                    return std::nullopt;
                }
                continue;
            }
            float t0 = (-h[axis] - o) / d;
            float t1 = (h[axis] - o) / d;
            if (t0 > t1) {
                std::swap(t0, t1);
            }
            enter = std::max(enter, t0);
            leave = std::min(leave, t1);
            if (enter > leave) {
                return std::nullopt;
            }
        }
        return enter;
    }
    if (const auto* s = std::get_if<Sphere>(&geometry_)) {
        const float a = glm::dot(local.direction, local.direction);
        const float bh = glm::dot(local.origin, local.direction);
        const float c = glm::dot(local.origin, local.origin) - s->radius * s->radius;
        if (c <= 0.0f) {
            return 0.0f; // the ray starts inside
        }
        const float disc = bh * bh - a * c;
        if (disc < 0.0f || a <= 0.0f) {
            return std::nullopt;
        }
        const float t = (-bh - std::sqrt(disc)) / a;
        if (t < 0.0f || t > maxDistance) {
            return std::nullopt;
        }
        return t;
    }
    const auto& mesh = std::get<StaticMesh>(geometry_);
    if (auto hit = mesh.hierarchy->intersect(local, maxDistance)) {
        return hit->distance;
    }
    return std::nullopt;
}

} // namespace gloam::platform
