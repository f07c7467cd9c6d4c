#pragma once

#include "platform/render/ImageData.h"

#include <glm/vec3.hpp>

#include <array>

namespace gloam::render {

// The diffuse part of an equirectangular environment: its irradiance as
// nine spherical-harmonic coefficients (Ramamoorthi and Hanrahan), already
// divided by π and folded with the basis constants so that a shader
// evaluates a plain polynomial in the normal (see SceneShaders).
struct EnvironmentLight {
    std::array<glm::vec3, 9> irradiance{};

    static EnvironmentLight fromEquirectangular(const ImageData& image);
    // The irradiance / π the coefficients give for a normal; for tests.
    glm::vec3 evaluate(glm::vec3 normal) const;
};

} // namespace gloam::render
