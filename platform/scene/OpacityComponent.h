#pragma once

namespace gloam::platform {

// Fades an entity and all its descendants: the opacities along the path
// from the root multiply.
struct OpacityComponent {
    float opacity = 1.0f;
};

} // namespace gloam::platform
