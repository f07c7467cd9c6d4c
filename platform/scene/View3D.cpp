#include "platform/scene/View3D.h"

#include "platform/collision/CollisionComponent.h"

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_inverse.hpp>

#include <limits>

namespace gloam::platform {

View3D::View3D(Rect frame)
    : frame_(frame)
{}

float View3D::aspect() const
{
    if (frame_.width <= 0.0f || frame_.height <= 0.0f) {
        return 1.0f;
    }
    return frame_.width / frame_.height;
}

namespace {

glm::mat4 projectionOf(const Entity& camera, float aspect)
{
    return camera.components.get<PerspectiveCameraComponent>()->projection(aspect);
}

} // namespace

std::optional<glm::vec2> View3D::project(glm::vec3 worldPoint) const
{
    auto cam = camera();
    if (!cam || frame_.width <= 0.0f || frame_.height <= 0.0f) {
        return std::nullopt;
    }
    const glm::vec4 eye = glm::affineInverse(cam->worldMatrix()) * glm::vec4(worldPoint, 1.0f);
    if (eye.z >= 0.0f) {
        return std::nullopt; // at or behind the camera's plane
    }
    const glm::vec4 clip = projectionOf(*cam, aspect()) * eye;
    const glm::vec2 ndc = glm::vec2(clip) / clip.w;
    return glm::vec2((ndc.x + 1.0f) * 0.5f * frame_.width, (ndc.y + 1.0f) * 0.5f * frame_.height);
}

std::optional<Ray> View3D::ray(glm::vec2 viewPoint) const
{
    auto cam = camera();
    if (!cam || frame_.width <= 0.0f || frame_.height <= 0.0f) {
        return std::nullopt;
    }
    const auto& lens = *cam->components.get<PerspectiveCameraComponent>();
    const float tanHalf = std::tan(glm::radians(lens.fieldOfViewInDegrees) * 0.5f);
    const float ndcX = viewPoint.x / frame_.width * 2.0f - 1.0f;
    const float ndcY = viewPoint.y / frame_.height * 2.0f - 1.0f;
    const glm::vec3 eyeDirection(ndcX * tanHalf * aspect(), ndcY * tanHalf, -1.0f);
    const glm::mat4& world = cam->worldMatrix();
    Ray r;
    r.origin = glm::vec3(world[3]);
    r.direction = glm::normalize(glm::vec3(world * glm::vec4(eyeDirection, 0.0f)));
    return r;
}

EntityPtr View3D::entityAt(glm::vec2 viewPoint) const
{
    const auto worldRay = ray(viewPoint);
    if (!worldRay) {
        return nullptr;
    }
    struct Search {
        Ray ray;
        EntityPtr nearest;
        float nearestT = std::numeric_limits<float>::infinity();
    } search{*worldRay, nullptr};
    // One captured pointer keeps the visitor inside std::function's own
    // storage: the scene view picks on frames that must not allocate.
    Search* const found = &search;
    scene_.forEachEnabled([found](Entity& entity, const glm::mat4& world, float) {
        const auto* collision = entity.components.get<CollisionComponent>();
        if (!collision || collision->shapes.empty()) {
            return;
        }
        // The ray in the entity's space keeps its parameter t.
        const glm::mat4 toLocal = glm::affineInverse(world);
        Ray local;
        local.origin = glm::vec3(toLocal * glm::vec4(found->ray.origin, 1.0f));
        local.direction = glm::vec3(toLocal * glm::vec4(found->ray.direction, 0.0f));
        for (const auto& shape : collision->shapes) {
            if (auto t = shape.intersect(local, found->nearestT); t && *t < found->nearestT) {
                found->nearestT = *t;
                found->nearest = entity.shared_from_this();
            }
        }
    });
    return search.nearest;
}

void View3D::setPostProcess(PostProcess callback)
{
    std::shared_ptr<const PostProcess> next;
    if (callback) {
        next = std::make_shared<const PostProcess>(std::move(callback));
    }
    std::lock_guard lock(postProcessLock_);
    postProcess_ = std::move(next);
}

std::shared_ptr<const View3D::PostProcess> View3D::postProcess() const
{
    std::lock_guard lock(postProcessLock_);
    return postProcess_;
}

} // namespace gloam::platform
