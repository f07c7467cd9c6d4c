#include "forge/world/Props.h"

#include <algorithm>
#include <cmath>

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>

#include "forge/mesh/Noise.h"
#include "forge/mesh/Random.h"
#include "forge/mesh/Shapes.h"
#include "forge/world/SceneFrame.h"

namespace gloam::forge::props {

namespace {

constexpr float pi = 3.14159265f;

glm::mat4 translate(glm::vec3 t)
{
    return glm::translate(glm::mat4(1.0f), t);
}
glm::mat4 scale(glm::vec3 s)
{
    return glm::scale(glm::mat4(1.0f), s);
}
glm::mat4 rotate(float angle, glm::vec3 axis)
{
    return glm::rotate(glm::mat4(1.0f), angle, axis);
}

// Resamples an outline every `spacing` and pushes each point along its
// outward normal by noise: chipped, worn edges.
std::vector<glm::vec2> roughen(const std::vector<glm::vec2>& outline, float spacing, float amount, const Noise& noise,
                               float offset)
{
    std::vector<glm::vec2> dense;
    std::size_t n = outline.size();
    for (std::size_t i = 0; i < n; ++i) {
        glm::vec2 a = outline[i], b = outline[(i + 1) % n];
        int steps = std::max(1, static_cast<int>(glm::length(b - a) / spacing));
        for (int s = 0; s < steps; ++s) {
            dense.push_back(a + (b - a) * (static_cast<float>(s) / static_cast<float>(steps)));
        }
    }
    std::vector<glm::vec2> out(dense.size());
    for (std::size_t i = 0; i < dense.size(); ++i) {
        glm::vec2 prev = dense[(i + dense.size() - 1) % dense.size()], next = dense[(i + 1) % dense.size()];
        glm::vec2 t = glm::normalize(next - prev);
        glm::vec2 outward(t.y, -t.x);
        glm::vec2 p = dense[i];
        float chip = noise.fbm(p * 9.0f + glm::vec2(offset), 3);
        // Chips only bite inwards; the base stays straight.
        float bite = p.y < 0.02f ? 0.0f : std::min(0.0f, chip) * amount;
        out[i] = p + outward * bite;
    }
    return out;
}

Mesh blob(Random& rng, const Noise& noise, float radius, glm::vec3 squash)
{
    Mesh m = shapes::sphere(radius, 6, 10);
    float seed = rng.range(0.0f, 50.0f);
    m.displace([&](glm::vec3 p, glm::vec3) { return radius * 0.35f * noise.fbm(p * 18.0f + glm::vec3(seed), 2); });
    m = m.transformed(scale(squash));
    m.recomputeNormals();
    m.boxUvs(0.5f);
    return m;
}

// Moss clumps scattered along the top edge of an outline (extruded depth d).
Mesh mossAlong(Random& rng, const Noise& noise, const std::vector<glm::vec2>& outline, float depth, float minHeight,
               int count)
{
    Mesh moss;
    std::vector<glm::vec2> tops;
    for (glm::vec2 p : outline) {
        if (p.y >= minHeight) {
            tops.push_back(p);
        }
    }
    if (tops.empty()) {
        return moss;
    }
    for (int i = 0; i < count; ++i) {
        glm::vec2 p = tops[static_cast<std::size_t>(rng.integer(0, static_cast<int>(tops.size()) - 1))];
        float r = rng.range(0.035f, 0.075f);
        Mesh b = blob(rng, noise, r, {1.5f, 0.55f, depth / (2.0f * r) + 0.25f});
        moss.append(b, translate({p.x, p.y - r * 0.1f, rng.range(-0.02f, 0.02f)}));
    }
    return moss;
}

Mesh box(glm::vec3 size, float bevel, glm::vec3 at)
{
    return shapes::bevelledBox(size, bevel, 1).transformed(translate(at));
}

// Engraved lines of an inscription on a panel (dark strips just proud of
// the surface), centred at x = 0 from top height downwards.
Mesh inscription(Random& rng, float width, float top, float z, int lines)
{
    Mesh m;
    float y = top;
    for (int i = 0; i < lines; ++i) {
        float w = width * (i == 0 ? 0.8f : rng.range(0.45f, 0.9f));
        float h = i == 0 ? 0.024f : 0.014f;
        m.append(shapes::bevelledBox({w, h, 0.006f}, 0.002f, 1), translate({0.0f, y, z}));
        y -= i == 0 ? 0.06f : 0.04f;
    }
    return m;
}

} // namespace

Parts gravestone(GraveStyle style, std::uint32_t seed, float size)
{
    Random rng(seed);
    Noise noise(seed + 11U);
    Parts parts;
    Mesh stone, trim, inset, recess, moss, mossRecess;
    float off = rng.range(0.0f, 100.0f);
    switch (style) {
    case GraveStyle::arched:
    case GraveStyle::pointed:
    case GraveStyle::grand: {
        bool grand = style == GraveStyle::grand;
        float w = grand ? 0.78f : rng.range(0.48f, 0.66f);
        float h = grand ? 0.86f : rng.range(0.5f, 0.72f);
        float rise = style == GraveStyle::pointed ? w * 0.55f : rng.range(0.12f, 0.26f);
        float d = grand ? 0.17f : rng.range(0.1f, 0.14f);
        float base = 0.0f;
        if (grand || rng.unit() < 0.6f) {
            base = grand ? 0.16f : 0.1f;
            trim.append(box({w + 0.16f, base * 0.6f, d + 0.16f}, 0.02f, {0, base * 0.3f, 0}));
            trim.append(box({w + 0.08f, base * 0.45f, d + 0.08f}, 0.015f, {0, base * 0.6f + base * 0.2f, 0}));
        }
        std::vector<glm::vec2> outline = shapes::archedSlab(w, h, rise, style == GraveStyle::pointed ? 2 : 14);
        if (style == GraveStyle::pointed) {
            // A gothic point: lift the apex and round its shoulders.
            outline = {{-w * 0.5f, 0},   {w * 0.5f, 0},
                       {w * 0.5f, h},    {w * 0.36f, h + rise * 0.55f},
                       {0.0f, h + rise}, {-w * 0.36f, h + rise * 0.55f},
                       {-w * 0.5f, h}};
        }
        std::vector<glm::vec2> rough = roughen(outline, 0.025f, 0.025f, noise, off);
        stone.append(shapes::extrusion(rough, d, 0.018f), translate({0, base, 0}));
        if (grand) {
            // Shoulders: a raised border and a capstone moulding.
            trim.append(box({w + 0.06f, 0.05f, d + 0.05f}, 0.015f, {0, base + h - 0.02f, 0}));
        }
        if (grand || rng.unit() < 0.55f) {
            float pw = w * 0.66f, ph = h * 0.62f;
            std::vector<glm::vec2> panel = shapes::archedSlab(pw, ph, rise * 0.55f, 10);
            inset.append(shapes::extrusion(panel, 0.02f, 0.006f), translate({0, base + h * 0.14f, d * 0.5f}));
            recess.append(inscription(rng, pw * 0.8f, base + h * 0.14f + ph + rise * 0.2f - 0.08f, d * 0.5f + 0.011f,
                                      grand ? 5 : 4));
        } else {
            recess.append(inscription(rng, w * 0.6f, base + h * 0.8f, d * 0.5f + 0.002f, 3));
        }
        if (grand || rng.unit() < 0.7f) {
            std::vector<glm::vec2> lifted = rough;
            for (glm::vec2& p : lifted) {
                p.y += base;
            }
            moss.append(mossAlong(rng, noise, lifted, d, base + h * 0.8f, grand ? 9 : 6));
            for (int i = 0; i < 3; ++i) {
                float x = rng.range(-w * 0.5f, w * 0.5f);
                mossRecess.append(blob(rng, noise, rng.range(0.04f, 0.07f), {1.8f, 0.5f, 1.4f}),
                                  translate({x, base + 0.01f, d * 0.5f + 0.03f}));
            }
        }
        break;
    }
    case GraveStyle::cross: {
        float arm = rng.range(0.42f, 0.55f), tall = rng.range(1.0f, 1.25f), t = rng.range(0.09f, 0.12f);
        float armY = tall * 0.7f;
        std::vector<glm::vec2> outline{{-t * 0.5f, 0},
                                       {t * 0.5f, 0},
                                       {t * 0.5f, armY - t * 0.5f},
                                       {arm * 0.5f, armY - t * 0.5f},
                                       {arm * 0.5f, armY + t * 0.5f},
                                       {t * 0.5f, armY + t * 0.5f},
                                       {t * 0.5f, tall},
                                       {-t * 0.5f, tall},
                                       {-t * 0.5f, armY + t * 0.5f},
                                       {-arm * 0.5f, armY + t * 0.5f},
                                       {-arm * 0.5f, armY - t * 0.5f},
                                       {-t * 0.5f, armY - t * 0.5f}};
        float base = 0.26f;
        trim.append(box({0.5f, 0.14f, 0.4f}, 0.02f, {0, 0.07f, 0}));
        trim.append(box({0.34f, 0.12f, 0.28f}, 0.02f, {0, 0.2f, 0}));
        stone.append(shapes::extrusion(roughen(outline, 0.03f, 0.015f, noise, off), t, 0.012f),
                     translate({0, base, 0}));
        moss.append(blob(rng, noise, 0.06f, {1.6f, 0.5f, 1.4f}), translate({0.1f, 0.27f, 0.05f}));
        mossRecess.append(blob(rng, noise, 0.05f, {1.6f, 0.5f, 1.6f}), translate({-0.18f, 0.14f, 0.12f}));
        break;
    }
    case GraveStyle::obelisk: {
        float tall = rng.range(1.5f, 1.9f), side = 0.26f;
        trim.append(box({0.62f, 0.16f, 0.62f}, 0.02f, {0, 0.08f, 0}));
        trim.append(box({0.46f, 0.22f, 0.46f}, 0.02f, {0, 0.27f, 0}));
        trim.append(box({0.38f, 0.06f, 0.38f}, 0.012f, {0, 0.4f, 0}));
        Mesh shaft = shapes::bevelledBox({side, tall, side}, 0.012f, 1, 3);
        shaft.warp([&](glm::vec3 p) {
            float t = (p.y + tall * 0.5f) / tall;
            return glm::vec3(p.x * (1.0f - 0.35f * t), p.y, p.z * (1.0f - 0.35f * t));
        });
        shaft.recomputeNormals();
        stone.append(shaft, translate({0, 0.43f + tall * 0.5f, 0}));
        Mesh cap = shapes::lathe({{side * 0.65f * 0.707f * 1.41f * 0.5f, 0.0f}, {0.0f, 0.16f}}, 4);
        cap = cap.transformed(rotate(pi * 0.25f, {0, 1, 0}));
        stone.append(cap, translate({0, 0.43f + tall, 0}));
        inset.append(box({side * 0.7f, tall * 0.3f, 0.012f}, 0.004f, {0, 0.43f + tall * 0.25f, side * 0.5f}));
        recess.append(inscription(rng, side * 0.5f, 0.43f + tall * 0.36f, side * 0.5f + 0.008f, 4));
        moss.append(blob(rng, noise, 0.07f, {1.5f, 0.5f, 1.5f}), translate({0.2f, 0.33f, 0.18f}));
        mossRecess.append(blob(rng, noise, 0.06f, {1.8f, 0.5f, 1.2f}), translate({-0.22f, 0.17f, 0.27f}));
        break;
    }
    case GraveStyle::broken: {
        float w = rng.range(0.5f, 0.64f), h = rng.range(0.4f, 0.55f), d = rng.range(0.11f, 0.14f);
        std::vector<glm::vec2> outline{{-w * 0.5f, 0}, {w * 0.5f, 0}};
        // A jagged break across the top, higher on one side.
        int teeth = 9;
        for (int i = 0; i <= teeth; ++i) {
            float t = static_cast<float>(i) / static_cast<float>(teeth);
            float x = w * 0.5f - w * t;
            float y = h * (0.7f + 0.3f * t) + rng.range(-0.05f, 0.05f);
            outline.push_back({x, y});
        }
        stone.append(shapes::extrusion(outline, d, 0.012f));
        // The fallen top lies face up in front of the stump.
        std::vector<glm::vec2> piece{{-w * 0.5f, 0}, {w * 0.5f, 0}, {w * 0.5f, 0.2f}};
        for (int k = 1; k < 10; ++k) {
            float a = pi * static_cast<float>(k) / 10.0f;
            piece.push_back({w * 0.5f * std::cos(a), 0.2f + 0.18f * std::sin(a)});
        }
        piece.push_back({-w * 0.5f, 0.2f});
        for (int i = 0; i < 5; ++i) {
            piece[static_cast<std::size_t>(i == 0 ? 0 : 1)].y += 0.0f;
        }
        Mesh fallen = shapes::extrusion(roughen(piece, 0.03f, 0.02f, noise, off + 5.0f), d, 0.012f);
        stone.append(fallen, translate({0.08f, 0.03f, 0.5f}) * rotate(-0.2f, {0, 1, 0}) *
                                 rotate(-pi * 0.5f + 0.08f, {1, 0, 0}));
        recess.append(inscription(rng, w * 0.55f, h * 0.55f, d * 0.5f + 0.002f, 2));
        moss.append(mossAlong(rng, noise, outline, d, h * 0.6f, 5));
        mossRecess.append(blob(rng, noise, 0.06f, {1.8f, 0.45f, 1.4f}), translate({-0.15f, 0.01f, 0.12f}));
        break;
    }
    }
    glm::mat4 s = scale(glm::vec3(size));
    auto add = [&](const char* suffix, Mesh& m, const char* material) {
        if (!m.indices.empty()) {
            parts.push_back({suffix, m.transformed(s), material});
        }
    };
    add("WeatheredStone", stone, "WeatheredStone");
    add("StoneTrim", trim, "StoneTrim");
    add("StoneInset", inset, "StoneInset");
    add("StoneRecess", recess, "StoneRecess");
    add("MossStone", moss, "MossStone");
    add("MossRecess", mossRecess, "MossRecess");
    for (Part& p : parts) {
        p.mesh.boxUvs(0.6f);
    }
    return parts;
}

namespace {

struct PumpkinShape {
    float radius;
    float height;
    int ribs;
    // Radius of the smooth body (ribs left out) at height y.
    float bodyRadius(float y) const
    {
        float t = std::clamp(y / height, 0.0f, 1.0f);
        float a = -pi * 0.5f + pi * t;
        return radius * std::pow(std::max(std::cos(a), 0.0f), 0.8f);
    }
};

// Projects a face cut-out drawn on the front (x right, y up, metres on the
// pumpkin) onto the skin, just proud of it.
glm::vec3 ontoSkin(const PumpkinShape& shape, glm::vec2 p, float lift)
{
    float r = shape.bodyRadius(p.y) * 0.965f + lift;
    float z = std::sqrt(std::max(r * r - p.x * p.x, 0.0001f));
    return {p.x, p.y, z};
}

void addCutout(Mesh& glow, Mesh& wall, const PumpkinShape& shape, const std::vector<glm::vec2>& outline)
{
    // Glowing hole: the outline shrunk a little; the cut flesh is the band
    // between the outline and the hole.
    glm::vec2 c(0.0f);
    for (glm::vec2 p : outline) {
        c += p;
    }
    c /= static_cast<float>(outline.size());
    std::vector<glm::vec2> inner;
    for (glm::vec2 p : outline) {
        inner.push_back(c + (p - c) * 0.8f);
    }
    Mesh hole = shapes::polygon(inner);
    for (Vertex& v : hole.vertices) {
        glm::vec2 p(v.position.x, v.position.y);
        v.position = ontoSkin(shape, p, 0.004f);
        v.normal = glm::normalize(glm::vec3(p.x, 0.0f, v.position.z));
    }
    glow.append(hole);
    auto base = static_cast<std::uint32_t>(wall.vertices.size());
    std::size_t n = outline.size();
    for (std::size_t i = 0; i < n; ++i) {
        glm::vec3 o = ontoSkin(shape, outline[i], 0.005f);
        glm::vec3 in = ontoSkin(shape, inner[i], 0.0035f);
        glm::vec3 nrm = glm::normalize(glm::vec3(o.x, 0.0f, o.z));
        wall.add(o, nrm, {0, 0});
        wall.add(in, nrm, {0, 1});
    }
    for (std::size_t i = 0; i < n; ++i) {
        auto a = base + static_cast<std::uint32_t>(2 * i);
        auto b = base + static_cast<std::uint32_t>(2 * ((i + 1) % n));
        wall.quad(a, b, b + 1, a + 1);
    }
}

} // namespace

Parts pumpkin(std::uint32_t seed, float size, bool broken)
{
    Random rng(seed);
    Noise noise(seed + 3U);
    PumpkinShape shape{0.2f * rng.range(0.92f, 1.08f), 0.27f * rng.range(0.85f, 1.05f), rng.integer(9, 12)};
    int rings = 18;
    float cutAt = broken ? 0.66f : 1.0f;
    std::vector<glm::vec2> profile;
    for (int j = 0; j <= rings; ++j) {
        float t = static_cast<float>(j) / static_cast<float>(rings) * cutAt;
        float y = t * shape.height;
        float r = shape.bodyRadius(y);
        // Dimpled crown and base.
        if (j == 0 || (!broken && j == rings)) {
            r = 0.0f;
            y += (j == 0 ? 0.035f : -0.05f) * shape.height;
        }
        profile.push_back({r, y});
    }
    float phase = rng.range(0.0f, 6.28f);
    auto ribs = [&](float angle, float y) {
        float rib = std::abs(std::sin(static_cast<float>(shape.ribs) * angle * 0.5f));
        float lumpy =
            1.0f + 0.03f * noise.at(glm::vec3(std::cos(angle + phase) * 2.0f, y * 6.0f, std::sin(angle) * 2.0f));
        return (0.92f + 0.08f * std::sqrt(rib)) * lumpy;
    };
    Mesh skin = shapes::lathe(profile, 48, ribs);
    Parts parts;
    Mesh glow, wall, flame, stem;
    if (broken) {
        // A smashed crown: the rim is torn unevenly.
        for (Vertex& v : skin.vertices) {
            if (v.position.y > shape.height * cutAt - 0.001f) {
                float a = std::atan2(v.position.z, v.position.x);
                v.position.y -=
                    0.05f * std::abs(noise.fbm(glm::vec2(a * 2.0f, 1.3f), 3)) + 0.02f * std::abs(std::sin(a * 7.0f));
            }
        }
        // The inside of the shell, seen through the break.
        Mesh inner = skin.transformed(scale({0.9f, 0.97f, 0.9f}) * translate({0, 0.005f, 0}));
        for (std::size_t i = 0; i + 2 < inner.indices.size(); i += 3) {
            std::swap(inner.indices[i + 1], inner.indices[i + 2]);
        }
        for (Vertex& v : inner.vertices) {
            v.normal = -v.normal;
        }
        wall.append(inner);
        // Shards of the crown lie beside it.
        for (int i = 0; i < 3; ++i) {
            Mesh shard = shapes::lathe({{0.0f, 0.0f}, {0.06f, 0.01f}, {0.09f, 0.03f}}, 8);
            shard.warp([&](glm::vec3 p) { return glm::vec3(p.x, p.y + 0.01f * noise.at(p * 30.0f), p.z * 0.6f); });
            shard.recomputeNormals();
            float a = rng.range(0.0f, 6.28f);
            float d = shape.radius + rng.range(0.08f, 0.2f);
            skin.append(shard, translate({std::cos(a) * d, 0.0f, std::sin(a) * d}) *
                                   rotate(rng.range(2.4f, 3.0f), {1, 0, 0.3f}));
        }
        Mesh body = shapes::lathe({{0.0f, 0.0f}, {0.035f, 0.03f}, {0.03f, 0.09f}, {0.012f, 0.15f}, {0.0f, 0.2f}}, 10,
                                  [&](float a, float y) { return 1.0f + 0.25f * std::sin(a * 3.0f + y * 40.0f); });
        flame.append(body, translate({0, shape.height * 0.28f, 0}));
    } else {
        std::vector<glm::vec3> stemPath;
        glm::vec3 bend(rng.range(-0.03f, 0.03f), 0.0f, rng.range(-0.03f, 0.03f));
        for (int k = 0; k < 5; ++k) {
            float t = static_cast<float>(k) / 4.0f;
            stemPath.push_back(glm::vec3(0.0f, shape.height * 0.93f + t * 0.075f, 0.0f) + bend * t * t * 2.0f);
        }
        stem = shapes::tube(stemPath, {0.026f, 0.022f, 0.019f, 0.018f, 0.02f}, 7, true);
        stem.displace([&](glm::vec3 p, glm::vec3) { return 0.004f * noise.at(p * 120.0f); });
        float h = shape.height;
        auto eye = [&](float x, bool left) {
            float s = left ? -1.0f : 1.0f;
            return std::vector<glm::vec2>{
                {x - 0.035f * s, h * 0.56f}, {x + 0.035f * s, h * 0.56f}, {x + 0.01f * s, h * 0.72f}};
        };
        addCutout(glow, wall, shape, eye(-0.065f, true));
        addCutout(glow, wall, shape, eye(0.065f, false));
        addCutout(glow, wall, shape, {{-0.016f, h * 0.44f}, {0.016f, h * 0.44f}, {0.0f, h * 0.52f}});
        // A jagged grin.
        std::vector<glm::vec2> mouth;
        int teeth = 6;
        for (int i = 0; i <= teeth; ++i) {
            float t = static_cast<float>(i) / static_cast<float>(teeth);
            float x = -0.11f + 0.22f * t;
            float curve = 0.05f * (1.0f - (2.0f * t - 1.0f) * (2.0f * t - 1.0f));
            mouth.push_back({x, h * 0.3f - curve + ((i % 2 == 1 && i != 0 && i != teeth) ? 0.025f : 0.0f)});
        }
        for (int i = teeth; i >= 0; --i) {
            float t = static_cast<float>(i) / static_cast<float>(teeth);
            float x = -0.11f + 0.22f * t;
            float curve = 0.07f * (1.0f - (2.0f * t - 1.0f) * (2.0f * t - 1.0f));
            mouth.push_back({x, h * 0.38f - curve * 0.45f - ((i % 2 == 0 && i != 0 && i != teeth) ? 0.022f : 0.0f)});
        }
        // Mouth outline: bottom edge left to right, then top edge back.
        std::vector<glm::vec2> lower(mouth.begin(), mouth.begin() + teeth + 1);
        std::vector<glm::vec2> upper(mouth.begin() + teeth + 1, mouth.end());
        for (glm::vec2& p : lower) {
            p.y = std::min(p.y, h * 0.36f);
        }
        std::vector<glm::vec2> grin = lower;
        grin.insert(grin.end(), upper.begin(), upper.end());
        addCutout(glow, wall, shape, grin);
        Mesh body = shapes::lathe({{0.0f, 0.0f}, {0.03f, 0.025f}, {0.025f, 0.07f}, {0.0f, 0.13f}}, 8);
        flame.append(body, translate({0, shape.height * 0.3f, 0}));
    }
    glm::mat4 s = scale(glm::vec3(size));
    parts.push_back({"PumpkinSkin", skin.transformed(s), "PumpkinSkin"});
    if (!stem.indices.empty()) {
        parts.push_back({"Stem", stem.transformed(s), "PumpkinStem"});
    }
    if (!glow.indices.empty()) {
        parts.push_back({"PumpkinGlow", glow.transformed(s), "PumpkinGlow"});
    }
    parts.push_back({"PumpkinCarvedWall", wall.transformed(s), "PumpkinCarvedWall"});
    parts.push_back({"PumpkinFlame", flame.transformed(s), "PumpkinFlame"});
    return parts;
}

Mesh mound(std::uint32_t seed, float length, float width, float height)
{
    Noise noise(seed);
    Mesh m = shapes::sphere(1.0f, 12, 28);
    m.warp([&](glm::vec3 p) {
        float y = std::max(p.y, -0.05f);
        // A flattened, settled heap: broad shoulders, a lumpy crown, clods.
        float crown = std::pow(std::max(y, 0.0f), 0.7f);
        glm::vec3 q(p.x * width * 0.5f, crown * height, p.z * length * 0.5f);
        float lumps = 0.045f * noise.fbm(glm::vec3(q.x, 0.0f, q.z) * 5.0f, 4);
        float clods = 0.02f * std::max(0.0f, noise.at(glm::vec3(q.x, 0.0f, q.z) * 18.0f));
        q.y += (lumps + clods) * std::min(1.0f, crown * 3.0f) - 0.02f;
        q.x *= 1.0f + 0.08f * noise.at(glm::vec3(0.0f, p.z * 2.0f, 3.0f));
        return q;
    });
    m.recomputeNormals();
    m.boxUvs(0.8f);
    return m;
}

Mesh bareTree(std::uint32_t seed, float height, float spread, int depth)
{
    Random rng(seed);
    Noise noise(seed + 5U);
    Mesh tree;
    struct Branch {
        glm::vec3 start;
        glm::vec3 dir;
        float length;
        float radius;
        int depth;
    };
    std::vector<Branch> todo{{{0, -0.3f, 0},
                              glm::normalize(glm::vec3(rng.range(-0.1f, 0.1f), 1.0f, rng.range(-0.1f, 0.1f))),
                              height * 0.42f,
                              height * 0.035f,
                              0}};
    int maxDepth = depth;
    while (!todo.empty()) {
        Branch b = todo.back();
        todo.pop_back();
        int points = b.depth < 2 ? 6 : 4;
        std::vector<glm::vec3> path;
        std::vector<float> radii;
        glm::vec3 p = b.start, dir = b.dir;
        float step = b.length / static_cast<float>(points - 1);
        for (int i = 0; i < points; ++i) {
            path.push_back(p);
            float t = static_cast<float>(i) / static_cast<float>(points - 1);
            radii.push_back(b.radius * (1.0f - 0.45f * t));
            glm::vec3 wobble(noise.at(p * 1.7f), noise.at(p * 1.7f + glm::vec3(9.0f)) * 0.4f,
                             noise.at(p * 1.7f + glm::vec3(21.0f)));
            dir = glm::normalize(dir + wobble * 0.35f + glm::vec3(0, b.depth > 2 ? -0.05f : 0.04f, 0));
            p += dir * step;
        }
        tree.append(shapes::tube(path, radii, b.depth < 2 ? 6 : (b.depth < 3 ? 5 : (b.depth < 4 ? 4 : 3)),
                                 b.depth >= maxDepth));
        if (b.depth >= maxDepth) {
            continue;
        }
        int children = b.depth == 0 ? 3 : rng.integer(2, 3);
        for (int c = 0; c < children; ++c) {
            float along = b.depth == 0 ? rng.range(0.75f, 1.0f) : rng.range(0.55f, 1.0f);
            std::size_t idx =
                std::min(path.size() - 1, static_cast<std::size_t>(along * static_cast<float>(path.size() - 1) + 0.5f));
            glm::vec3 base = path[idx];
            glm::vec3 parentDir = glm::normalize(path.back() - path.front());
            float azimuth = rng.range(0.0f, 6.2831f) + static_cast<float>(c) * 2.1f;
            float tilt = rng.range(0.45f, 0.85f) * spread;
            glm::vec3 side = glm::normalize(
                glm::cross(parentDir, std::abs(parentDir.y) < 0.95f ? glm::vec3(0, 1, 0) : glm::vec3(1, 0, 0)));
            side = glm::vec3(glm::rotate(glm::mat4(1.0f), azimuth, parentDir) * glm::vec4(side, 0.0f));
            glm::vec3 childDir = glm::normalize(parentDir * std::cos(tilt) + side * std::sin(tilt));
            todo.push_back(
                {base, childDir, b.length * rng.range(0.55f, 0.75f), radii[idx] * rng.range(0.55f, 0.7f), b.depth + 1});
        }
    }
    // Roots flaring into the ground.
    for (int i = 0; i < 5; ++i) {
        float a = static_cast<float>(i) * 1.2566f + rng.range(-0.3f, 0.3f);
        glm::vec3 out(std::cos(a), 0.0f, std::sin(a));
        float r0 = height * 0.03f;
        tree.append(shapes::tube({glm::vec3(0, 0.45f, 0) * (height * 0.1f), out * r0 * 2.5f + glm::vec3(0, 0.05f, 0),
                                  out * r0 * 6.0f + glm::vec3(0, -0.1f, 0)},
                                 {r0 * 0.7f, r0 * 0.45f, r0 * 0.15f}, 5, true));
    }
    tree.boxUvs(1.0f);
    return tree;
}

FenceRun fence(std::uint32_t seed, glm::vec2 a, glm::vec2 b, float gateFrom, float gateTo)
{
    Random rng(seed);
    Noise noise(seed + 9U);
    FenceRun run;
    glm::vec2 span = b - a;
    float length = glm::length(span);
    glm::vec2 along = span / length;
    float yaw = std::atan2(-along.y, along.x); // local +x runs along the fence
    auto at = [&](float s, float height, float side) {
        glm::vec2 p = a + along * s + glm::vec2(-along.y, along.x) * side;
        return glm::vec3(p.x, frame::groundHeight(p.x, p.y) + height, p.y);
    };
    glm::mat4 turn = rotate(yaw, {0, 1, 0});
    auto place = [&](Mesh& target, const Mesh& part, glm::vec3 position, float lean, float twist) {
        target.append(part, translate(position) * turn * rotate(twist, {0, 1, 0}) * rotate(lean, {1, 0, 0}));
    };
    bool hasGate = gateTo > gateFrom;
    float g0 = gateFrom * length, g1 = gateTo * length;
    auto inGate = [&](float s) { return hasGate && s > g0 - 0.05f && s < g1 + 0.05f; };
    // Posts every two metres (and either side of the gate).
    std::vector<float> posts;
    for (float s = 0.0f; s <= length + 0.01f; s += 2.0f) {
        if (!inGate(s)) {
            posts.push_back(s);
        }
    }
    if (hasGate) {
        posts.push_back(g0 - 0.08f);
        posts.push_back(g1 + 0.08f);
    }
    for (float s : posts) {
        bool gatePost = hasGate && (std::abs(s - g0 + 0.08f) < 0.01f || std::abs(s - g1 - 0.08f) < 0.01f);
        float h = gatePost ? 1.35f : rng.range(1.05f, 1.2f);
        float w = gatePost ? 0.13f : 0.09f;
        Mesh post = shapes::bevelledBox({w, h + 0.3f, w}, 0.012f, 1, 2);
        post.displace([&](glm::vec3 p, glm::vec3) { return 0.006f * noise.at(p * 14.0f); });
        if (gatePost) {
            post.append(shapes::bevelledBox({w + 0.05f, 0.05f, w + 0.05f}, 0.01f, 1),
                        translate({0, (h + 0.3f) * 0.5f + 0.025f, 0}));
            post.append(shapes::lathe({{0.05f, 0.0f}, {0.045f, 0.06f}, {0.0f, 0.12f}}, 8),
                        translate({0, (h + 0.3f) * 0.5f + 0.05f, 0}));
        }
        place(run.fence, post, at(s, (h + 0.3f) * 0.5f - 0.3f, 0.0f), rng.range(-0.06f, 0.06f), rng.range(-0.1f, 0.1f));
    }
    // Rails between posts, and pickets on them.
    auto railRun = [&](Mesh& target, float s0, float s1, float y, float sag) {
        float len = s1 - s0;
        Mesh rail = shapes::bevelledBox({len, 0.07f, 0.035f}, 0.008f, 1, 3);
        rail.warp([&](glm::vec3 p) {
            float t = p.x / len;
            return glm::vec3(p.x, p.y - sag * (0.25f - t * t) * 4.0f, p.z);
        });
        rail.recomputeNormals();
        glm::vec3 mid = (at(s0, y, -0.07f) + at(s1, y, -0.07f)) * 0.5f;
        place(target, rail, mid, 0.0f, rng.range(-0.01f, 0.01f));
    };
    auto pickets = [&](Mesh& target, float s0, float s1, float baseY, float top) {
        for (float s = s0 + 0.08f; s < s1 - 0.05f; s += 0.15f) {
            if (rng.unit() < 0.08f) {
                continue; // a missing picket
            }
            float h = top * rng.range(0.88f, 1.04f);
            if (rng.unit() < 0.06f) {
                h *= 0.55f; // a snapped one
            }
            std::vector<glm::vec2> outline{
                {-0.04f, 0.0f}, {0.04f, 0.0f}, {0.04f, h - 0.07f}, {0.0f, h}, {-0.04f, h - 0.07f}};
            Mesh picket = shapes::extrusion(outline, 0.022f, 0.0f);
            glm::vec3 pos = at(s, baseY, -0.1f);
            place(target, picket, pos, rng.range(-0.07f, 0.05f), rng.range(-0.05f, 0.05f));
        }
    };
    std::sort(posts.begin(), posts.end());
    for (std::size_t i = 0; i + 1 < posts.size(); ++i) {
        float s0 = posts[i], s1 = posts[i + 1];
        if (inGate((s0 + s1) * 0.5f)) {
            continue;
        }
        railRun(run.fence, s0, s1, 0.32f, rng.range(0.0f, 0.04f));
        railRun(run.fence, s0, s1, 0.82f, rng.range(0.0f, 0.05f));
        pickets(run.fence, s0, s1, 0.05f, rng.range(0.95f, 1.05f));
    }
    if (hasGate) {
        // The gate: a frame with a diagonal brace and pickets, standing ajar.
        float w = g1 - g0;
        Mesh gate;
        gate.append(shapes::bevelledBox({w, 0.08f, 0.04f}, 0.01f, 1), translate({w * 0.5f, 0.3f, 0}));
        gate.append(shapes::bevelledBox({w, 0.08f, 0.04f}, 0.01f, 1), translate({w * 0.5f, 0.95f, 0}));
        gate.append(shapes::bevelledBox({0.08f, 1.0f, 0.04f}, 0.01f, 1), translate({0.04f, 0.62f, 0}));
        gate.append(shapes::bevelledBox({0.08f, 1.0f, 0.04f}, 0.01f, 1), translate({w - 0.04f, 0.62f, 0}));
        float diag = std::sqrt(w * w + 0.65f * 0.65f);
        gate.append(shapes::bevelledBox({diag, 0.07f, 0.035f}, 0.01f, 1),
                    translate({w * 0.5f, 0.62f, 0.0f}) * rotate(std::atan2(0.65f, w), {0, 0, 1}));
        for (float x = 0.16f; x < w - 0.1f; x += 0.14f) {
            float h = 1.15f + 0.12f * std::sin(pi * x / w);
            std::vector<glm::vec2> outline{
                {-0.035f, 0.0f}, {0.035f, 0.0f}, {0.035f, h - 0.06f}, {0.0f, h}, {-0.035f, h - 0.06f}};
            gate.append(shapes::extrusion(outline, 0.02f, 0.004f), translate({x, 0.1f, -0.035f}));
        }
        glm::vec3 hinge = at(g0, 0.02f, 0.0f);
        run.gate.append(gate, translate(hinge) * turn * rotate(0.55f, {0, 1, 0}));
    }
    run.fence.boxUvs(0.7f);
    run.gate.boxUvs(0.7f);
    return run;
}

} // namespace gloam::forge::props
