#include "platform/scene/Entity.h"

#include "platform/assets/AnimationPlaybackController.h"

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_inverse.hpp>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <stdexcept>

namespace gloam::platform {

namespace {

std::uint64_t nextEntityId()
{
    static std::atomic<std::uint64_t> counter{0};
    return ++counter;
}

} // namespace

EntityPtr Entity::make(std::string name)
{
    return EntityPtr(new Entity(std::move(name)));
}

Entity::Entity(std::string name)
    : id_(nextEntityId())
    , name_(std::move(name))
{}

Entity::~Entity()
{
    for (auto& child : children_) {
        child->parent_ = nullptr;
    }
}

bool Entity::isEnabledInHierarchy() const
{
    for (const Entity* e = this; e; e = e->parent_) {
        if (!e->enabled_) {
            return false;
        }
    }
    return true;
}

void Entity::addChild(const EntityPtr& child, bool preservingWorldTransform)
{
    if (!child) {
        throw std::invalid_argument("addChild: no entity");
    }
    std::size_t end = children_.size();
    if (child->parent_ == this) {
        end -= 1; // it moves to the end of the list it is already in
    }
    attach(child, end, preservingWorldTransform);
}

void Entity::insertChild(const EntityPtr& child, std::size_t index, bool preservingWorldTransform)
{
    if (!child) {
        throw std::invalid_argument("insertChild: no entity");
    }
    attach(child, index, preservingWorldTransform);
}

void Entity::attach(const EntityPtr& child, std::size_t index, bool preservingWorldTransform)
{
    for (const Entity* e = this; e; e = e->parent_) {
        if (e == child.get()) {
            throw std::invalid_argument("addChild: an entity cannot become a child of itself or of its descendants");
        }
    }
    const glm::mat4 world = child->worldMatrix();
    EntityPtr keep = child; // stays alive while it moves
    if (Entity* old = keep->parent_) {
        auto it = std::find(old->children_.begin(), old->children_.end(), keep);
        old->children_.erase(it);
        keep->parent_ = nullptr;
    }
    index = std::min(index, children_.size());
    children_.insert(children_.begin() + static_cast<std::ptrdiff_t>(index), keep);
    keep->parent_ = this;
    keep->invalidateWorld();
    if (preservingWorldTransform) {
        keep->setTransformMatrix(world, nullptr);
    }
}

void Entity::detach(std::size_t index, bool preservingWorldTransform)
{
    EntityPtr child = children_[index];
    const glm::mat4 world = child->worldMatrix();
    children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(index));
    child->parent_ = nullptr;
    child->invalidateWorld();
    if (preservingWorldTransform) {
        child->setTransform(Transform::fromMatrix(world));
    }
}

void Entity::removeChild(const Entity& child, bool preservingWorldTransform)
{
    for (std::size_t i = 0; i < children_.size(); ++i) {
        if (children_[i].get() == &child) {
            detach(i, preservingWorldTransform);
            return;
        }
    }
}

void Entity::removeFromParent(bool preservingWorldTransform)
{
    if (parent_) {
        parent_->removeChild(*this, preservingWorldTransform);
    }
}

void Entity::removeAllChildren()
{
    while (!children_.empty()) {
        detach(children_.size() - 1, false);
    }
}

EntityPtr Entity::findEntity(std::string_view name)
{
    if (name_ == name) {
        return shared_from_this();
    }
    for (auto& child : children_) {
        if (auto found = child->findEntity(name)) {
            return found;
        }
    }
    return nullptr;
}

void Entity::visit(const std::function<void(Entity&)>& visitor)
{
    visitor(*this);
    // Index loop: the visitor may append children (not remove them).
    for (std::size_t i = 0; i < children_.size(); ++i) {
        children_[i]->visit(visitor);
    }
}

void Entity::invalidateWorld() const
{
    // A dirty entity's descendants are all dirty already.
    if (worldDirty_) {
        return;
    }
    worldDirty_ = true;
    for (const auto& child : children_) {
        child->invalidateWorld();
    }
}

void Entity::setTransform(const Transform& transform)
{
    local_ = transform;
    invalidateWorld();
}

void Entity::setPosition(glm::vec3 position)
{
    local_.translation = position;
    invalidateWorld();
}

void Entity::setOrientation(glm::quat orientation)
{
    local_.rotation = orientation;
    invalidateWorld();
}

void Entity::setScale(glm::vec3 scale)
{
    local_.scale = scale;
    invalidateWorld();
}

const glm::mat4& Entity::worldMatrix() const
{
    if (worldDirty_) {
        const glm::mat4 local = local_.matrix();
        world_ = parent_ ? parent_->worldMatrix() * local : local;
        worldDirty_ = false;
    }
    return world_;
}

glm::mat4 Entity::transformMatrix(const Entity* relativeTo) const
{
    if (relativeTo == parent_) {
        return local_.matrix();
    }
    if (!relativeTo) {
        return worldMatrix();
    }
    return glm::affineInverse(relativeTo->worldMatrix()) * worldMatrix();
}

