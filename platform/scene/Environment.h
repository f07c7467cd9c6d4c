#pragma once

#include "platform/material/MaterialTypes.h"

#include <memory>

namespace gloam::platform {

class EnvironmentResource;

// What surrounds the scene: the background colour drawn behind everything,
// and the image-based light. The light's strength is scaled by
// 2^intensityExponent; with no resource the renderer uses its default
// neutral light.
struct Environment {
    struct Lighting {
        std::shared_ptr<const EnvironmentResource> resource;
        float intensityExponent = 0.0f;
    };

    Color background{0.0f, 0.0f, 0.0f, 1.0f};
    Lighting lighting;
};

} // namespace gloam::platform
