#pragma once

#include "platform/collision/CollisionFilter.h"
#include "platform/collision/ShapeResource.h"

#include <utility>
#include <vector>

namespace gloam::platform {

// Makes an entity hittable by picking: its shapes, in its own space.
struct CollisionComponent {
    enum class Mode { defaultMode, trigger };

    CollisionComponent() = default;
    explicit CollisionComponent(std::vector<ShapeResource> shapes_, Mode mode_ = Mode::defaultMode,
                                CollisionFilter filter_ = CollisionFilter::defaultFilter())
        : shapes(std::move(shapes_))
        , mode(mode_)
        , filter(filter_)
    {}

    std::vector<ShapeResource> shapes;
    Mode mode = Mode::defaultMode;
    CollisionFilter filter = CollisionFilter::defaultFilter();
};

} // namespace gloam::platform
