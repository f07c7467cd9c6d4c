#include "forge/world/SurfaceTextures.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>

#include <glm/common.hpp>

#include "forge/mesh/Noise.h"
#include "forge/mesh/Random.h"
#include "resources/ResourceFiles.h"
#include "resources/SceneNames.h"

namespace gloam::forge {

namespace {

// 256 texels a side: at the scene's viewing distance a screen pixel covers
// about two centimetres, so finer maps would only cost download and memory.
constexpr int size = 256;
constexpr float pi = 3.14159265f;

// Fills a tileable height field: f receives uv in [0, 1).
Image heightField(const std::function<float(glm::vec2)>& f)
{
    Image h(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            glm::vec2 uv((static_cast<float>(x) + 0.5f) / size, (static_cast<float>(y) + 0.5f) / size);
            h.at(x, y) = glm::vec4(f(uv), 0, 0, 1);
        }
    }
    return h;
}

float stoneGrain(const Noise& n, glm::vec2 uv)
{
    return 0.5f * n.fbm(uv * 32.0f, 3, 0.5f, 32);
}

Image stone(std::uint32_t seed, float pits, float cracks, float tooling, float roughness)
{
    Noise n(seed);
    return heightField([&](glm::vec2 uv) {
        float h = 0.6f * n.fbm(uv * 4.0f, 5, 0.55f, 4) + roughness * stoneGrain(n, uv);
        // Pits where cells are close to their feature points.
        glm::vec2 c = n.cells(uv * 14.0f, 14);
        h -= pits * std::max(0.0f, 0.18f - c.x) * 5.0f;
        // Hairline cracks wandering across the face.
        float crease = n.ridged(uv * 3.0f + glm::vec2(0.37f), 4, 3);
        h -= cracks * std::max(0.0f, crease - 0.86f) * 4.0f;
        // Chisel tooling: fine parallel grooves.
        h += tooling * 0.12f * std::sin(uv.y * 2.0f * pi * 48.0f + 2.0f * n.at(uv * 8.0f, 8));
        return h;
    });
}

Image wood(std::uint32_t seed)
{
    Noise n(seed);
    return heightField([&](glm::vec2 uv) {
        // Grain runs along v; growth rings wander with low noise.
        float warp = 0.6f * n.fbm(glm::vec2(uv.x * 3.0f, uv.y * 2.0f), 3, 0.5f, 2);
        float rings = std::sin((uv.x * 24.0f + warp * 3.0f) * 2.0f * pi);
        float fibres = n.fbm(glm::vec2(uv.x * 64.0f, uv.y * 4.0f), 3, 0.5f, 4);
        float cracks = std::max(0.0f, n.ridged(glm::vec2(uv.x * 8.0f, uv.y * 1.0f), 3, 1) - 0.8f) * 4.0f;
        return 0.18f * rings + 0.25f * fibres - 0.6f * cracks;
    });
}

Image moss(std::uint32_t seed, float clump)
{
    Noise n(seed);
    return heightField([&](glm::vec2 uv) {
        glm::vec2 c = n.cells(uv * 18.0f, 18);
        float cushions = clump * std::sqrt(std::max(0.0f, 1.0f - c.x * 1.6f));
        float fibres = 0.35f * n.fbm(uv * 96.0f, 2, 0.5f, 96);
        return cushions + fibres + 0.3f * n.fbm(uv * 6.0f, 3, 0.5f, 6);
    });
}

Image bone(std::uint32_t seed, float pores, float striation)
{
    Noise n(seed);
    return heightField([&](glm::vec2 uv) {
        glm::vec2 c = n.cells(uv * 40.0f, 40);
        float pitting = -pores * std::max(0.0f, 0.22f - c.x) * 4.0f;
        float grain = striation * n.fbm(glm::vec2(uv.x * 48.0f, uv.y * 6.0f), 3, 0.5f, 6);
        return 0.3f * n.fbm(uv * 5.0f, 4, 0.5f, 5) + pitting + grain;
    });
}

Image cloth(std::uint32_t seed)
{
    Noise n(seed);
    return heightField([&](glm::vec2 uv) {
        // Plain weave: warp and weft threads passing over and under.
        float threads = 64.0f;
        float u = uv.x * threads, v = uv.y * threads;
        float warp = std::sin(u * 2.0f * pi) * std::sin(v * pi);
        float weft = std::sin(v * 2.0f * pi) * std::sin(u * pi + pi * 0.5f);
        float weave = 0.5f * std::max(warp, weft);
        float wrinkles = 0.8f * n.fbm(uv * 3.0f, 4, 0.5f, 3);
        float wear = 0.2f * n.fbm(uv * 20.0f, 2, 0.5f, 20);
        return weave * 0.35f + wrinkles + wear;
    });
}

Image pumpkinSkin(std::uint32_t seed)
{
    Noise n(seed);
    return heightField([&](glm::vec2 uv) {
        float streaks = 0.35f * n.fbm(glm::vec2(uv.x * 40.0f, uv.y * 3.0f), 4, 0.5f, 3);
        glm::vec2 c = n.cells(uv * 22.0f, 22);
        float warts = 0.5f * std::max(0.0f, 0.16f - c.x) * 6.0f;
        return streaks + warts + 0.2f * n.fbm(uv * 8.0f, 3, 0.5f, 8);
    });
}

Image soil(std::uint32_t seed, float scale)
{
    Noise n(seed);
    return heightField([&](glm::vec2 uv) {
        glm::vec2 clods = n.cells(uv * 12.0f * scale, static_cast<int>(12.0f * scale));
        float clod = 0.6f * std::sqrt(std::max(0.0f, clods.y - clods.x));
        glm::vec2 pebbles = n.cells(uv * 30.0f * scale + glm::vec2(0.5f), static_cast<int>(30.0f * scale));
        float pebble =
            0.8f * std::sqrt(std::max(0.0f, 0.25f - pebbles.x * pebbles.x) * 4.0f) * (pebbles.x < 0.25f ? 1.0f : 0.0f);
        float grains = 0.25f * n.fbm(uv * 80.0f, 2, 0.5f, 80);
        return clod + pebble * 0.5f + grains + 0.3f * n.fbm(uv * 4.0f, 3, 0.5f, 4);
    });
}

std::uint32_t seedOf(std::string_view key)
{
    std::uint32_t h = 2166136261U;
    for (char c : key) {
        h = (h ^ static_cast<std::uint8_t>(c)) * 16777619U;
    }
    return h;
}

} // namespace

