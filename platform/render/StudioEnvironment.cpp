#include "platform/render/StudioEnvironment.h"

#include <glm/common.hpp>
#include <glm/exponential.hpp>
#include <glm/geometric.hpp>
#include <glm/vec3.hpp>

#include <cmath>
#include <numbers>

namespace gloam::render {

std::vector<float> StudioEnvironment::pixels()
{
    constexpr float pi = std::numbers::pi_v<float>;
    std::vector<float> rgba(static_cast<size_t>(width) * height * 4);
    const glm::vec3 sun = glm::normalize(glm::vec3(-0.5f, 0.35f, 0.6f));
    for (int y = 0; y < height; ++y) {
        const float theta = (static_cast<float>(y) + 0.5f) / height * pi;
        for (int x = 0; x < width; ++x) {
            const float phi = (static_cast<float>(x) + 0.5f) / width * 2.0f * pi;
            const glm::vec3 d(std::sin(theta) * std::sin(phi), std::cos(theta), -std::sin(theta) * std::cos(phi));
            glm::vec3 c;
            if (d.y >= 0.0f) {
                const float t = std::pow(1.0f - d.y, 4.0f);
                c = glm::mix(glm::vec3(0.10f, 0.16f, 0.32f), glm::vec3(0.55f, 0.58f, 0.62f), t);
            } else {
                const float t = std::pow(1.0f + d.y, 8.0f);
                c = glm::mix(glm::vec3(0.05f, 0.045f, 0.04f), glm::vec3(0.30f, 0.28f, 0.26f), t);
            }
            const float glow = std::pow(std::max(glm::dot(d, sun), 0.0f), 64.0f);
            c += glm::vec3(6.0f, 5.0f, 3.8f) * glow;
            const size_t i = (static_cast<size_t>(y) * width + static_cast<size_t>(x)) * 4;
            rgba[i] = c.r;
            rgba[i + 1] = c.g;
            rgba[i + 2] = c.b;
            rgba[i + 3] = 1.0f;
        }
    }
    return rgba;
}

} // namespace gloam::render
