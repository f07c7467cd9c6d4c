#include "platform/render/EnvironmentLight.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gloam::render {

namespace {

float srgbToLinear(std::uint8_t value)
{
    float c = value / 255.0f;
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}

} // namespace

EnvironmentLight EnvironmentLight::fromEquirectangular(const ImageData& image)
{
    EnvironmentLight light;
    const int w = image.width, h = image.height;
    const size_t pixels = static_cast<size_t>(std::max(w, 0)) * static_cast<size_t>(std::max(h, 0));
    const bool floats = image.encoding == ImageData::Encoding::float32;
    if (w <= 0 || h <= 0 || (floats ? image.floats.size() : image.bytes.size()) < pixels * 4)
        return light;

    constexpr float pi = std::numbers::pi_v<float>;
    std::array<glm::dvec3, 9> projection{};
    // A coarse grid is plenty for the lowest nine harmonics.
    const int step = std::max(1, std::max(w, h) / 256);
    for (int y = 0; y < h; y += step) {
        const float theta = (static_cast<float>(y) + 0.5f * step) / static_cast<float>(h) * pi;
        const float solidAngle =
            (2.0f * pi * step / static_cast<float>(w)) * (pi * step / static_cast<float>(h)) * std::sin(theta);
        for (int x = 0; x < w; x += step) {
            // Longitude from −z (u = 0) through +x (u = ¼).
            const float phi = (static_cast<float>(x) + 0.5f * step) / static_cast<float>(w) * 2.0f * pi;
            const glm::vec3 d(std::sin(theta) * std::sin(phi), std::cos(theta), -std::sin(theta) * std::cos(phi));
            const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 4;
            glm::vec3 c = floats ? glm::vec3(image.floats[i], image.floats[i + 1], image.floats[i + 2])
                                 : (image.encoding == ImageData::Encoding::srgb8
                                        ? glm::vec3(srgbToLinear(image.bytes[i]), srgbToLinear(image.bytes[i + 1]),
                                                    srgbToLinear(image.bytes[i + 2]))
                                        : glm::vec3(image.bytes[i], image.bytes[i + 1], image.bytes[i + 2]) / 255.0f);
            const float basis[9] = {0.282095f,
                                    0.488603f * d.y,
                                    0.488603f * d.z,
                                    0.488603f * d.x,
                                    1.092548f * d.x * d.y,
                                    1.092548f * d.y * d.z,
                                    0.315392f * (3.0f * d.z * d.z - 1.0f),
                                    1.092548f * d.x * d.z,
                                    0.546274f * (d.x * d.x - d.y * d.y)};
            for (int k = 0; k < 9; ++k)
                projection[k] += glm::dvec3(c) * double(basis[k] * solidAngle);
        }
    }
    // Irradiance E(n) = Σ A_l L_k Y_k(n); store A_l L_k K_k / π, with K_k
    // the constant of Y_k, so the shader multiplies by the bare polynomial.
    const float band[9] = {pi,        2.0f * pi / 3.0f, 2.0f * pi / 3.0f, 2.0f * pi / 3.0f, pi / 4.0f,
                           pi / 4.0f, pi / 4.0f,        pi / 4.0f,        pi / 4.0f};
    const float constant[9] = {0.282095f, 0.488603f, 0.488603f, 0.488603f, 1.092548f,
                               1.092548f, 0.315392f, 1.092548f, 0.546274f};
    for (int k = 0; k < 9; ++k)
        light.irradiance[k] = glm::vec3(projection[k]) * band[k] * constant[k] / pi;
    return light;
}

glm::vec3 EnvironmentLight::evaluate(glm::vec3 n) const
{
    const auto& c = irradiance;
    return c[0] + c[1] * n.y + c[2] * n.z + c[3] * n.x + c[4] * (n.x * n.y) + c[5] * (n.y * n.z) +
           c[6] * (3.0f * n.z * n.z - 1.0f) + c[7] * (n.x * n.z) + c[8] * (n.x * n.x - n.y * n.y);
}

} // namespace gloam::render
