#include "forge/vehicles/LampTextures.h"

#include <algorithm>
#include <cmath>

#include <glm/geometric.hpp>

namespace gloam::forge {

Image headlampPicture()
{
    const int w = 64, h = 32;
    Image img(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            glm::vec2 p((static_cast<float>(x) + 0.5f) / w * 2.0f - 1.0f,
                        (static_cast<float>(y) + 0.5f) / h * 2.0f - 1.0f);
            float r = glm::length(p * glm::vec2(1.0f, 0.8f));
            float core = std::exp(-r * r * 6.0f);
            float rings = 0.5f + 0.5f * std::cos(r * 28.0f);
            float level = std::clamp(0.55f + 0.45f * core + 0.08f * rings, 0.0f, 1.0f);
            img.at(x, y) = glm::vec4(level, level * 0.96f, level * 0.86f, 1.0f);
        }
    }
    return img;
}

Image tailLampPicture()
{
    const int w = 64, h = 32;
    Image img(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            float v = (static_cast<float>(y) + 0.5f) / h;
            float bars = 0.5f + 0.5f * std::cos(v * 2.0f * 3.14159265f * 5.0f);
            float band = std::exp(-std::pow((v - 0.5f) / 0.18f, 2.0f));
            float level = std::clamp(0.6f + 0.25f * band + 0.15f * bars, 0.0f, 1.0f);
            img.at(x, y) = glm::vec4(level, 0.08f * level, 0.05f * level, 1.0f);
        }
    }
    return img;
}

Image rubberPicture()
{
    const int w = 32, h = 32;
    Image img(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            float tread = (x / 4 + y / 8) % 2 == 0 ? 0.07f : 0.045f;
            img.at(x, y) = glm::vec4(tread, tread, tread * 1.05f, 1.0f);
        }
    }
    return img;
}

} // namespace gloam::forge
