#pragma once

#include "platform/collision/CollisionComponent.h"
#include "platform/scene/DirectionalLightComponent.h"
#include "platform/scene/DynamicLightShadowComponent.h"
#include "platform/scene/ModelComponent.h"
#include "platform/scene/OpacityComponent.h"
#include "platform/scene/PerspectiveCameraComponent.h"
#include "platform/scene/PointLightComponent.h"
#include "platform/scene/SkinComponent.h"

#include <optional>
#include <tuple>

namespace gloam::platform {

// The components of one entity, at most one of each kind:
//   entity.components.set(OpacityComponent{0.5f});
//   if (auto* model = entity.components.get<ModelComponent>()) { ... }
class ComponentSet {
public:
    template <typename C>
    bool has() const
    {
        return std::get<std::optional<C>>(store_).has_value();
    }

    template <typename C>
    C* get()
    {
        auto& slot = std::get<std::optional<C>>(store_);
        return slot ? &*slot : nullptr;
    }
    template <typename C>
    const C* get() const
    {
        const auto& slot = std::get<std::optional<C>>(store_);
        return slot ? &*slot : nullptr;
    }

    template <typename C>
    void set(C component)
    {
        std::get<std::optional<C>>(store_) = std::move(component);
    }

    // The component, added with its default value when missing.
    template <typename C>
    C& ensure()
    {
        auto& slot = std::get<std::optional<C>>(store_);
        if (!slot) {
            slot.emplace();
        }
        return *slot;
    }

    template <typename C>
    void remove()
    {
        std::get<std::optional<C>>(store_).reset();
    }

private:
    std::tuple<std::optional<ModelComponent>, std::optional<CollisionComponent>, std::optional<OpacityComponent>,
               std::optional<DynamicLightShadowComponent>, std::optional<PointLightComponent>,
               std::optional<DirectionalLightComponent>, std::optional<DirectionalLightShadowComponent>,
               std::optional<PerspectiveCameraComponent>, std::optional<SkinComponent>>
        store_;
};

} // namespace gloam::platform
