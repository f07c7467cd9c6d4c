#pragma once

namespace gloam::platform {

// Whether a model entity casts shadows from lights with shadows. An entity
// without this component casts them.
struct DynamicLightShadowComponent {
    bool castsShadow = true;
};

} // namespace gloam::platform
