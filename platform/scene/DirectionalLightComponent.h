#pragma once

#include "platform/material/MaterialTypes.h"

#include <optional>

namespace gloam::platform {

// A light shining along the entity's −z axis. Intensity in lux.
struct DirectionalLightComponent {
    // The light's shadow. With the automatic projection the shadow map
    // covers what the camera sees, up to `maximumDistance` from it.
    struct Shadow {
        enum class Projection { automatic, fixed };
        Projection projection = Projection::automatic;
        float maximumDistance = 20.0f;
        float depthBias = 1.0f;

        static Shadow automatic(float maximumDistance)
        {
            Shadow s;
            s.maximumDistance = maximumDistance;
            return s;
        }
    };

    Color color{1.0f, 1.0f, 1.0f, 1.0f};
    float intensity = 2145.7078f;
};

// The shadow settings of a directional light, a component of its own.
using DirectionalLightShadowComponent = DirectionalLightComponent::Shadow;

} // namespace gloam::platform
