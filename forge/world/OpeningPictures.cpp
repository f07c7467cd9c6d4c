#include "forge/world/OpeningPictures.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include <glm/common.hpp>
#include <glm/geometric.hpp>
#include <stb_truetype.h>

#include "forge/mesh/Noise.h"
#include "forge/mesh/Random.h"
#include "resources/ResourceFiles.h"
#include "resources/SceneLandmarks.h"

namespace gloam::forge {

namespace {

constexpr float pi = 3.14159265f;

float smooth(float a, float b, float x)
{
    float t = std::clamp((x - a) / (b - a), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// A coverage mask painted with simple shapes, in picture units (0..1).
class Mask {
public:
    explicit Mask(int size)
        : size_(size)
        , cover_(static_cast<std::size_t>(size * size), 0.0f)
    {}
    float at(int x, int y) const { return cover_[static_cast<std::size_t>(y * size_ + x)]; }

    void polygon(const std::vector<glm::vec2>& poly)
    {
        glm::vec2 lo(1e9f), hi(-1e9f);
        for (glm::vec2 p : poly) {
            lo = glm::min(lo, p);
            hi = glm::max(hi, p);
        }
        int x0 = std::max(0, static_cast<int>(lo.x * size_) - 1),
            x1 = std::min(size_ - 1, static_cast<int>(hi.x * size_) + 1);
        int y0 = std::max(0, static_cast<int>(lo.y * size_) - 1),
            y1 = std::min(size_ - 1, static_cast<int>(hi.y * size_) + 1);
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                // 2 x 2 supersampling for soft edges.
                float c = 0.0f;
                for (int s = 0; s < 4; ++s) {
                    glm::vec2 p((static_cast<float>(x) + 0.25f + 0.5f * static_cast<float>(s & 1)) /
                                    static_cast<float>(size_),
                                (static_cast<float>(y) + 0.25f + 0.5f * static_cast<float>(s >> 1)) /
                                    static_cast<float>(size_));
                    c += inside(poly, p) ? 0.25f : 0.0f;
                }
                float& dst = cover_[static_cast<std::size_t>(y * size_ + x)];
                dst = std::max(dst, c);
            }
        }
    }

    void line(glm::vec2 a, glm::vec2 b, float width)
    {
        glm::vec2 d = b - a;
        float len = glm::length(d);
        if (len <= 0.0f)
            return;
        glm::vec2 n = glm::vec2(-d.y, d.x) / len * (width * 0.5f);
        polygon({a + n, b + n * 0.7f, b - n * 0.7f, a - n});
    }

private:
    static bool inside(const std::vector<glm::vec2>& poly, glm::vec2 p)
    {
        bool in = false;
        for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
            if ((poly[i].y > p.y) != (poly[j].y > p.y) &&
                p.x < (poly[j].x - poly[i].x) * (p.y - poly[i].y) / (poly[j].y - poly[i].y) + poly[i].x) {
                in = !in;
            }
        }
        return in;
    }
    int size_;
    std::vector<float> cover_;
};

void tree(Mask& mask, Random& rng, glm::vec2 base, float height, float width)
{
    std::function<void(glm::vec2, float, float, float, int)> branch = [&](glm::vec2 p, float angle, float length,
                                                                          float w, int depth) {
        glm::vec2 q = p;
        int steps = 3;
        for (int i = 0; i < steps; ++i) {
            float a = angle + rng.range(-0.25f, 0.25f);
            glm::vec2 next = q + glm::vec2(std::sin(a), -std::cos(a)) * (length / static_cast<float>(steps));
            mask.line(q, next, w * (1.0f - 0.25f * static_cast<float>(i) / static_cast<float>(steps)));
            q = next;
        }
        if (depth >= 5)
            return;
        int children = depth == 0 ? 3 : 2;
        for (int c = 0; c < children; ++c) {
            float spread = rng.range(0.35f, 0.75f) * (c % 2 == 0 ? -1.0f : 1.0f);
            branch(q, angle + spread, length * rng.range(0.6f, 0.78f), w * 0.62f, depth + 1);
        }
    };
    branch(base, rng.range(-0.08f, 0.08f), height * 0.38f, width, 0);
}

} // namespace

