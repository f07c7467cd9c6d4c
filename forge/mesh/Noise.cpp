#include "forge/mesh/Noise.h"

#include <algorithm>
#include <cmath>

namespace gloam::forge {

namespace {

float fade(float t)
{
    return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f);
}

float lerp(float a, float b, float t)
{
    return a + (b - a) * t;
}

int wrap(int v, int period)
{
    if (period <= 0) {
        return v;
    }
    int m = v % period;
    return m < 0 ? m + period : m;
}

} // namespace

Noise::Noise(std::uint32_t seed)
    : seed_(seed * 0x9E3779B9U + 0x7F4A7C15U)
{}

std::uint32_t Noise::hash(int x, int y, int z) const
{
    std::uint32_t h = seed_;
    h ^= static_cast<std::uint32_t>(x) * 0x8DA6B343U;
    h ^= static_cast<std::uint32_t>(y) * 0xD8163841U;
    h ^= static_cast<std::uint32_t>(z) * 0xCB1AB31FU;
    h ^= h >> 15;
    h *= 0x2C1B3C6DU;
    h ^= h >> 12;
    h *= 0x297A2D39U;
    h ^= h >> 15;
    return h;
}

float Noise::at(glm::vec3 p) const
{
    int x0 = static_cast<int>(std::floor(p.x));
    int y0 = static_cast<int>(std::floor(p.y));
    int z0 = static_cast<int>(std::floor(p.z));
    glm::vec3 f = p - glm::vec3(x0, y0, z0);
    auto grad = [&](int ix, int iy, int iz, glm::vec3 d) {
        std::uint32_t h = hash(ix, iy, iz) & 15U;
        // The twelve edge directions of a cube (four repeated).
        static constexpr float g[16][3] = {{1, 1, 0},  {-1, 1, 0},  {1, -1, 0}, {-1, -1, 0}, {1, 0, 1},  {-1, 0, 1},
                                           {1, 0, -1}, {-1, 0, -1}, {0, 1, 1},  {0, -1, 1},  {0, 1, -1}, {0, -1, -1},
                                           {1, 1, 0},  {-1, 1, 0},  {0, -1, 1}, {0, -1, -1}};
        return g[h][0] * d.x + g[h][1] * d.y + g[h][2] * d.z;
    };
    float u = fade(f.x), v = fade(f.y), w = fade(f.z);
    float n000 = grad(x0, y0, z0, f);
    float n100 = grad(x0 + 1, y0, z0, f - glm::vec3(1, 0, 0));
    float n010 = grad(x0, y0 + 1, z0, f - glm::vec3(0, 1, 0));
    float n110 = grad(x0 + 1, y0 + 1, z0, f - glm::vec3(1, 1, 0));
    float n001 = grad(x0, y0, z0 + 1, f - glm::vec3(0, 0, 1));
    float n101 = grad(x0 + 1, y0, z0 + 1, f - glm::vec3(1, 0, 1));
    float n011 = grad(x0, y0 + 1, z0 + 1, f - glm::vec3(0, 1, 1));
    float n111 = grad(x0 + 1, y0 + 1, z0 + 1, f - glm::vec3(1, 1, 1));
    float x00 = lerp(n000, n100, u), x10 = lerp(n010, n110, u);
    float x01 = lerp(n001, n101, u), x11 = lerp(n011, n111, u);
    return lerp(lerp(x00, x10, v), lerp(x01, x11, v), w);
}

float Noise::at(glm::vec2 p, int period) const
{
    int x0 = static_cast<int>(std::floor(p.x));
    int y0 = static_cast<int>(std::floor(p.y));
    glm::vec2 f = p - glm::vec2(x0, y0);
    auto grad = [&](int ix, int iy, glm::vec2 d) {
        std::uint32_t h = hash(wrap(ix, period), wrap(iy, period), 0);
        float a = static_cast<float>(h & 1023U) * (6.2831853f / 1024.0f);
        return std::cos(a) * d.x + std::sin(a) * d.y;
    };
    float u = fade(f.x), v = fade(f.y);
    float n00 = grad(x0, y0, f);
    float n10 = grad(x0 + 1, y0, f - glm::vec2(1, 0));
    float n01 = grad(x0, y0 + 1, f - glm::vec2(0, 1));
    float n11 = grad(x0 + 1, y0 + 1, f - glm::vec2(1, 1));
    return lerp(lerp(n00, n10, u), lerp(n01, n11, u), v) * 1.41f;
}

float Noise::fbm(glm::vec3 p, int octaves, float gain) const
{
    float sum = 0.0f, amp = 1.0f, norm = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        sum += amp * at(p + glm::vec3(static_cast<float>(i) * 17.31f));
        norm += amp;
        amp *= gain;
        p *= 2.0f;
    }
    return sum / norm * 1.6f;
}

float Noise::fbm(glm::vec2 p, int octaves, float gain, int period) const
{
    float sum = 0.0f, amp = 1.0f, norm = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        sum += amp * at(p, period);
        norm += amp;
        amp *= gain;
        p *= 2.0f;
        if (period > 0) {
            period *= 2;
        }
    }
    return sum / norm * 1.4f;
}

float Noise::ridged(glm::vec2 p, int octaves, int period) const
{
    float sum = 0.0f, amp = 1.0f, norm = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        float n = 1.0f - std::abs(at(p, period));
        sum += amp * n * n;
        norm += amp;
        amp *= 0.5f;
        p *= 2.0f;
        if (period > 0) {
            period *= 2;
        }
    }
    return sum / norm;
}

glm::vec2 Noise::cells(glm::vec2 p, int period) const
{
    int cx = static_cast<int>(std::floor(p.x));
    int cy = static_cast<int>(std::floor(p.y));
    float d1 = 9.0f, d2 = 9.0f;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            int gx = cx + dx, gy = cy + dy;
            std::uint32_t h = hash(wrap(gx, period), wrap(gy, period), 7);
            glm::vec2 feature(static_cast<float>(gx) + static_cast<float>(h & 255U) / 255.0f,
                              static_cast<float>(gy) + static_cast<float>((h >> 8) & 255U) / 255.0f);
            glm::vec2 d = feature - p;
            float dist = std::sqrt(d.x * d.x + d.y * d.y);
            if (dist < d1) {
                d2 = d1;
                d1 = dist;
            } else if (dist < d2) {
                d2 = dist;
            }
        }
    }
    return {d1, d2};
}

} // namespace gloam::forge
