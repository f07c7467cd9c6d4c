#pragma once

#include <cstdint>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

namespace gloam::forge {

// Seeded gradient noise in two and three dimensions, with fractal sums.
// The 2-D variant can tile with a given integer period, which the texture
// makers use for seamless maps.
class Noise {
public:
    explicit Noise(std::uint32_t seed);

    // Gradient noise, about -1 to 1.
    float at(glm::vec3 p) const;
    float at(glm::vec2 p, int period = 0) const;

    // Fractal sums of octaves (lacunarity 2), normalised to about -1 to 1.
    float fbm(glm::vec3 p, int octaves, float gain = 0.5f) const;
    float fbm(glm::vec2 p, int octaves, float gain = 0.5f, int period = 0) const;
    // Ridged fractal sum, 0 to about 1 (sharp creases at the noise's zeros).
    float ridged(glm::vec2 p, int octaves, int period = 0) const;

    // Cellular noise: distance to the nearest and second-nearest feature
    // point of a jittered grid (2-D, tileable with period).
    glm::vec2 cells(glm::vec2 p, int period = 0) const;

private:
    std::uint32_t hash(int x, int y, int z) const;
    std::uint32_t seed_;
};

} // namespace gloam::forge
