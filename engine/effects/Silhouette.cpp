#include "engine/effects/Silhouette.h"

#include "platform/scene/DynamicLightShadowComponent.h"
#include "platform/scene/ModelComponent.h"

#include <algorithm>

namespace gloam {

platform::UnlitMaterial Silhouette::witchMaterial()
{
    return platform::UnlitMaterial(platform::rgb(0.012F, 0.02F, 0.027F));
}

void Silhouette::apply(platform::Entity& tree, const platform::Material& material)
{
    tree.visit([&material](platform::Entity& entity) {
        platform::ModelComponent* model = entity.components.get<platform::ModelComponent>();
        if (model == nullptr) {
            return;
        }
        std::fill(model->materials.begin(), model->materials.end(), material);
        entity.components.set(platform::DynamicLightShadowComponent{false});
    });
}

} // namespace gloam
