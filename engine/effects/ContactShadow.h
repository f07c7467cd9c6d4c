#pragma once

#include "platform/scene/ModelEntity.h"

#include <glm/vec2.hpp>

#include <cstdint>
#include <memory>
#include <vector>

namespace gloam {

// The soft dark patch under the vehicle: a plane of the vehicle's shadow
// footprint with a rounded-rectangle alpha texture, just above the ground.
struct ContactShadow {
    static constexpr int imageWidth = 512;
    static constexpr int imageHeight = 256;
    static constexpr float height = 0.003F;

    // The 512 × 256 RGBA image: black, alpha 242 in the middle fading to 0
    // towards the edges; rows top to bottom.
    static std::vector<std::uint8_t> image();

    // The shadow plane for a footprint (width along x, depth along z), or
    // null when its texture cannot be made.
    static std::shared_ptr<platform::ModelEntity> make(glm::vec2 footprint);
};

} // namespace gloam
