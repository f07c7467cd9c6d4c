#include "platform/scene/Scene.h"

#include <algorithm>

namespace gloam::platform {

Scene::Subscription::Subscription(Subscription&& other) noexcept
    : state_(std::move(other.state_))
    , key_(std::exchange(other.key_, 0))
{}

Scene::Subscription& Scene::Subscription::operator=(Subscription&& other) noexcept
{
    if (this != &other) {
        cancel();
        state_ = std::move(other.state_);
        key_ = std::exchange(other.key_, 0);
    }
    return *this;
}

void Scene::Subscription::cancel()
{
    if (auto state = state_.lock()) {
        state->handlers.erase(key_);
    }
    state_.reset();
    key_ = 0;
}

bool Scene::Subscription::isActive() const
{
    auto state = state_.lock();
    return state && state->handlers.count(key_) > 0;
}

Scene::Scene()
    : state_(std::make_shared<UpdateState>())
{}

void Scene::addAnchor(const std::shared_ptr<Entity>& anchor)
{
    if (!anchor || std::find(anchors_.begin(), anchors_.end(), anchor) != anchors_.end()) {
        return;
    }
    anchor->removeFromParent();
    anchors_.push_back(anchor);
}

void Scene::removeAllAnchors()
{
    anchors_.clear();
}

EntityPtr Scene::findEntity(std::string_view name) const
{
    for (const auto& anchor : anchors_) {
        if (auto found = anchor->findEntity(name)) {
            return found;
        }
    }
    return nullptr;
}

Scene::Subscription Scene::subscribeToUpdate(UpdateHandler handler)
{
    const std::uint64_t key = nextKey_++;
    state_->handlers.emplace(key, std::make_shared<UpdateHandler>(std::move(handler)));
    return Subscription(state_, key);
}

void Scene::update(double deltaTime)
{
    const auto state = state_; // stays alive if a handler drops the scene
    // Copies, as an animation's end or a handler may change either list.
    std::vector<EntityPtr> anchors = std::move(state->anchors);
    anchors.assign(anchors_.begin(), anchors_.end());
    for (const auto& anchor : anchors) {
        anchor->advanceAnimations(deltaTime);
    }
    anchors.clear();
    state->anchors = std::move(anchors);

    std::vector<std::uint64_t> keys = std::move(state->keys);
    keys.clear();
    for (const auto& entry : state->handlers) {
        keys.push_back(entry.first);
    }
    for (auto key : keys) {
        auto it = state->handlers.find(key);
        if (it != state->handlers.end()) {
            const std::shared_ptr<UpdateHandler> handler = it->second; // survives its own cancellation
            (*handler)(deltaTime);
        }
    }
    keys.clear();
    state->keys = std::move(keys);
}

namespace {

void walk(Entity& entity, float opacity, const std::function<void(Entity&, const glm::mat4&, float)>& visitor)
{
    if (!entity.isEnabled()) {
        return;
    }
    if (const auto* o = entity.components.get<OpacityComponent>()) {
        opacity *= o->opacity;
    }
    visitor(entity, entity.worldMatrix(), opacity);
    for (const auto& child : entity.children()) {
        walk(*child, opacity, visitor);
    }
}

} // namespace

void Scene::forEachEnabled(const std::function<void(Entity&, const glm::mat4& world, float opacity)>& visitor) const
{
    for (const auto& anchor : anchors_) {
        walk(*anchor, 1.0f, visitor);
    }
}

namespace {

Entity* findCamera(Entity& entity)
{
    if (!entity.isEnabled()) {
        return nullptr;
    }
    if (entity.components.has<PerspectiveCameraComponent>()) {
        return &entity;
    }
    for (const auto& child : entity.children()) {
        if (Entity* found = findCamera(*child)) {
            return found;
        }
    }
    return nullptr;
}

} // namespace

EntityPtr Scene::activeCamera() const
{
    for (const auto& anchor : anchors_) {
        if (Entity* found = findCamera(*anchor)) {
            return found->shared_from_this();
        }
    }
    return nullptr;
}

} // namespace gloam::platform
