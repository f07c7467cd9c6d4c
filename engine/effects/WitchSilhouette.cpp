#include "engine/effects/WitchSilhouette.h"

#include "resources/SceneNames.h"

#include "platform/scene/DynamicLightShadowComponent.h"
#include "platform/scene/ModelComponent.h"

#include <algorithm>

namespace gloam {

platform::UnlitMaterial WitchSilhouette::moonMaterial()
{
    return platform::UnlitMaterial(platform::rgb(0.012F, 0.02F, 0.027F));
}

WitchSilhouette WitchSilhouette::style(platform::Entity& model, const platform::Material& silhouette)
{
    WitchSilhouette result;
    model.visit([&](platform::Entity& entity) {
        if (auto* component = entity.components.get<platform::ModelComponent>()) {
            // One material per slot as loaded, so that every part keeps drawing.
            std::fill(component->materials.begin(), component->materials.end(), silhouette);
            if (component->materials.empty()) {
                component->materials.push_back(silhouette);
            }
            entity.components.set(platform::DynamicLightShadowComponent{false});
        }
        if (entity.name() == scene_names::witchCape) {
            result.cape = entity.shared_from_this();
            result.capeRest = entity.transform();
        }
    });
    return result;
}

} // namespace gloam