Image openingPanorama(int size)
{
    Noise noise(1313), paint(1314);
    Random rng(1315);
    Image img(size, size);
    const glm::vec2 moon(0.5f, 0.19f);
    const float moonRadius = 0.072f;
    // Hills as heights (v of their crest) across the picture.
    auto farHills = [&](float u) {
        return 0.615f - 0.03f * noise.fbm(glm::vec2(u * 3.0f, 1.0f), 4) - 0.015f * std::sin(u * 5.0f);
    };
    auto midHill = [&](float u) {
        float crest = 0.665f - 0.05f * std::exp(-std::pow((u - 0.7f) / 0.16f, 2.0f));
        return crest + 0.025f * noise.fbm(glm::vec2(u * 6.0f, 2.0f), 3) + 0.02f * (1.0f - u);
    };
    auto nearHill = [&](float u) {
        return 0.8f + 0.035f * std::sin(u * 4.2f + 0.6f) + 0.012f * noise.fbm(glm::vec2(u * 12.0f, 3.0f), 3);
    };
    // Silhouettes: house, trees, graves, fence.
    Mask house(size), trees(size), graves(size);
    {
        float hx = landmarks::panoramaHouseAcross, base = midHill(hx) + 0.004f;
        float w = landmarks::panoramaHouseWidth, h = 0.05f;
        house.polygon(
            {{hx - w * 0.5f, base}, {hx + w * 0.5f, base}, {hx + w * 0.5f, base - h}, {hx - w * 0.5f, base - h}});
        house.polygon({{hx - w * 0.56f, base - h}, {hx + w * 0.56f, base - h}, {hx, base - h - 0.055f}});
        house.polygon(
            {{hx + 0.012f, base - h - 0.01f}, {hx + 0.052f, base - h - 0.01f}, {hx + 0.032f, base - h - 0.04f}});
        house.polygon({{hx - 0.025f, base - h - 0.02f},
                       {hx - 0.017f, base - h - 0.02f},
                       {hx - 0.017f, base - h - 0.065f},
                       {hx - 0.025f, base - h - 0.065f}});
        house.polygon({{hx + w * 0.5f, base},
                       {hx + w * 0.5f + 0.03f, base},
                       {hx + w * 0.5f + 0.03f, base - 0.025f},
                       {hx + w * 0.5f, base - 0.035f}});
    }
    tree(trees, rng, {0.6f, midHill(0.6f) + 0.005f}, 0.13f, 0.006f);
    tree(trees, rng, {0.8f, midHill(0.8f) + 0.005f}, 0.11f, 0.005f);
    tree(trees, rng, {0.1f, nearHill(0.1f) + 0.01f}, 0.33f, 0.012f);
    tree(trees, rng, {0.93f, nearHill(0.93f) + 0.01f}, 0.26f, 0.01f);
    for (float u = 0.18f; u < 0.88f; u += rng.range(0.035f, 0.06f)) {
        float v = nearHill(u) + 0.006f;
        float w = rng.range(0.012f, 0.02f), h = rng.range(0.02f, 0.035f);
        float lean = rng.range(-0.004f, 0.004f);
        if (rng.unit() < 0.3f) {
            graves.polygon({{u - 0.002f, v},
                            {u + 0.002f, v},
                            {u + 0.002f + lean, v - h * 1.3f},
                            {u - 0.002f + lean, v - h * 1.3f}});
            graves.polygon({{u - w * 0.5f + lean, v - h * 0.95f},
                            {u + w * 0.5f + lean, v - h * 0.95f},
                            {u + w * 0.5f + lean, v - h * 1.05f},
                            {u - w * 0.5f + lean, v - h * 1.05f}});
        } else {
            std::vector<glm::vec2> slab{{u - w * 0.5f, v}, {u + w * 0.5f, v}};
            for (int k = 0; k <= 8; ++k) {
                float a = pi * static_cast<float>(k) / 8.0f;
                slab.push_back({u + w * 0.5f * std::cos(a) + lean, v - h + w * 0.5f - w * 0.5f * std::sin(a)});
            }
            graves.polygon(slab);
        }
    }
    for (float u = 0.02f; u < 0.98f; u += 0.007f) {
        float v = nearHill(u) + 0.03f;
        graves.line({u, v}, {u + rng.range(-0.001f, 0.001f), v - 0.022f}, 0.0022f);
    }
    graves.line({0.0f, nearHill(0.0f) + 0.018f}, {1.0f, nearHill(1.0f) + 0.018f}, 0.002f);

    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            glm::vec2 p((static_cast<float>(x) + 0.5f) / static_cast<float>(size),
                        (static_cast<float>(y) + 0.5f) / static_cast<float>(size));
            // Brushwork: a slight wandering of every lookup.
            glm::vec2 brush = 0.004f * glm::vec2(paint.fbm(p * 40.0f, 2), paint.fbm(p * 40.0f + glm::vec2(7.0f), 2));
            glm::vec2 q = p + brush;
            // The moon keeps a clean edge; the brush only moves the sky.
            float toMoon = glm::length(p - moon);
            // Sky.
            glm::vec3 zenith(0.01f, 0.03f, 0.08f), low(0.09f, 0.24f, 0.3f);
            glm::vec3 c = glm::mix(zenith, low, smooth(0.0f, 0.62f, q.y));
            c += glm::vec3(0.35f, 0.55f, 0.62f) * (0.5f * std::exp(-toMoon * 7.0f) + 0.4f * std::exp(-toMoon * 22.0f));
            float cloud = noise.fbm(glm::vec2(q.x * 5.0f, q.y * 14.0f), 5, 0.55f) * 0.5f + 0.5f;
            float band = smooth(0.05f, 0.2f, q.y) * (1.0f - smooth(0.45f, 0.6f, q.y));
            float cover = std::clamp((cloud - 0.5f) * 3.0f, 0.0f, 1.0f) * band;
            glm::vec3 cloudColour =
                glm::mix(glm::vec3(0.04f, 0.07f, 0.12f), glm::vec3(0.6f, 0.75f, 0.8f), std::exp(-toMoon * 5.0f));
            if (toMoon < moonRadius) {
                float shade = 1.0f - 0.22f * std::clamp(noise.fbm((q - moon) * 30.0f, 4) + 0.2f, 0.0f, 1.0f);
                glm::vec3 disc = glm::vec3(0.95f, 0.97f, 0.9f) * shade;
                c = glm::mix(c, disc, smooth(moonRadius, moonRadius * 0.97f, toMoon));
                cover *= 0.6f;
            }
            c = glm::mix(c, cloudColour, cover);
            // Stars.
            if (q.y < 0.55f) {
                glm::vec2 cell = noise.cells(q * 180.0f);
                float star = std::max(0.0f, 0.06f - cell.x) * 16.0f * (1.0f - cover) * smooth(0.55f, 0.2f, q.y);
                c += glm::vec3(0.8f, 0.9f, 1.0f) * star * std::clamp(toMoon * 4.0f - 0.5f, 0.0f, 1.0f);
            }
            // Far hills, misty; mist pooled above each ridge.
            float far = farHills(q.x);
            if (q.y > far) {
                c = glm::mix(glm::vec3(0.07f, 0.15f, 0.19f), glm::vec3(0.05f, 0.1f, 0.14f),
                             smooth(far, far + 0.1f, q.y));
            }
            float mid = midHill(q.x);
            c = glm::mix(c, glm::vec3(0.2f, 0.36f, 0.4f), 0.45f * std::exp(-std::abs(q.y - mid + 0.01f) * 60.0f));
            if (q.y > mid) {
                c = glm::mix(glm::vec3(0.025f, 0.045f, 0.06f), glm::vec3(0.02f, 0.03f, 0.04f),
                             smooth(mid, mid + 0.1f, q.y));
            }
            float near = nearHill(q.x);
            c = glm::mix(c, glm::vec3(0.16f, 0.3f, 0.34f), 0.5f * std::exp(-std::abs(q.y - near + 0.015f) * 45.0f));
            if (q.y > near) {
                c = glm::mix(glm::vec3(0.012f, 0.018f, 0.025f), glm::vec3(0.005f, 0.008f, 0.012f),
                             smooth(near, near + 0.15f, q.y));
            }
            float h = house.at(x, y), t = trees.at(x, y), g = graves.at(x, y);
            c = glm::mix(c, glm::vec3(0.01f, 0.014f, 0.02f), std::max(h, t));
            c = glm::mix(c, glm::vec3(0.006f, 0.009f, 0.013f), g);
            img.at(x, y) = glm::vec4(c, 1.0f);
        }
    }
    // Lit windows of the house and glowing pumpkins on the near slope.
    auto glow = [&](glm::vec2 centre, glm::vec2 half, glm::vec3 colour, float halo) {
        int x0 = static_cast<int>((centre.x - half.x - halo * 3.0f) * size),
            x1 = static_cast<int>((centre.x + half.x + halo * 3.0f) * size);
        int y0 = static_cast<int>((centre.y - half.y - halo * 3.0f) * size),
            y1 = static_cast<int>((centre.y + half.y + halo * 3.0f) * size);
        for (int y = std::max(0, y0); y <= std::min(size - 1, y1); ++y) {
            for (int x = std::max(0, x0); x <= std::min(size - 1, x1); ++x) {
                glm::vec2 p((static_cast<float>(x) + 0.5f) / size, (static_cast<float>(y) + 0.5f) / size);
                glm::vec2 d = glm::max(glm::abs(p - centre) - half, glm::vec2(0.0f));
                float dist = glm::length(d);
                float a = dist <= 0.0f ? 1.0f : 0.5f * std::exp(-dist / halo);
                glm::vec4& px = img.at(x, y);
                px = glm::vec4(glm::min(glm::vec3(px) + colour * a, glm::vec3(1.0f)), 1.0f);
            }
        }
    };
    float hb = midHill(landmarks::panoramaHouseAcross);
    for (int i = 0; i < 3; ++i) {
        glow({landmarks::panoramaHouseAcross - 0.025f + 0.022f * static_cast<float>(i), hb - 0.012f}, {0.0035f, 0.005f},
             {1.0f, 0.55f, 0.12f}, 0.003f);
        if (i != 1)
            glow({landmarks::panoramaHouseAcross - 0.025f + 0.022f * static_cast<float>(i), hb - 0.035f},
                 {0.0035f, 0.005f}, {1.0f, 0.5f, 0.1f}, 0.003f);
    }
    // Pumpkins: ribbed dark-orange bodies lit from inside, a glowing face,
    // a stem and a warm halo on the ground around them.
    auto pumpkin = [&](glm::vec2 centre, float radius) {
        const glm::vec2 half(radius * 1.25f, radius);
        int x0 = static_cast<int>((centre.x - half.x * 4.0f) * size),
            x1 = static_cast<int>((centre.x + half.x * 4.0f) * size);
        int y0 = static_cast<int>((centre.y - half.y * 4.0f) * size),
            y1 = static_cast<int>((centre.y + half.y * 4.0f) * size);
        for (int y = std::max(0, y0); y <= std::min(size - 1, y1); ++y) {
            for (int x = std::max(0, x0); x <= std::min(size - 1, x1); ++x) {
                glm::vec2 p((static_cast<float>(x) + 0.5f) / size, (static_cast<float>(y) + 0.5f) / size);
                glm::vec2 d = (p - centre) / half;
                float r = glm::length(d);
                glm::vec4& px = img.at(x, y);
                glm::vec3 c(px);
                c += glm::vec3(1.0f, 0.42f, 0.06f) * 0.35f * std::exp(-r * 1.6f); // halo
                float body = smooth(1.05f, 0.95f, r);
                float ribs = 0.7f + 0.3f * std::cos(d.x * 7.5f);
                glm::vec3 skin = glm::vec3(0.55f, 0.2f, 0.02f) * ribs * (0.6f + 0.4f * (1.0f + d.y) * 0.5f);
                // Eyes and a grin, glowing.
                float eyes = std::max(smooth(0.2f, 0.12f, glm::length(d - glm::vec2(-0.35f, -0.2f))),
                                      smooth(0.2f, 0.12f, glm::length(d - glm::vec2(0.35f, -0.2f))));
                float grin =
                    smooth(0.16f, 0.08f, std::abs(d.y - 0.45f + 0.3f * d.x * d.x)) * smooth(0.6f, 0.5f, std::abs(d.x));
                glm::vec3 lit = glm::mix(skin, glm::vec3(1.0f, 0.75f, 0.25f), std::max(eyes, grin));
                c = glm::mix(c, lit, body);
                // The stem.
                float stem = (std::abs(d.x - 0.05f) < 0.12f && d.y < -0.85f && d.y > -1.35f) ? 1.0f : 0.0f;
                c = glm::mix(c, glm::vec3(0.05f, 0.06f, 0.02f), stem);
                px = glm::vec4(glm::min(c, glm::vec3(1.0f)), 1.0f);
            }
        }
    };
    for (float u : {0.26f, 0.41f, 0.57f, 0.74f}) {
        pumpkin({u, nearHill(u) + 0.006f}, 0.008f);
    }
    // Canvas grain.
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            float grain = 0.005f * paint.at(glm::vec2(static_cast<float>(x), static_cast<float>(y)) * 0.7f);
            glm::vec4& px = img.at(x, y);
            px = glm::vec4(glm::clamp(glm::vec3(px) + grain, 0.0f, 1.0f), 1.0f);
        }
    }
    return img;
}

