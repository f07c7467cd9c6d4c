#pragma once

#include "platform/material/MaterialTypes.h"

#include <memory>
#include <string>

namespace gloam::platform {

class TextureResource;
using TexturePtr = std::shared_ptr<const TextureResource>;

// A material that shows its colour as it is, without lighting.
struct UnlitMaterial {
    struct BaseColor {
        Color tint{1.0f, 1.0f, 1.0f, 1.0f};
        TexturePtr texture;
        bool operator==(const BaseColor&) const = default;
    };

    UnlitMaterial() = default;
    explicit UnlitMaterial(Color tint) { color.tint = tint; }

    std::string name;
    BaseColor color;
    FaceCulling faceCulling = FaceCulling::back;
    Blending blending;
    // Whether the frame's tone mapping applies to this material's colour.
    bool toneMapped = true;
    bool writesDepth = true;

    bool operator==(const UnlitMaterial&) const = default;
};

} // namespace gloam::platform
