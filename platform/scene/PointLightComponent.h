#pragma once

#include "platform/material/MaterialTypes.h"

namespace gloam::platform {

// A light radiating from the entity's position. Intensity in lumens; the
// light falls off with distance and reaches zero at the attenuation radius.
struct PointLightComponent {
    Color color{1.0f, 1.0f, 1.0f, 1.0f};
    float intensity = 26963.76f;
    float attenuationRadius = 10.0f;
};

} // namespace gloam::platform