Image openingTitle(int width, int height)
{
    std::ifstream file(titleFontFile, std::ios::binary);
    if (!file) {
        throw std::runtime_error(std::string("title face missing: ") + titleFontFile + " (install fonts-blankenburg)");
    }
    std::vector<unsigned char> font((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    stbtt_fontinfo info;
    if (stbtt_InitFont(&info, font.data(), stbtt_GetFontOffsetForIndex(font.data(), 0)) == 0) {
        throw std::runtime_error("cannot read the title face");
    }
    const std::string text = "Gloamyard";
    float pixelHeight = static_cast<float>(height) * 0.36f;
    float scale = stbtt_ScaleForPixelHeight(&info, pixelHeight);
    int ascent = 0, descent = 0, gap = 0;
    stbtt_GetFontVMetrics(&info, &ascent, &descent, &gap);
    // Measure, then draw centred.
    float advance = 0.0f;
    for (std::size_t i = 0; i < text.size(); ++i) {
        int adv = 0, lsb = 0;
        stbtt_GetCodepointHMetrics(&info, text[i], &adv, &lsb);
        advance += static_cast<float>(adv) * scale;
        if (i + 1 < text.size())
            advance += static_cast<float>(stbtt_GetCodepointKernAdvance(&info, text[i], text[i + 1])) * scale;
    }
    std::vector<float> cover(static_cast<std::size_t>(width * height), 0.0f);
    float penX = (static_cast<float>(width) - advance) * 0.5f;
    float baseline = static_cast<float>(height) * 0.5f + static_cast<float>(ascent + descent) * scale * 0.5f;
    for (std::size_t i = 0; i < text.size(); ++i) {
        int x0, y0, x1, y1;
        float shift = penX - std::floor(penX);
        stbtt_GetCodepointBitmapBoxSubpixel(&info, text[i], scale, scale, shift, 0.0f, &x0, &y0, &x1, &y1);
        int w = x1 - x0, h = y1 - y0;
        if (w > 0 && h > 0) {
            std::vector<unsigned char> glyph(static_cast<std::size_t>(w * h));
            stbtt_MakeCodepointBitmapSubpixel(&info, glyph.data(), w, h, w, scale, scale, shift, 0.0f, text[i]);
            int ox = static_cast<int>(std::floor(penX)) + x0, oy = static_cast<int>(baseline) + y0;
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    int px = ox + x, py = oy + y;
                    if (px >= 0 && px < width && py >= 0 && py < height) {
                        float& c = cover[static_cast<std::size_t>(py * width + px)];
                        c = std::max(c, static_cast<float>(glyph[static_cast<std::size_t>(y * w + x)]) / 255.0f);
                    }
                }
            }
        }
        int adv = 0, lsb = 0;
        stbtt_GetCodepointHMetrics(&info, text[i], &adv, &lsb);
        penX += static_cast<float>(adv) * scale;
        if (i + 1 < text.size())
            penX += static_cast<float>(stbtt_GetCodepointKernAdvance(&info, text[i], text[i + 1])) * scale;
    }
    // A soft glow: three box blurs of the letters.
    auto blur = [&](const std::vector<float>& src, int radius) {
        std::vector<float> a = src, b(src.size());
        for (int pass = 0; pass < 3; ++pass) {
            for (int y = 0; y < height; ++y) {
                float sum = 0.0f;
                for (int x = -radius; x <= radius; ++x)
                    sum += a[static_cast<std::size_t>(y * width + std::clamp(x, 0, width - 1))];
                for (int x = 0; x < width; ++x) {
                    b[static_cast<std::size_t>(y * width + x)] = sum / static_cast<float>(2 * radius + 1);
                    sum += a[static_cast<std::size_t>(y * width + std::min(x + radius + 1, width - 1))] -
                           a[static_cast<std::size_t>(y * width + std::max(x - radius, 0))];
                }
            }
            for (int x = 0; x < width; ++x) {
                float sum = 0.0f;
                for (int y = -radius; y <= radius; ++y)
                    sum += b[static_cast<std::size_t>(std::clamp(y, 0, height - 1) * width + x)];
                for (int y = 0; y < height; ++y) {
                    a[static_cast<std::size_t>(y * width + x)] = sum / static_cast<float>(2 * radius + 1);
                    sum += b[static_cast<std::size_t>(std::min(y + radius + 1, height - 1) * width + x)] -
                           b[static_cast<std::size_t>(std::max(y - radius, 0) * width + x)];
                }
            }
        }
        return a;
    };
    std::vector<float> halo = blur(cover, height / 60);
    std::vector<float> shadow = blur(cover, height / 200);
    // A thin dark rim keeps the letters legible over the moon behind them.
    std::vector<float> rim = blur(cover, height / 360);
    Image img(width, height, glm::vec4(0.0f));
    int shadowOffset = height / 120;
    float top = baseline - static_cast<float>(ascent) * scale, bottom = baseline;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::size_t i = static_cast<std::size_t>(y * width + x);
            float t = std::clamp((static_cast<float>(y) - top) / (bottom - top), 0.0f, 1.0f);
            glm::vec3 fill = glm::mix(glm::vec3(0.93f, 0.99f, 1.0f), glm::vec3(0.52f, 0.82f, 0.9f), t);
            // Glow behind, a dark shadow under, the letters on top.
            glm::vec4 out(0.35f, 0.85f, 1.0f, std::min(1.0f, halo[i] * 1.6f) * 0.55f);
            int sy = y - shadowOffset, sx = x - shadowOffset / 2;
            float s = (sy >= 0 && sx >= 0) ? shadow[static_cast<std::size_t>(sy * width + sx)] : 0.0f;
            float r = std::min(1.0f, rim[i] * 2.5f);
            glm::vec4 dark(0.0f, 0.01f, 0.02f, std::max(s * 0.85f, r * 0.8f));
            auto over = [](glm::vec4 dst, glm::vec4 src) {
                float a = src.a + dst.a * (1.0f - src.a);
                if (a <= 0.0f)
                    return glm::vec4(0.0f);
                glm::vec3 c = (glm::vec3(src) * src.a + glm::vec3(dst) * dst.a * (1.0f - src.a)) / a;
                return glm::vec4(c, a);
            };
            out = over(out, dark);
            out = over(out, glm::vec4(fill, cover[i]));
            img.at(x, y) = out;
        }
    }
    return img;
}

void writeOpeningPictures(const std::filesystem::path& folder)
{
    openingPanorama(1536).writePng(folder / std::string(gloam::resources::openingPanorama), false);
    openingTitle(1920, 1080).writePng(folder / std::string(gloam::resources::openingTitle), true);
}

} // namespace gloam::forge
