#pragma once

#include "platform/material/Material.h"
#include "platform/material/UnlitMaterial.h"
#include "platform/scene/Entity.h"
#include "platform/scene/Transform.h"

namespace gloam {

// A loaded witch model turned into a flat silhouette against the night
// sky: every model part draws with one given material and casts no shadow.
// The witch crossing the moon and the opening's witch are drawn this way.
// The model's cape (the entity named "WitchCape") is found on the way, so
// that its owner can flutter it from the pose it was loaded in.
struct WitchSilhouette {
    // The last "WitchCape" entity of the tree, or null when there is none.
    platform::EntityPtr cape;
    // The cape's local transform as loaded.
    platform::Transform capeRest;

    // The night-sky black of the witch crossing the moon.
    static platform::UnlitMaterial moonMaterial();

    // Styles `model` and its descendants in place, parents before children.
    static WitchSilhouette style(platform::Entity& model, const platform::Material& silhouette);
};

} // namespace gloam
