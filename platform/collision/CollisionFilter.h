#pragma once

#include <cstdint>

namespace gloam::platform {

// Which groups a collision shape belongs to and which it meets. The default
// filter is in every group and meets every group.
struct CollisionFilter {
    std::uint32_t group = 0xffffffffu;
    std::uint32_t mask = 0xffffffffu;

    static CollisionFilter defaultFilter() { return {}; }
    bool operator==(const CollisionFilter&) const = default;
};

} // namespace gloam::platform
