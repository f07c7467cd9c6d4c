#pragma once

#include "platform/material/Material.h"
#include "platform/material/UnlitMaterial.h"
#include "platform/scene/Entity.h"

namespace gloam {

// Turns a loaded model into a flat shape against the night sky: every
// material of every model in the tree becomes one unlit colour (the number
// of material slots is kept) and nothing casts a dynamic shadow. The witch
// crossing the moon and the opening's witch are drawn this way.
class Silhouette {
public:
    Silhouette() = delete;

    // The night-sky black of the witch.
    static platform::UnlitMaterial witchMaterial();

    // Styles `tree` and all its descendants, parents first.
    static void apply(platform::Entity& tree, const platform::Material& material);
};

} // namespace gloam
