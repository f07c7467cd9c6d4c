#pragma once

#include "platform/mesh/BoundingBox.h"
#include "platform/scene/ComponentSet.h"
#include "platform/scene/Transform.h"

#include <glm/gtc/quaternion.hpp>
#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace gloam::platform {

class Entity;
class AnimationResource;
class AnimationPlaybackController;
using EntityPtr = std::shared_ptr<Entity>;
using AnimationPtr = std::shared_ptr<const AnimationResource>;

// A node of the scene graph: a name, an enabled flag, a local transform, an
// ordered list of children that it owns, and components that say what it
// is (model, light, camera, collision, ...). Entities are made with `make`
// and held by shared pointers; a parent owns its children, the parent link
// is not owning. Main thread only.
//
// Spaces: "relative to" an entity means in that entity's space; a null
// reference means world space.
class Entity : public std::enable_shared_from_this<Entity> {
public:
    static EntityPtr make(std::string name = {});
    virtual ~Entity();
    Entity(const Entity&) = delete;
    Entity& operator=(const Entity&) = delete;

    // Unique in the process, never reused.
    std::uint64_t id() const { return id_; }
    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }

    // An entity takes part in drawing, picking and bounds only when it and
    // all its ancestors are enabled.
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    bool isEnabledInHierarchy() const;

    // Hierarchy. `addChild` appends at the end, first taking the child from
    // its previous parent (so adding an existing child moves it to the
    // end). With `preservingWorldTransform` the child keeps where it is in
    // the world; otherwise its local transform is kept.
    Entity* parent() const { return parent_; }
    const std::vector<EntityPtr>& children() const { return children_; }
    void addChild(const EntityPtr& child, bool preservingWorldTransform = false);
    void insertChild(const EntityPtr& child, std::size_t index, bool preservingWorldTransform = false);
    void removeChild(const Entity& child, bool preservingWorldTransform = false);
    void removeFromParent(bool preservingWorldTransform = false);
    void removeAllChildren();
    // This entity or the first descendant (depth first, in child order)
    // with exactly this name.
    EntityPtr findEntity(std::string_view name);
    // Visits this entity and all descendants, depth first, parents first.
    void visit(const std::function<void(Entity&)>& visitor);

    // The local transform, relative to the parent.
    const Transform& transform() const { return local_; }
    void setTransform(const Transform& transform);
    glm::vec3 position() const { return local_.translation; }
    void setPosition(glm::vec3 position);
    glm::quat orientation() const { return local_.rotation; }
    void setOrientation(glm::quat orientation);
    glm::vec3 scale() const { return local_.scale; }
    void setScale(glm::vec3 scale);

    // The transform relative to another entity (null: the world).
    glm::mat4 transformMatrix(const Entity* relativeTo) const;
    void setTransformMatrix(const glm::mat4& matrix, const Entity* relativeTo);
    glm::vec3 position(const Entity* relativeTo) const;
    void setPosition(glm::vec3 position, const Entity* relativeTo);
    glm::quat orientation(const Entity* relativeTo) const;
    void setOrientation(glm::quat orientation, const Entity* relativeTo);
    // The world transform, cached until this entity or an ancestor moves.
    const glm::mat4& worldMatrix() const;

    // Places the entity at `from` (in `relativeTo`'s space) turned so that
    // its −z axis points at `at` and its +y axis lies towards `upVector`.
    void look(glm::vec3 at, glm::vec3 from, glm::vec3 upVector, const Entity* relativeTo);

    // The box around this entity's model (and, when recursive, its
    // descendants' models) in `relativeTo`'s space. With `excludeInactive`
    // disabled entities and everything under them are left out; without it
    // they count. Empty when there is no model.
    BoundingBox visualBounds(bool recursive, const Entity* relativeTo, bool excludeInactive = false) const;

    // The product of the opacity components from the root down to here.
    float effectiveOpacity() const;

    ComponentSet components;

    // Animation clips this entity tree carries (a loaded model's clips live
    // on its root).
    const std::vector<AnimationPtr>& availableAnimations() const { return animations_; }
    void addAnimation(AnimationPtr animation);
    // Plays a clip on this entity tree, blending in from the current pose
    // over `transitionDuration` seconds. Any earlier playback on this
    // entity stops. Advanced by `advanceAnimations` (the scene's update).
    std::shared_ptr<AnimationPlaybackController>
    playAnimation(const AnimationPtr& animation, double transitionDuration = 0.0, bool startsPaused = false);
    // Moves every playing clip on this entity and its descendants on by
    // `seconds` and poses their targets.
    void advanceAnimations(double seconds);

protected:
    explicit Entity(std::string name);

private:
    void attach(const EntityPtr& child, std::size_t index, bool preservingWorldTransform);
    void detach(std::size_t index, bool preservingWorldTransform);
    void invalidateWorld() const;

    std::uint64_t id_;
    std::string name_;
    bool enabled_ = true;
    Entity* parent_ = nullptr;
    std::vector<EntityPtr> children_;
    Transform local_;
    mutable glm::mat4 world_{1.0f};
    mutable bool worldDirty_ = true;
    std::vector<AnimationPtr> animations_;
    std::shared_ptr<AnimationPlaybackController> playback_;
};

} // namespace gloam::platform
