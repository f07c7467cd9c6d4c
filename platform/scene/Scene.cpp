#include "platform/scene/Scene.h"

#include <algorithm>

namespace gloam::platform {

Scene::Subscription::Subscription(Subscription&& other) noexcept
    : handlers_(std::move(other.handlers_)), key_(std::exchange(other.key_, 0))
{
}

Scene::Subscription& Scene::Subscription::operator=(Subscription&& other) noexcept
{
    if (this != &other) {
        cancel();
        handlers_ = std::move(other.handlers_);
        key_ = std::exchange(other.key_, 0);
    }
    return *this;
}

void Scene::Subscription::cancel()
{
    if (auto handlers = handlers_.lock()) {
        handlers->erase(key_);
    }
    handlers_.reset();
    key_ = 0;
}

bool Scene::Subscription::isActive() const
{
    auto handlers = handlers_.lock();
    return handlers && handlers->count(key_) > 0;
}

Scene::Scene() : handlers_(std::make_shared<std::map<std::uint64_t, UpdateHandler>>()) {}

void Scene::addAnchor(const std::shared_ptr<Entity>& anchor)
{
    if (!anchor || std::find(anchors_.begin(), anchors_.end(), anchor) != anchors_.end()) {
        return;
    }
    anchor->removeFromParent();
    anchors_.push_back(anchor);
}

void Scene::removeAnchor(const Entity& anchor)
{
    std::erase_if(anchors_, [&](const EntityPtr& a) { return a.get() == &anchor; });
}

void Scene::removeAllAnchors() { anchors_.clear(); }

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
    handlers_->emplace(key, std::move(handler));
    return Subscription(handlers_, key);
}

void Scene::update(double deltaTime)
{
    const auto anchors = anchors_;
    for (const auto& anchor : anchors) {
        anchor->advanceAnimations(deltaTime);
    }
    // A handler may subscribe or cancel others while this runs.
    std::vector<std::uint64_t> keys;
    keys.reserve(handlers_->size());
    for (const auto& [key, handler] : *handlers_) {
        keys.push_back(key);
    }
    const auto handlers = handlers_; // stays alive if a handler drops the scene
    for (auto key : keys) {
        auto it = handlers->find(key);
        if (it != handlers->end()) {
            auto handler = it->second;
            handler(deltaTime);
        }
    }
}

namespace {

void walk(Entity& entity, float opacity,
          const std::function<void(Entity&, const glm::mat4&, float)>& visitor)
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