void Entity::setTransformMatrix(const glm::mat4& matrix, const Entity* relativeTo)
{
    const glm::mat4 world = relativeTo ? relativeTo->worldMatrix() * matrix : matrix;
    const glm::mat4 local = parent_ ? glm::affineInverse(parent_->worldMatrix()) * world : world;
    setTransform(Transform::fromMatrix(local));
}

glm::vec3 Entity::position(const Entity* relativeTo) const
{
    return glm::vec3(transformMatrix(relativeTo)[3]);
}

void Entity::setPosition(glm::vec3 position, const Entity* relativeTo)
{
    const glm::vec3 world = relativeTo ? glm::vec3(relativeTo->worldMatrix() * glm::vec4(position, 1.0f)) : position;
    const glm::vec3 local =
        parent_ ? glm::vec3(glm::affineInverse(parent_->worldMatrix()) * glm::vec4(world, 1.0f)) : world;
    setPosition(local);
}

glm::quat Entity::orientation(const Entity* relativeTo) const
{
    return Transform::fromMatrix(transformMatrix(relativeTo)).rotation;
}

void Entity::setOrientation(glm::quat orientation, const Entity* relativeTo)
{
    const glm::quat reference = relativeTo ? relativeTo->orientation(nullptr) : glm::quat(1, 0, 0, 0);
    const glm::quat parentWorld = parent_ ? parent_->orientation(nullptr) : glm::quat(1, 0, 0, 0);
    setOrientation(glm::normalize(glm::inverse(parentWorld) * reference * orientation));
}

void Entity::look(glm::vec3 at, glm::vec3 from, glm::vec3 upVector, const Entity* relativeTo)
{
    glm::vec3 back = from - at; // the entity's +z points away from the target
    if (glm::dot(back, back) < 1e-20f) {
        back = glm::vec3(0, 0, 1);
    }
    back = glm::normalize(back);
    glm::vec3 right = glm::cross(upVector, back);
    if (glm::dot(right, right) < 1e-12f) {
        // Looking along the up vector: any right angle will do.
        right = glm::cross(std::abs(back.y) < 0.99f ? glm::vec3(0, 1, 0) : glm::vec3(1, 0, 0), back);
    }
    right = glm::normalize(right);
    const glm::vec3 up = glm::cross(back, right);
    glm::mat4 m(1.0f);
    m[0] = glm::vec4(right * local_.scale.x, 0.0f);
    m[1] = glm::vec4(up * local_.scale.y, 0.0f);
    m[2] = glm::vec4(back * local_.scale.z, 0.0f);
    m[3] = glm::vec4(from, 1.0f);
    // The scale is kept as it is in the parent's space.
    const glm::mat4 world = relativeTo ? relativeTo->worldMatrix() * m : m;
    const glm::mat4 local = parent_ ? glm::affineInverse(parent_->worldMatrix()) * world : world;
    Transform t = Transform::fromMatrix(local);
    t.scale = local_.scale;
    setTransform(t);
}

BoundingBox Entity::visualBounds(bool recursive, const Entity* relativeTo, bool excludeInactive) const
{
    BoundingBox box;
    const glm::mat4 toReference = relativeTo ? glm::affineInverse(relativeTo->worldMatrix()) : glm::mat4(1.0f);
    std::function<void(const Entity&)> gather = [&](const Entity& e) {
        if (excludeInactive && !e.enabled_) {
            return;
        }
        if (const auto* model = e.components.get<ModelComponent>(); model && model->mesh) {
            box.add(model->mesh->bounds().transformed(toReference * e.worldMatrix()));
        }
        if (recursive) {
            for (const auto& child : e.children_) {
                gather(*child);
            }
        }
    };
    // An inactive entity has no active parts; an active one is active
    // exactly where its descendants' own flags say so.
    if (excludeInactive && !isEnabledInHierarchy()) {
        return box;
    }
    gather(*this);
    return box;
}

float Entity::effectiveOpacity() const
{
    float opacity = 1.0f;
    for (const Entity* e = this; e; e = e->parent_) {
        if (const auto* o = e->components.get<OpacityComponent>()) {
            opacity *= o->opacity;
        }
    }
    return opacity;
}

void Entity::addAnimation(AnimationPtr animation)
{
    if (animation) {
        animations_.push_back(std::move(animation));
    }
}

std::shared_ptr<AnimationPlaybackController> Entity::playAnimation(const AnimationPtr& animation,
                                                                   double transitionDuration, bool startsPaused)
{
    if (!animation) {
        throw std::invalid_argument("playAnimation: no animation");
    }
    if (playback_) {
        playback_->stop();
    }
    playback_ = std::make_shared<AnimationPlaybackController>(animation, transitionDuration, startsPaused);
    return playback_;
}

void Entity::advanceAnimations(double seconds)
{
    if (playback_) {
        playback_->advance(seconds);
        if (playback_->isStopped()) {
            playback_.reset();
        }
    }
    for (std::size_t i = 0; i < children_.size(); ++i) {
        children_[i]->advanceAnimations(seconds);
    }
}

} // namespace gloam::platform
