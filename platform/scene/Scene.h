#pragma once

#include "platform/scene/Entity.h"

#include <glm/mat4x4.hpp>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace gloam::platform {

class AnchorEntity;

// The entities a 3D view shows: a list of anchors and everything under
// them, plus the per-frame update event. Main thread only.
class Scene {
public:
    using UpdateHandler = std::function<void(double deltaTime)>;

private:
    // Shared with the subscriptions, and kept alive through a frame even if
    // a handler drops the scene.
    struct UpdateState {
        std::map<std::uint64_t, std::shared_ptr<UpdateHandler>> handlers;
        // Reused by every frame, so that a frame allocates nothing.
        std::vector<EntityPtr> anchors;
        std::vector<std::uint64_t> keys;
    };

public:
    // Cancels its subscription when cancelled or destroyed.
    class Subscription {
    public:
        Subscription() = default;
        Subscription(Subscription&& other) noexcept;
        Subscription& operator=(Subscription&& other) noexcept;
        ~Subscription() { cancel(); }
        void cancel();
        bool isActive() const;

    private:
        friend class Scene;
        Subscription(std::weak_ptr<UpdateState> state, std::uint64_t key)
            : state_(std::move(state))
            , key_(key)
        {}
        std::weak_ptr<UpdateState> state_;
        std::uint64_t key_ = 0;
    };

    Scene();

    void addAnchor(const std::shared_ptr<Entity>& anchor);
    void removeAllAnchors();
    const std::vector<EntityPtr>& anchors() const { return anchors_; }
    // The first entity with this name under any anchor.
    EntityPtr findEntity(std::string_view name) const;

    // `SceneEvents.Update`: handlers run once per frame, in subscription
    // order, after the scene's animations have moved on.
    [[nodiscard]] Subscription subscribeToUpdate(UpdateHandler handler);
    // One frame: advances every playing animation by `deltaTime`, then
    // runs the update handlers. The host calls this once per presented frame.
    void update(double deltaTime);

    // Visits every entity that is enabled in the hierarchy, parents first,
    // with its world matrix and its effective opacity.
    void forEachEnabled(const std::function<void(Entity&, const glm::mat4& world, float opacity)>& visitor) const;
    // The first enabled entity with a camera component, or null.
    EntityPtr activeCamera() const;

private:
    std::vector<EntityPtr> anchors_;
    std::shared_ptr<UpdateState> state_;
    std::uint64_t nextKey_ = 1;
};

} // namespace gloam::platform