Image surfaceNormalMap(std::string_view key)
{
    std::uint32_t seed = seedOf(key);
    std::string k(key);
    Image height;
    float strength = 0.02f;
    if (k == "WeatheredStone") {
        height = stone(seed, 1.0f, 1.0f, 0.0f, 1.0f);
        strength = 0.024f;
    } else if (k == "StoneTrim") {
        height = stone(seed, 0.4f, 0.3f, 1.0f, 0.5f);
        strength = 0.02f;
    } else if (k == "StoneInset") {
        height = stone(seed, 0.25f, 0.6f, 0.0f, 0.35f);
        strength = 0.03f;
    } else if (k == "OldWood") {
        height = wood(seed);
        strength = 0.022f;
    } else if (k == "PumpkinSkin") {
        height = pumpkinSkin(seed);
        strength = 0.03f;
    } else if (k == "MossStone") {
        height = moss(seed, 0.7f);
        strength = 0.034f;
    } else if (k == "MossRecess") {
        height = moss(seed, 0.35f);
        strength = 0.03f;
    } else if (k == "BonesSkin" || k == "BonesPalm" || k == "BonesWrist" || k == "BonesThumb") {
        float pores = k == "BonesWrist" ? 1.0f : (k == "BonesPalm" ? 0.7f : 0.5f);
        float striation = k == "BonesSkin" || k == "BonesThumb" ? 0.35f : 0.2f;
        height = bone(seed, pores, striation);
        strength = 0.025f;
    } else if (k == "Sleeve") {
        height = cloth(seed);
        strength = 0.02f;
    } else if (k == "MoundSoil") {
        height = soil(seed, 1.0f);
        strength = 0.03f;
    } else {
        throw std::invalid_argument("no surface for normal-map key " + k);
    }
    // Strengths above are relative; the maps stay gentle so that lighting
    // reads the shapes first and the surface second.
    // (Strengths were tuned on 512-texel maps: slopes per texel double at 256.)
    return normalMapFromHeight(height, strength * 4.0f * (512.0f / static_cast<float>(size)));
}

Image groundNormalMap()
{
    Image height = soil(seedOf("ground-v5"), 0.6f);
    Noise n(55);
    Image cracked = heightField([&](glm::vec2 uv) {
        float crease = n.ridged(uv * 2.0f, 4, 2);
        return -0.6f * std::max(0.0f, crease - 0.88f) * 5.0f;
    });
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            height.at(x, y).r += cracked.at(x, y).r;
        }
    }
    return normalMapFromHeight(height, 0.1f * (512.0f / static_cast<float>(size)));
}

Image pumpkinCavity()
{
    Noise n(606);
    const int s = 256;
    Image img(s, s);
    for (int y = 0; y < s; ++y) {
        for (int x = 0; x < s; ++x) {
            glm::vec2 p((static_cast<float>(x) + 0.5f) / s * 2.0f - 1.0f,
                        (static_cast<float>(y) + 0.5f) / s * 2.0f - 1.0f);
            // Hottest a little below the middle, where the flame shows.
            glm::vec2 q = p - glm::vec2(0.0f, 0.15f);
            float r = std::sqrt(q.x * q.x * 0.8f + q.y * q.y);
            float flicker = 0.12f * n.fbm(glm::vec2(p.x * 3.0f, p.y * 6.0f), 4);
            float heat = std::clamp(1.0f - r * 0.85f + flicker, 0.0f, 1.0f);
            // Fibres of the carved flesh catch the light at the rim.
            float fibres = 0.15f * n.fbm(glm::vec2(std::atan2(p.y, p.x) * 8.0f, r * 3.0f), 3);
            glm::vec3 deep(0.45f, 0.06f, 0.01f), orange(1.0f, 0.42f, 0.04f), hot(1.0f, 0.86f, 0.45f);
            glm::vec3 c =
                heat < 0.55f ? glm::mix(deep, orange, heat / 0.55f) : glm::mix(orange, hot, (heat - 0.55f) / 0.45f);
            c *= 0.9f + fibres;
            img.at(x, y) = glm::vec4(glm::clamp(c, 0.0f, 1.0f), 1.0f);
        }
    }
    return img;
}

void writeSurfaceTextures(const std::filesystem::path& folder)
{
    for (std::string_view key : scene_names::normalMapKeys) {
        surfaceNormalMap(key).writePng(folder / scene_names::normalMapFile(key), false);
    }
    groundNormalMap().writePng(folder / std::string(gloam::resources::groundNormalMap), false);
    pumpkinCavity().writePng(folder / std::string(gloam::resources::pumpkinCavity), false);
}

} // namespace gloam::forge
