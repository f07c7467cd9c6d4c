#include "forge/world/GraveyardModel.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include "forge/gltf/GltfBuilder.h"
#include "forge/mesh/Noise.h"
#include "forge/mesh/Random.h"
#include "forge/mesh/Shapes.h"
#include "forge/world/Props.h"
#include "forge/world/SceneFrame.h"
#include "resources/SceneLandmarks.h"
#include "resources/SceneNames.h"

namespace gloam::forge {

namespace {

namespace names = gloam::scene_names;
namespace lm = gloam::landmarks;
constexpr float pi = 3.14159265f;

glm::mat4 translate(glm::vec3 t)
{
    return glm::translate(glm::mat4(1.0f), t);
}
glm::mat4 rotate(float angle, glm::vec3 axis)
{
    return glm::rotate(glm::mat4(1.0f), angle, axis);
}

std::string numbered(const std::string& stem, int n)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d", n);
    return stem + buffer;
}

// ---------------------------------------------------------------- textures

Image pumpkinSkinTexture(int ribs)
{
    Noise noise(404);
    Image img(256, 256);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            float u = static_cast<float>(x) / 256.0f, v = static_cast<float>(y) / 256.0f;
            float groove = std::abs(std::sin(static_cast<float>(ribs) * pi * u));
            float streak = noise.fbm(glm::vec2(u * 40.0f, v * 3.0f), 3, 0.5f, 0);
            float blotch = noise.fbm(glm::vec2(u * 8.0f, v * 8.0f), 3);
            float ends = std::pow(std::abs(v - 0.5f) * 2.0f, 3.0f);
            glm::vec3 orange(0.86f, 0.4f, 0.07f);
            glm::vec3 deep(0.55f, 0.18f, 0.03f);
            glm::vec3 c = glm::mix(deep, orange, std::pow(groove, 0.5f));
            c *= 0.88f + 0.12f * streak + 0.06f * blotch;
            c = glm::mix(c, glm::vec3(0.35f, 0.22f, 0.05f), ends * 0.6f);
            img.at(x, y) = glm::vec4(glm::clamp(c, 0.0f, 1.0f), 1.0f);
        }
    }
    return img;
}

// A tileable colour picture for the surfaces whose tint the scene sets
// (earth and stones): the scene's tint multiplies the base colour texture,
// so the surface's own colour and its mottling live in the picture, linear
// `colour` encoded as sRGB.
Image mottledTexture(glm::vec3 colour, std::uint32_t seed, float contrast)
{
    Noise noise(seed);
    Image img(128, 128);
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            glm::vec2 uv(static_cast<float>(x) / 128.0f, static_cast<float>(y) / 128.0f);
            float broad = noise.fbm(uv * 4.0f, 4, 0.5f, 4);
            float fine = noise.fbm(uv * 16.0f, 3, 0.5f, 16);
            glm::vec3 c = glm::clamp(colour * (1.0f + contrast * (0.7f * broad + 0.3f * fine)), 0.0f, 1.0f);
            auto encode = [](float v) {
                return v <= 0.0031308f ? v * 12.92f : 1.055f * std::pow(v, 1.0f / 2.4f) - 0.055f;
            };
            img.at(x, y) = glm::vec4(encode(c.r), encode(c.g), encode(c.b), 1.0f);
        }
    }
    return img;
}

// The sky dome's picture: azimuth across (u = angle / 2 pi, angle measured
// from +x towards -z, as the lathe lays it out), elevation down the picture
// with most rows spent near the horizon, where the telephoto view sees it.
float skyV(float elevation)
{
    float e = std::clamp((elevation + 0.12f) / (pi * 0.5f + 0.12f), 0.0f, 1.0f);
    return 1.0f - std::sqrt(e);
}

float skyElevation(float v)
{
    float s = 1.0f - v;
    return s * s * (pi * 0.5f + 0.12f) - 0.12f;
}

Image skyTexture()
{
    Noise noise(2024);
    Random rng(77);
    const int w = 2048, h = 512;
    Image img(w, h);
    glm::vec3 moon(lm::moonPosition.x, lm::moonPosition.y, lm::moonPosition.z);
    float moonAzimuth = std::atan2(-moon.z, moon.x);
    for (int y = 0; y < h; ++y) {
        float v = (static_cast<float>(y) + 0.5f) / static_cast<float>(h);
        float elevation = skyElevation(v);
        float up = std::clamp(elevation / (pi * 0.5f), 0.0f, 1.0f);
        for (int x = 0; x < w; ++x) {
            float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(w);
            float azimuth = u * 2.0f * pi;
            float da = std::remainder(azimuth - moonAzimuth, 2.0f * pi);
            float toMoon = std::sqrt(da * da + (elevation - 0.05f) * (elevation - 0.05f));
            glm::vec3 horizon(0.1f, 0.21f, 0.27f), middle(0.04f, 0.09f, 0.16f), zenith(0.01f, 0.02f, 0.05f);
            glm::vec3 c = glm::mix(horizon, middle, std::clamp(up * 6.0f, 0.0f, 1.0f));
            c = glm::mix(c, zenith, std::clamp((up - 0.15f) * 1.4f, 0.0f, 1.0f));
            // Moonlit glow, wide and cold.
            float halo = std::exp(-toMoon * 5.0f) * 0.3f + std::exp(-toMoon * 16.0f) * 0.3f;
            c += glm::vec3(0.45f, 0.62f, 0.7f) * halo;
            // Low clouds: long, layered bands near the horizon, lit at their
            // edges towards the moon.
            glm::vec2 q(u * 64.0f, elevation * 40.0f);
            float band = std::clamp(1.0f - std::abs(elevation - 0.07f) / 0.12f, 0.0f, 1.0f);
            float cloud = noise.fbm(glm::vec2(q.x, q.y * 2.2f), 5, 0.55f, 64) * 0.5f + 0.5f;
            float cover = std::clamp((cloud - 0.48f) * 3.5f, 0.0f, 1.0f) * band;
            float high =
                std::clamp((noise.fbm(glm::vec2(u * 24.0f, elevation * 9.0f), 4, 0.5f, 24) * 0.5f + 0.5f - 0.55f) *
                               2.5f,
                           0.0f, 1.0f) *
                std::clamp((elevation - 0.1f) * 4.0f, 0.0f, 1.0f) * 0.6f;
            glm::vec3 cloudDark(0.05f, 0.08f, 0.12f);
            glm::vec3 cloudLit(0.55f, 0.68f, 0.72f);
            float lit = std::exp(-toMoon * 4.0f);
            glm::vec3 cloudColour = glm::mix(cloudDark, cloudLit, std::clamp(lit * 1.3f + 0.1f * cloud, 0.0f, 1.0f));
            c = glm::mix(c, cloudColour, std::max(cover, high));
            img.at(x, y) = glm::vec4(glm::clamp(c, 0.0f, 1.0f), 1.0f);
        }
    }
    // Stars, thinning towards the horizon and hidden behind clouds.
    for (int i = 0; i < 1400; ++i) {
        int x = rng.integer(0, w - 1), y = rng.integer(0, h - 1);
        float elevation = skyElevation((static_cast<float>(y) + 0.5f) / static_cast<float>(h));
        if (elevation < 0.08f) {
            continue;
        }
        glm::vec4& p = img.at(x, y);
        float bright = rng.range(0.25f, 0.8f) * std::clamp(elevation * 3.0f, 0.0f, 1.0f);
        float sky = (p.r + p.g + p.b) / 3.0f;
        if (sky < 0.2f) {
            p = glm::vec4(glm::min(glm::vec3(p) + glm::vec3(bright * 0.9f, bright * 0.95f, bright), glm::vec3(1.0f)),
                          1.0f);
        }
    }
    return img;
}

Image moonTexture()
{
    Noise noise(1717);
    const int size = 256;
    Image img(size, size);
    // The disc fills 60 % of the sprite; the rest is its glow.
    const float disc = 0.6f;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            glm::vec2 p((static_cast<float>(x) + 0.5f) / size * 2.0f - 1.0f,
                        (static_cast<float>(y) + 0.5f) / size * 2.0f - 1.0f);
            float r = glm::length(p) / disc;
            glm::vec4 c;
            if (r <= 1.0f) {
                float maria = noise.fbm(p * 3.2f + glm::vec2(4.0f, 1.0f), 4) * 0.5f + 0.5f;
                float craters = noise.cells(p * 9.0f).x;
                float shade = 1.0f - 0.28f * std::clamp((maria - 0.45f) * 2.5f, 0.0f, 1.0f);
                shade *= 0.9f + 0.1f * std::clamp(craters * 1.6f, 0.0f, 1.0f);
                shade *= 1.0f - 0.18f * std::pow(r, 4.0f); // limb darkening
                float edge = std::clamp((1.0f - r) * 40.0f, 0.0f, 1.0f);
                glm::vec3 col = glm::vec3(0.93f, 0.96f, 0.92f) * shade;
                glm::vec3 glowCol(0.55f, 0.8f, 0.9f);
                c = glm::vec4(glm::mix(glowCol, col, edge), 1.0f);
            } else {
                float glow = 0.55f * std::exp(-(r - 1.0f) * 4.5f);
                float fade = std::clamp((1.0f - glm::length(p)) * 6.0f, 0.0f, 1.0f);
                c = glm::vec4(0.55f, 0.8f, 0.9f, glow * fade);
            }
            img.at(x, y) = c;
        }
    }
    return img;
}

// ---------------------------------------------------------------- scene parts

struct Materials {
    GltfBuilder& gltf;
    std::map<std::string, MaterialSpec> specs;
    int get(const std::string& name)
    {
        auto it = specs.find(name);
        MaterialSpec spec = it != specs.end() ? it->second : MaterialSpec{name};
        spec.name = name;
        return gltf.material(spec);
    }
};

// A group of named parts placed in the world; tracks the world bounds of
// everything it holds so that click boxes match the meshes.
class Group {
public:
    Group(GltfBuilder& gltf, Materials& materials, const std::string& name, const glm::vec3& position, float yaw,
          float leanForward = 0.0f, float leanSide = 0.0f, bool ring = false)
        : gltf_(gltf)
        , materials_(materials)
        , name_(name)
        , ring_(ring)
    {
        Transform t;
        t.translation = position;
        t.rotation = glm::angleAxis(yaw, glm::vec3(0, 1, 0)) * glm::angleAxis(leanForward, glm::vec3(1, 0, 0)) *
                     glm::angleAxis(leanSide, glm::vec3(0, 0, 1));
        world_ = t.matrix();
        node_ = gltf.addNode(name, -1, t);
    }
    void add(const props::Parts& parts)
    {
        for (const props::Part& p : parts) {
            add(p.suffix, p.mesh, p.material);
        }
    }
    void add(const std::string& suffix, const Mesh& mesh, const std::string& material)
    {
        // Props of the ring around the vehicle carry the backdrop's name, so
        // the scene hides them with the backdrop while they face the camera.
        std::string ring = ring_ ? "_" + std::string(names::backdrop) : std::string();
        gltf_.addMeshNode(std::string(names::envPrefix) + name_ + ring + "_" + suffix, node_, mesh,
                          materials_.get(material));
        for (const Vertex& v : mesh.vertices) {
            bounds_.add(glm::vec3(world_ * glm::vec4(v.position, 1.0f)));
        }
    }
    const Bounds& bounds() const { return bounds_; }

private:
    GltfBuilder& gltf_;
    Materials& materials_;
    std::string name_;
    bool ring_ = false;
    glm::mat4 world_{1.0f};
    int node_ = -1;
    Bounds bounds_;
};

PropTargetRecord targetFor(const std::string& id, std::string_view kind, const Bounds& b)
{
    glm::vec3 size = b.size() + glm::vec3(0.06f);
    glm::vec3 centre = b.centre();
    // The box starts at the ground, not below it.
    float bottom = std::max(b.min.y, frame::groundHeight(centre.x, centre.z) - 0.02f);
    size.y = b.max.y - bottom + 0.04f;
    centre.y = bottom + size.y * 0.5f;
    return {id, std::string(kind), centre, size};
}

void addHouse(GltfBuilder& gltf, Materials& m)
{
    const float W = 8.0f, D = 6.5f, H = 5.4f, ridge = 4.6f;
    Mesh walls, roof, slate, edge, timber, glow;
    // Main block, sunk a little into the ground.
    walls.append(shapes::bevelledBox({W, H + 0.4f, D}, 0.04f, 1), translate({0, H * 0.5f - 0.2f, 0}));
    edge.append(shapes::bevelledBox({W + 0.16f, 0.55f, D + 0.16f}, 0.03f, 1), translate({0, 0.1f, 0}));
    // Main roof: a steep gable, ridge along x.
    auto prism = [](float span, float rise, float length, float overhang) {
        std::vector<glm::vec2> outline{{-span * 0.5f - overhang, -overhang * rise / (span * 0.5f)},
                                       {span * 0.5f + overhang, -overhang * rise / (span * 0.5f)},
                                       {0.0f, rise}};
        return shapes::extrusion(outline, length, 0.02f);
    };
    // Extrusion runs along its z; turn it so the ridge runs along x.
    roof.append(prism(D, ridge, W + 0.7f, 0.45f), translate({0, H, 0}) * rotate(pi * 0.5f, {0, 1, 0}));
    // Slate courses on both slopes of the main roof, and bargeboards along
    // the gable ends.
    const float overhang = 0.45f;
    for (int side = -1; side <= 1; side += 2) {
        float sz = static_cast<float>(side);
        glm::vec2 eave(sz * (D * 0.5f + overhang), H - overhang * ridge / (D * 0.5f));
        glm::vec2 apex(0.0f, H + ridge);
        glm::vec2 along = apex - eave;
        glm::vec2 outward = glm::normalize(glm::vec2(-along.y, along.x) * -sz);
        if (outward.y < 0.0f) {
            outward = -outward;
        }
        for (float t = 0.06f; t < 0.96f; t += 0.055f) {
            glm::vec2 q = eave + along * t + outward * 0.03f;
            slate.append(shapes::bevelledBox({W + 0.5f, 0.05f, 0.05f}, 0.0f, 1), translate({0, q.y, q.x}));
        }
        float phi = std::atan2(ridge, sz * D * 0.5f);
        float len = glm::length(along) + 0.1f;
        glm::vec2 mid = (eave + apex) * 0.5f + outward * 0.02f;
        for (int end = -1; end <= 1; end += 2) {
            Mesh board = shapes::bevelledBox({0.09f, 0.3f, len}, 0.02f, 1);
            edge.append(board, translate({static_cast<float>(end) * (W * 0.5f + 0.38f), mid.y, mid.x}) *
                                   rotate(phi, {1, 0, 0}));
        }
    }
    edge.append(shapes::bevelledBox({W + 0.8f, 0.16f, 0.2f}, 0.03f, 1), translate({0, H + ridge + 0.02f, 0}));
    // The front cross gable on the right, projecting a metre.
    const float gx = 1.9f, gw = 3.3f, gd = 1.1f, grise = 3.6f;
    walls.append(shapes::bevelledBox({gw, H + 0.4f, gd + 0.2f}, 0.03f, 1),
                 translate({gx, H * 0.5f - 0.2f, D * 0.5f + gd * 0.5f - 0.1f}));
    roof.append(prism(gw, grise, D * 0.5f + gd + 0.4f, 0.3f), translate({gx, H, D * 0.25f + gd * 0.5f + 0.2f}));
    {
        float gslope = std::atan2(grise, gw * 0.5f);
        float glen = std::sqrt(grise * grise + gw * gw * 0.25f) + 0.35f;
        for (int side = -1; side <= 1; side += 2) {
            Mesh board = shapes::bevelledBox({glen, 0.28f, 0.09f}, 0.02f, 1);
            edge.append(board, translate({gx + static_cast<float>(side) * gw * 0.25f, H + grise * 0.5f - 0.08f,
                                          D * 0.5f + gd + 0.32f}) *
                                   rotate(-static_cast<float>(side) * gslope, {0, 0, 1}));
        }
        // Half timbering in the gable and the upper storey of the wing.
        float fz = D * 0.5f + gd + 0.005f;
        for (int i = 0; i < 5; ++i) {
            float x = gx - gw * 0.5f + 0.15f + static_cast<float>(i) * (gw - 0.3f) / 4.0f;
            timber.append(shapes::bevelledBox({0.14f, 2.4f, 0.06f}, 0.01f, 1), translate({x, 4.1f, fz}));
        }
        timber.append(shapes::bevelledBox({gw, 0.16f, 0.07f}, 0.01f, 1), translate({gx, 2.95f, fz}));
        timber.append(shapes::bevelledBox({gw, 0.16f, 0.07f}, 0.01f, 1), translate({gx, H - 0.05f, fz}));
        for (int side = -1; side <= 1; side += 2) {
            timber.append(shapes::bevelledBox({1.3f, 0.12f, 0.06f}, 0.01f, 1),
                          translate({gx + static_cast<float>(side) * 1.1f, 3.5f, fz + 0.01f}) *
                              rotate(static_cast<float>(side) * 0.75f, {0, 0, 1}));
        }
        // A king post and collar in the gable triangle.
        timber.append(shapes::bevelledBox({0.14f, grise - 0.5f, 0.06f}, 0.01f, 1),
                      translate({gx, H + (grise - 0.5f) * 0.5f, fz + 0.41f}));
        timber.append(shapes::bevelledBox({gw * 0.55f, 0.14f, 0.06f}, 0.01f, 1), translate({gx, H + 1.4f, fz + 0.41f}));
    }
    // Storey band and corner boards.
    {
        float right = gx - gw * 0.5f;
        edge.append(shapes::bevelledBox({right + W * 0.5f, 0.16f, 0.1f}, 0.02f, 1),
                    translate({(right - W * 0.5f) * 0.5f, 2.95f, D * 0.5f + 0.03f}));
    }
    for (int side = -1; side <= 1; side += 2) {
        edge.append(shapes::bevelledBox({0.18f, H, 0.18f}, 0.02f, 1),
                    translate({static_cast<float>(side) * W * 0.5f, H * 0.5f, D * 0.5f}));
    }
    // Windows: glowing panes behind timber frames and glazing bars.
    auto window = [&](glm::vec3 centre, float w, float h, bool lit, bool arched) {
        if (lit) {
            Mesh pane = shapes::quad(w, h);
            if (arched) {
                pane = shapes::polygon(shapes::archedSlab(w, h - w * 0.5f, w * 0.5f, 10));
                pane = pane.transformed(translate({0, -h * 0.5f, 0}));
            }
            glow.append(pane, translate(centre));
        } else {
            // Boarded up.
            for (int i = 0; i < 3; ++i) {
                timber.append(shapes::bevelledBox({w + 0.2f, 0.18f, 0.04f}, 0.01f, 1),
                              translate(centre + glm::vec3(0, -h * 0.3f + static_cast<float>(i) * h * 0.3f, 0.03f)) *
                                  rotate(0.12f * static_cast<float>(i - 1) + 0.05f, {0, 0, 1}));
            }
        }
        float t = 0.09f;
        timber.append(shapes::bevelledBox({w + 2 * t, t, 0.08f}, 0.01f, 1),
                      translate(centre + glm::vec3(0, h * 0.5f + t * 0.5f, 0.02f)));
        edge.append(shapes::bevelledBox({w + 0.36f, 0.09f, 0.18f}, 0.015f, 1),
                    translate(centre + glm::vec3(0, -h * 0.5f - 0.05f, 0.06f)));
        timber.append(shapes::bevelledBox({t, h, 0.08f}, 0.01f, 1),
                      translate(centre + glm::vec3(-w * 0.5f - t * 0.5f, 0, 0.02f)));
        timber.append(shapes::bevelledBox({t, h, 0.08f}, 0.01f, 1),
                      translate(centre + glm::vec3(w * 0.5f + t * 0.5f, 0, 0.02f)));
        if (lit) {
            timber.append(shapes::bevelledBox({0.05f, h, 0.04f}, 0.0f, 1), translate(centre + glm::vec3(0, 0, 0.02f)));
            for (int r = 1; r < 3; ++r) {
                timber.append(shapes::bevelledBox({w, 0.045f, 0.04f}, 0.0f, 1),
                              translate(centre + glm::vec3(0, -h * 0.5f + h * static_cast<float>(r) / 3.0f, 0.02f)));
            }
        }
    };
    float fz = D * 0.5f + 0.012f;
    window({-3.0f, 1.65f, fz}, 0.85f, 1.35f, true, false);
    window({-1.55f, 1.65f, fz}, 0.85f, 1.35f, true, false);
    window({-3.0f, 4.05f, fz}, 0.8f, 1.2f, true, false);
    window({-1.55f, 4.05f, fz}, 0.8f, 1.2f, false, false);
    float gz = D * 0.5f + gd + 0.012f;
    window({gx, 1.6f, gz}, 1.7f, 1.4f, true, false);
    window({gx - 0.75f, 4.05f, gz}, 0.7f, 1.1f, true, false);
    window({gx + 0.75f, 4.05f, gz}, 0.7f, 1.1f, true, false);
    // The attic window sits in the gable's face, which the roof carries 0.4 m
    // out over the wall.
    window({gx, H + 1.75f, gz + 0.41f}, 0.55f, 0.9f, true, true);
    // Door with a glowing fanlight, a porch and steps.
    timber.append(shapes::bevelledBox({0.95f, 2.1f, 0.08f}, 0.02f, 1), translate({-0.4f, 1.05f, fz + 0.02f}));
    glow.append(shapes::polygon(shapes::archedSlab(0.9f, 0.02f, 0.3f, 10)), translate({-0.4f, 2.2f, fz}));
    for (int side = -1; side <= 1; side += 2) {
        edge.append(shapes::bevelledBox({0.14f, 2.5f, 0.14f}, 0.02f, 1),
                    translate({-0.4f + static_cast<float>(side) * 0.85f, 1.25f, fz + 1.1f}));
    }
    roof.append(prism(2.1f, 0.7f, 1.3f, 0.15f).transformed(rotate(0.0f, {0, 1, 0})),
                translate({-0.4f, 2.5f, fz + 0.6f}));
    edge.append(shapes::bevelledBox({1.9f, 0.18f, 1.3f}, 0.02f, 1), translate({-0.4f, 0.09f, fz + 0.65f}));
    edge.append(shapes::bevelledBox({1.6f, 0.18f, 0.5f}, 0.02f, 1), translate({-0.4f, -0.02f, fz + 1.5f}));
    // Shutters, one hanging loose.
    timber.append(shapes::bevelledBox({0.42f, 1.3f, 0.05f}, 0.01f, 1), translate({-3.0f - 0.66f, 1.65f, fz + 0.05f}));
    timber.append(shapes::bevelledBox({0.42f, 1.3f, 0.05f}, 0.01f, 1),
                  translate({-1.55f + 0.7f, 1.55f, fz + 0.12f}) * rotate(-0.35f, {0, 0, 1}) * rotate(0.5f, {0, 1, 0}));
    // A lean-to wing on the left with its own window.
    walls.append(shapes::bevelledBox({3.0f, 3.2f, 4.6f}, 0.03f, 1), translate({W * 0.5f + 1.45f, 1.4f, -0.6f}));
    {
        std::vector<glm::vec2> outline{{0.0f, 0.0f}, {3.4f, 0.0f}, {3.4f, 0.25f}, {0.0f, 1.6f}};
        roof.append(shapes::extrusion(outline, 5.1f, 0.02f), translate({W * 0.5f - 0.25f, 3.0f, -0.6f}));
        window({W * 0.5f + 1.5f, 1.5f, -0.6f + 2.3f + 0.012f}, 0.7f, 0.95f, true, false);
    }
    // Chimney with a cap and pots.
    walls.append(shapes::bevelledBox({0.75f, 4.4f, 0.75f}, 0.02f, 1), translate({-2.4f, H + 2.9f, -0.9f}));
    slate.append(shapes::bevelledBox({0.95f, 0.14f, 0.95f}, 0.02f, 1), translate({-2.4f, H + 5.12f, -0.9f}));
    for (int i = -1; i <= 1; i += 2) {
        slate.append(shapes::lathe({{0.1f, 0.0f}, {0.08f, 0.3f}, {0.1f, 0.34f}, {0.1f, 0.36f}}, 8),
                     translate({-2.4f + static_cast<float>(i) * 0.2f, H + 5.19f, -0.9f}));
    }
    // Place the house far enough out that the orbiting camera never stands
    // behind it; its front faces the vehicle.
    glm::vec3 position = frame::place(25.0f, 7.0f, 0.0f);
    position.y = frame::groundHeight(position.x, position.z) - 0.05f;
    Transform t;
    t.translation = position;
    t.rotation = frame::facing(-frame::houseDirection());
    int house = gltf.addNode("House", -1, t);
    gltf.addMeshNode(std::string(names::envPrefix) + std::string(names::houseBlack) + "_Walls", house, walls,
                     m.get("HouseBlack"));
    gltf.addMeshNode(std::string(names::envPrefix) + std::string(names::roofBlack) + "_Roofs", house, roof,
                     m.get("RoofBlack"));
    gltf.addMeshNode(std::string(names::envPrefix) + std::string(names::houseSlate) + "_Courses", house, slate,
                     m.get("HouseSlate"));
    gltf.addMeshNode(std::string(names::envPrefix) + std::string(names::houseEdge) + "_Trim", house, edge,
                     m.get("HouseEdge"));
    gltf.addMeshNode(std::string(names::envPrefix) + std::string(names::houseTimber) + "_Frame", house, timber,
                     m.get("HouseTimber"));
    gltf.addMeshNode(std::string(names::envPrefix) + std::string(names::windowGlow) + "_Lit", house, glow,
                     m.get("WindowGlow"));
}

// A strip of silhouette along an arc of the ring, facing the centre.
Mesh ringSilhouette(float radius, float a0, float a1, const std::function<float(float)>& top)
{
    Mesh mesh;
    float arc = (a1 - a0) * radius;
    int columns = std::max(8, static_cast<int>(arc / 0.07f));
    for (int i = 0; i <= columns; ++i) {
        float t = static_cast<float>(i) / static_cast<float>(columns);
        float a = a0 + (a1 - a0) * t;
        glm::vec3 dir(std::cos(a), 0.0f, std::sin(a));
        float ground = frame::groundHeight(dir.x * radius, dir.z * radius);
        glm::vec3 base = dir * radius;
        mesh.add({base.x, ground - 0.6f, base.z}, -dir, {t, 1});
        mesh.add({base.x, ground + top(t * arc), base.z}, -dir, {t, 0});
    }
    for (int i = 0; i < columns; ++i) {
        auto a = static_cast<std::uint32_t>(2 * i);
        // Angles grow to the right as seen from the centre, so bottom, next
        // bottom, next top, top is counter-clockwise from there.
        mesh.quad(a, a + 2, a + 3, a + 1);
    }
    return mesh;
}

void addRings(GltfBuilder& gltf, Materials& m)
{
    Noise noise(5150);
    Random rng(99);
    // Near ring: black tree line with spiky conifers and bare crowns.
    const int segments = 16;
    for (int s = 0; s < segments; ++s) {
        float a0 = 2.0f * pi * static_cast<float>(s) / segments, a1 = 2.0f * pi * static_cast<float>(s + 1) / segments;
        std::vector<glm::vec3> trees; // position along the arc, height, kind
        float arcLength = (a1 - a0) * 29.0f;
        for (float x = rng.range(0.0f, 1.0f); x < arcLength; x += rng.range(0.7f, 2.2f)) {
            trees.push_back({x, rng.range(1.6f, 4.2f), rng.unit() < 0.45f ? 1.0f : 0.0f});
        }
        auto top = [&](float x) {
            float h = 0.6f + 0.4f * noise.fbm(glm::vec2(x * 0.2f + static_cast<float>(s) * 40.0f, 0.5f), 3);
            for (const glm::vec3& t : trees) {
                float d = std::abs(x - t.x);
                if (t.z > 0.5f) {
                    // Conifer: a spike with ragged tiers.
                    float width = t.y * 0.28f;
                    float tier = 0.12f * std::abs(std::sin(d * 22.0f));
                    h = std::max(h, t.y * (1.0f - d / width) - tier);
                } else {
                    // Bare crown: a rounded mass frayed by twigs.
                    float width = t.y * 0.45f;
                    if (d < width) {
                        float crown = t.y * std::sqrt(1.0f - (d / width) * (d / width));
                        float twigs = 0.35f * noise.ridged(glm::vec2(x * 6.0f, t.y), 3);
                        h = std::max(h, crown - 0.25f + twigs);
                    }
                }
            }
            return h;
        };
        Mesh strip = ringSilhouette(29.0f, a0, a1 + 0.004f, top);
        gltf.addMeshNode(numbered(std::string(names::envPrefix) + std::string(names::backdrop) + "_" +
                                      std::string(names::treeBlack) + "_",
                                  s),
                         -1, strip, m.get("Backdrop"));
    }
    // Far ring: a paler, misty tree line standing higher behind.
    const int mistSegments = 12;
    for (int s = 0; s < mistSegments; ++s) {
        float a0 = 2.0f * pi * static_cast<float>(s) / mistSegments,
              a1 = 2.0f * pi * static_cast<float>(s + 1) / mistSegments;
        auto top = [&](float x) {
            float rolling = 2.6f + 1.3f * noise.fbm(glm::vec2(x * 0.05f + static_cast<float>(s) * 13.0f, 2.0f), 3);
            float crowns = 0.7f * noise.ridged(glm::vec2(x * 0.45f, static_cast<float>(s)), 4);
            return rolling + crowns;
        };
        Mesh strip = ringSilhouette(36.0f, a0, a1 + 0.004f, top);
        gltf.addMeshNode(numbered(std::string(names::envPrefix) + std::string(names::treeMist) + "_", s), -1, strip,
                         m.get("TreeMist"));
    }
}

void addSky(GltfBuilder& gltf, Materials& m)
{
    // A dome well outside everything else, drawn from the inside.
    std::vector<glm::vec2> profile;
    const float radius = 80.0f;
    for (int j = 0; j <= 24; ++j) {
        float v = static_cast<float>(j) / 24.0f;
        float elevation = std::max(skyElevation(1.0f - v), -0.12f);
        if (j == 24) {
            profile.push_back({0.0f, radius});
        } else {
            profile.push_back({radius * std::cos(elevation), radius * std::sin(elevation)});
        }
    }
    Mesh dome = shapes::lathe(profile, 96);
    for (Vertex& v : dome.vertices) {
        float elevation = std::asin(std::clamp(v.position.y / radius, -1.0f, 1.0f));
        v.uv.y = skyV(elevation);
        v.normal = -v.normal;
    }
    for (std::size_t i = 0; i + 2 < dome.indices.size(); i += 3) {
        std::swap(dome.indices[i + 1], dome.indices[i + 2]);
    }
    gltf.addMeshNode(std::string(names::envPrefix) + std::string(names::skyClouds), -1, dome, m.get("SkyClouds"));
    // The moon: a sprite centred on the moon point, facing the default view.
    glm::vec3 moon(lm::moonPosition.x, lm::moonPosition.y, lm::moonPosition.z);
    glm::vec3 toCamera = frame::defaultCameraPosition() - moon;
    Transform t;
    t.translation = moon;
    glm::vec3 flat = glm::normalize(glm::vec3(toCamera.x, 0.0f, toCamera.z));
    float pitch = std::atan2(toCamera.y, glm::length(glm::vec2(toCamera.x, toCamera.z)));
    t.rotation = frame::facing(flat) * glm::angleAxis(-pitch, glm::vec3(1, 0, 0));
    // The disc (60 % of the sprite) is a little smaller than the moon's
    // click sphere.
    float side = 2.0f * 0.56f / 0.6f;
    gltf.addMeshNode(std::string(names::envPrefix) + std::string(names::moonSprite), -1, shapes::quad(side, side),
                     m.get("MoonSprite"), t);
}

void addGround(GltfBuilder& gltf, Materials& m)
{
    Mesh earth = shapes::terrainDisc(0.0f, 46.0f, 64, 144, frame::groundHeight, 2.0f);
    // Denser near the middle: pull rings towards the centre.
    gltf.addMeshNode(std::string(names::earth), -1, earth, m.get("Earth"));
    // Raised banks behind the graveyard on either side.
    Noise noise(808);
    struct Bank {
        float angle0, angle1, r0, r1, height;
    };
    glm::vec3 house = frame::houseDirection();
    float houseAngle = std::atan2(house.z, house.x);
    std::vector<Bank> banks{{houseAngle + 0.45f, houseAngle + 1.25f, 12.0f, 17.5f, 0.9f},
                            {houseAngle - 1.35f, houseAngle - 0.62f, 12.5f, 17.0f, 0.75f}};
    int index = 0;
    for (const Bank& b : banks) {
        Mesh bank;
        int cols = 48, rows = 14;
        for (int j = 0; j <= rows; ++j) {
            for (int i = 0; i <= cols; ++i) {
                float ta = static_cast<float>(i) / static_cast<float>(cols),
                      tr = static_cast<float>(j) / static_cast<float>(rows);
                float a = b.angle0 + (b.angle1 - b.angle0) * ta;
                float r = b.r0 + (b.r1 - b.r0) * tr;
                float x = std::cos(a) * r, z = std::sin(a) * r;
                // sin(pi) is a hair below zero in floats: clamp before the powers.
                float across = std::max(std::sin(pi * tr), 0.0f);
                float ends = std::max(std::sin(pi * ta), 0.0f);
                float h = b.height * std::pow(across, 0.8f) * std::pow(ends, 0.6f) *
                          (0.8f + 0.35f * noise.fbm(glm::vec2(x, z) * 0.25f, 3));
                bank.add({x, frame::groundHeight(x, z) + h - 0.04f, z}, {0, 1, 0}, {x * 0.5f, z * 0.5f});
            }
        }
        for (int j = 0; j < rows; ++j) {
            for (int i = 0; i < cols; ++i) {
                auto a = static_cast<std::uint32_t>(j * (cols + 1) + i);
                auto c = a + static_cast<std::uint32_t>(cols + 1);
                bank.quad(a, c, c + 1, a + 1);
            }
        }
        bank.recomputeNormals();
        for (Vertex& v : bank.vertices) {
            if (v.normal.y < 0.0f) {
                v.normal = -v.normal;
            }
        }
        gltf.addMeshNode(std::string(names::earthBankExact) + (index++ == 0 ? "_East" : "_West"), -1, bank,
                         m.get("EarthBank"));
    }
}

void addTrees(GltfBuilder& gltf, Materials& m)
{
    struct TreeSpot {
        float depth, lateral, height, spread;
    };
    // Tall trees stand outside the camera's orbit; the first ones frame the
    // house and the moon in the default view.
    std::vector<TreeSpot> spots{{21.5f, -6.2f, 9.5f, 1.0f},  {26.5f, -3.2f, 8.5f, 0.9f},  {20.5f, -12.0f, 10.5f, 1.1f},
                                {23.0f, 14.5f, 9.0f, 1.0f},  {-8.0f, 21.5f, 9.5f, 1.0f},  {-18.0f, -13.0f, 8.5f, 1.0f},
                                {4.0f, -23.0f, 10.0f, 1.1f}, {-21.0f, 6.0f, 9.0f, 0.95f}, {10.0f, 21.5f, 8.0f, 1.0f}};
    Random rng(31);
    int n = 0;
    for (const TreeSpot& s : spots) {
        glm::vec3 p = frame::place(s.depth, s.lateral);
        p.y = frame::groundHeight(p.x, p.z);
        Mesh tree = props::bareTree(1000U + static_cast<std::uint32_t>(n), s.height, s.spread);
        Transform t;
        t.translation = p;
        t.rotation = glm::angleAxis(rng.range(0.0f, 6.28f), glm::vec3(0, 1, 0));
        gltf.addMeshNode(numbered(std::string(names::envPrefix) + std::string(names::treeBlack) + "_", n++), -1, tree,
                         m.get("TreeBlack"), t);
    }
}

// ---------------------------------------------------------------- graveyard

struct GraveSpot {
    const char* id;
    float depth, lateral;
    props::GraveStyle style;
    float size;
    float leanForward, leanSide;
    bool mound;
};

struct PumpkinSpot {
    const char* id;
    float depth, lateral;
    float size;
    bool broken;
};

} // namespace

GraveyardResult writeGraveyard(const std::filesystem::path& glbPath)
{
    GltfBuilder gltf;
    GraveyardResult result;
    Materials m{gltf, {}};
    auto pbr = [&](const std::string& name, glm::vec3 colour, float roughness) {
        MaterialSpec spec;
        spec.name = name;
        spec.baseColor = glm::vec4(colour, 1.0f);
        spec.roughness = roughness;
        m.specs[name] = spec;
    };
    // Stone colours are the raw stone; the scene warms them with its tints.
    pbr("WeatheredStone", {0.42f, 0.42f, 0.41f}, 0.9f);
    pbr("StoneTrim", {0.37f, 0.37f, 0.36f}, 0.88f);
    pbr("StoneInset", {0.46f, 0.45f, 0.42f}, 0.8f);
    pbr("StoneRecess", {0.07f, 0.07f, 0.075f}, 0.95f);
    pbr("MossStone", {0.16f, 0.24f, 0.09f}, 0.95f);
    pbr("MossRecess", {0.11f, 0.18f, 0.07f}, 0.97f);
    pbr("MoundSoil", {0.19f, 0.14f, 0.1f}, 0.97f);
    pbr("Earth", {0.13f, 0.11f, 0.09f}, 0.96f);
    pbr("EarthBank", {0.12f, 0.105f, 0.085f}, 0.96f);
    pbr("OldWood", {0.2f, 0.17f, 0.14f}, 0.9f);
    pbr("PumpkinStem", {0.22f, 0.2f, 0.09f}, 0.8f);
    pbr("DryGrass", {0.17f, 0.16f, 0.08f}, 0.9f);
    m.specs["DryGrass"].doubleSided = true;
    pbr("PumpkinCarvedWall", {0.85f, 0.6f, 0.25f}, 0.7f);
    pbr("PumpkinGlow", {1.0f, 0.55f, 0.1f}, 1.0f);
    pbr("PumpkinFlame", {1.0f, 0.7f, 0.2f}, 1.0f);
    m.specs["PumpkinGlow"].emissive = {1.0f, 0.45f, 0.05f};
    m.specs["PumpkinFlame"].emissive = {1.0f, 0.6f, 0.1f};
    pbr("WindowGlow", {1.0f, 0.6f, 0.2f}, 1.0f);
    m.specs["WindowGlow"].emissive = {1.0f, 0.34f, 0.006f};
    for (const char* flat :
         {"HouseBlack", "RoofBlack", "HouseTimber", "HouseEdge", "HouseSlate", "TreeBlack", "Backdrop", "TreeMist"}) {
        pbr(flat, {0.04f, 0.05f, 0.06f}, 1.0f);
    }
    m.specs["TreeMist"].baseColor = {0.09f, 0.17f, 0.21f, 1.0f};
    // The scene replaces these materials' tint; their colour is a texture.
    std::uint32_t mottleSeed = 700;
    for (const char* tinted : {"WeatheredStone", "StoneTrim", "StoneInset", "MoundSoil", "Earth", "EarthBank"}) {
        MaterialSpec& spec = m.specs[tinted];
        const float contrast = spec.name.find("Earth") != std::string::npos ? 0.45f : 0.3f;
        spec.baseColorTexture = gltf.addTexture(
            std::string("albedo-") + tinted, mottledTexture(glm::vec3(spec.baseColor), mottleSeed++, contrast), false);
        spec.baseColor = glm::vec4(1.0f);
    }
    // Flat, glowing and sky parts take no normal map: no tangents for them.
    for (const char* plain :
         {"HouseBlack", "RoofBlack", "HouseTimber", "HouseEdge", "HouseSlate", "TreeBlack", "Backdrop", "TreeMist",
          "WindowGlow", "PumpkinGlow", "PumpkinFlame", "PumpkinStem", "DryGrass", "StoneRecess"}) {
        m.specs[plain].tangents = false;
    }
    {
        MaterialSpec skin;
        skin.name = "PumpkinSkin";
        skin.roughness = 0.55f;
        skin.baseColorTexture = gltf.addTexture("pumpkin-skin", pumpkinSkinTexture(10), false);
        m.specs["PumpkinSkin"] = skin;
        MaterialSpec sky;
        sky.name = "SkyClouds";
        sky.roughness = 1.0f;
        sky.doubleSided = true;
        sky.baseColorTexture = gltf.addTexture("night-sky", skyTexture(), false);
        sky.tangents = false;
        m.specs["SkyClouds"] = sky;
        MaterialSpec moon;
        moon.name = "MoonSprite";
        moon.roughness = 1.0f;
        moon.doubleSided = true;
        moon.blend = true;
        moon.baseColorTexture = gltf.addTexture("moon", moonTexture(), true);
        moon.tangents = false;
        m.specs["MoonSprite"] = moon;
    }

    addSky(gltf, m);
    addGround(gltf, m);
    addRings(gltf, m);
    addTrees(gltf, m);
    addHouse(gltf, m);

    glm::vec3 wrist(lm::handWrist.x, lm::handWrist.y, lm::handWrist.z);
    glm::vec3 toCamera =
        glm::normalize(glm::vec3(frame::defaultCameraPosition().x, 0.0f, frame::defaultCameraPosition().z));
    Random rng(4242);
    using S = props::GraveStyle;
    // Graves of the default view, then the ring of graves around the vehicle.
    std::vector<GraveSpot> graves{
        {names::matchedLeftStone.data(), 2.1f, -4.1f, S::grand, 1.08f, -0.03f, 0.02f, true},
        {names::matchedLeaningStone.data(), 3.4f, 3.95f, S::arched, 1.05f, 0.16f, -0.2f, true},
        {nullptr, 4.6f, -5.7f, S::cross, 1.0f, 0.02f, 0.08f, false},
        {nullptr, 3.6f, -6.9f, S::broken, 1.0f, 0.0f, 0.0f, false},
        {nullptr, 6.8f, -3.4f, S::obelisk, 1.0f, 0.0f, -0.03f, false},
        {nullptr, 7.8f, -6.3f, S::pointed, 1.1f, -0.06f, 0.05f, true},
        {nullptr, 8.6f, -4.6f, S::arched, 0.95f, 0.1f, 0.0f, false},
        {nullptr, 5.7f, 5.9f, S::arched, 1.0f, -0.05f, 0.12f, true},
        {nullptr, 7.9f, 3.7f, S::cross, 1.25f, 0.0f, -0.1f, false},
        {nullptr, 6.4f, 7.3f, S::broken, 1.0f, 0.0f, 0.0f, false},
        {nullptr, 9.0f, 6.6f, S::pointed, 1.0f, 0.08f, 0.0f, false},
        {nullptr, 8.2f, 0.5f, S::cross, 1.45f, 0.0f, 0.05f, false},
        {nullptr, 9.6f, -1.6f, S::obelisk, 1.15f, 0.0f, 0.0f, false},
        {"HandGrave", -0.95f, 2.8f, S::arched, 0.7f, -0.1f, 0.14f, false},
    };
    std::vector<PumpkinSpot> pumpkins{
        {"LeftPumpkin", -0.9f, -3.5f, 1.15f, false}, {"LeftSmallPumpkin", 0.2f, -4.45f, 0.8f, false},
        {nullptr, 2.0f, 3.2f, 1.0f, false},          {names::rightBroken.data(), -0.5f, 3.6f, 1.0f, true},
        {nullptr, 4.9f, -3.0f, 0.75f, false},
    };
    std::vector<glm::vec2> taken;
    for (const GraveSpot& g : graves) {
        glm::vec3 p = frame::place(g.depth, g.lateral);
        taken.push_back({p.x, p.z});
    }
    for (const PumpkinSpot& s : pumpkins) {
        glm::vec3 p = frame::place(s.depth, s.lateral);
        taken.push_back({p.x, p.z});
    }
    taken.push_back({wrist.x, wrist.z});
    auto free = [&](glm::vec2 p, float clearance) {
        for (glm::vec2 q : taken) {
            if (glm::length(p - q) < clearance) {
                return false;
            }
        }
        return true;
    };
    // Ring graves and orbiting pumpkins all the way round.
    std::vector<GraveSpot> ring;
    const S ringStyles[] = {S::arched, S::cross, S::pointed, S::broken, S::arched, S::obelisk};
    for (int k = 0; k < 14; ++k) {
        float a = 2.0f * pi * static_cast<float>(k) / 14.0f + 0.11f;
        float r = 7.6f + rng.range(-0.5f, 0.7f);
        glm::vec2 p(std::cos(a) * r, std::sin(a) * r);
        glm::vec3 world(p.x, 0.0f, p.y);
        float depth = glm::dot(world, frame::houseDirection()), lateral = glm::dot(world, frame::viewRight());
        if (!free(p, 2.0f) || depth > 9.5f) {
            continue;
        }
        taken.push_back(p);
        ring.push_back({nullptr, depth, lateral, ringStyles[k % 6], rng.range(0.9f, 1.1f), rng.range(-0.08f, 0.12f),
                        rng.range(-0.1f, 0.1f), rng.unit() < 0.5f});
    }
    // An outer ring of older graves, further out.
    for (int k = 0; k < 13; ++k) {
        float a = 2.0f * pi * static_cast<float>(k) / 13.0f + 0.31f;
        float r = 11.0f + rng.range(-0.8f, 0.8f);
        glm::vec2 p(std::cos(a) * r, std::sin(a) * r);
        glm::vec3 world(p.x, 0.0f, p.y);
        float depth = glm::dot(world, frame::houseDirection()), lateral = glm::dot(world, frame::viewRight());
        if (!free(p, 2.0f) || depth > 9.8f) {
            continue;
        }
        taken.push_back(p);
        ring.push_back({nullptr, depth, lateral, ringStyles[(k + 3) % 6], rng.range(0.95f, 1.2f),
                        rng.range(-0.1f, 0.14f), rng.range(-0.12f, 0.12f), rng.unit() < 0.4f});
    }
    std::vector<PumpkinSpot> orbit;
    for (int k = 0; k < 8; ++k) {
        float a = 2.0f * pi * static_cast<float>(k) / 8.0f + 0.5f;
        float r = 5.4f + rng.range(-0.3f, 0.4f);
        glm::vec2 p(std::cos(a) * r, std::sin(a) * r);
        glm::vec3 world(p.x, 0.0f, p.y);
        if (!free(p, 1.6f)) {
            continue;
        }
        taken.push_back(p);
        orbit.push_back({nullptr, glm::dot(world, frame::houseDirection()), glm::dot(world, frame::viewRight()),
                         rng.range(0.8f, 1.05f), false});
    }

    auto placeGrave = [&](const std::string& id, const GraveSpot& g, std::uint32_t seed, bool ringProp) {
        bool faceCentre = ringProp && g.depth < -1.0f;
        glm::vec3 p = frame::place(g.depth, g.lateral);
        p.y = frame::groundHeight(p.x, p.z) - 0.04f;
        glm::vec3 face = faceCentre ? glm::normalize(glm::vec3(-p.x, 0.0f, -p.z)) : toCamera;
        float yaw = std::atan2(face.x, face.z) + rng.range(-0.18f, 0.18f);
        Group group(gltf, m, id, p, yaw, g.leanForward, g.leanSide, ringProp);
        group.add(props::gravestone(g.style, seed, g.size));
        if (g.mound) {
            group.add("MoundSoil", props::mound(seed + 1U, 1.7f, 0.8f, 0.22f).transformed(translate({0, 0.02f, 1.05f})),
                      "MoundSoil");
        }
        result.targets.push_back(targetFor(id, names::kindGrave, group.bounds()));
    };
    auto placePumpkin = [&](const std::string& id, const PumpkinSpot& s, std::uint32_t seed, bool ringProp) {
        bool faceCentre = ringProp && s.depth < -1.0f;
        glm::vec3 p = frame::place(s.depth, s.lateral);
        p.y = frame::groundHeight(p.x, p.z) - 0.015f;
        glm::vec3 face = faceCentre ? glm::normalize(glm::vec3(-p.x, 0.0f, -p.z)) : toCamera;
        float yaw = std::atan2(face.x, face.z) + rng.range(-0.3f, 0.3f);
        Group group(gltf, m, id, p, yaw, 0.0f, 0.0f, ringProp);
        group.add(props::pumpkin(seed, s.size, s.broken));
        result.targets.push_back(targetFor(id, names::kindPumpkin, group.bounds()));
    };

    // Every grave and pumpkin behind the vehicle (and round it) belongs to
    // the ring: the scene hides them (and their click boxes) while they stand
    // between the camera and the vehicle. Those that carry behaviour and the
    // few in front of the default view, which the ring would hide there,
    // keep plain ids.
    std::uint32_t seed = 500;
    int ringCount = 0, orbitCount = 0;
    auto nextRing = [&]() { return numbered(std::string(names::ringGravePrefix), ++ringCount); };
    auto nextOrbit = [&]() { return numbered(std::string(names::orbitPumpkinPrefix), ++orbitCount); };
    for (const GraveSpot& g : graves) {
        placeGrave(g.id ? std::string(g.id) : nextRing(), g, seed++, g.id == nullptr);
    }
    for (const PumpkinSpot& s : pumpkins) {
        placePumpkin(s.id ? std::string(s.id) : nextOrbit(), s, seed++, s.id == nullptr);
    }
    for (const GraveSpot& g : ring) {
        placeGrave(nextRing(), g, seed++, true);
    }
    for (const PumpkinSpot& s : orbit) {
        placePumpkin(nextOrbit(), s, seed++, true);
    }

    // Smaller dead trees among the graves all round; they belong to the ring
    // so the scene hides those between the camera and the vehicle.
    for (int k = 0; k < 7; ++k) {
        float a = 2.0f * pi * static_cast<float>(k) / 7.0f + 0.2f;
        float r = 13.5f + rng.range(-1.0f, 1.5f);
        glm::vec3 p(std::cos(a) * r, 0.0f, std::sin(a) * r);
        if (glm::dot(p, frame::houseDirection()) > 9.0f) {
            continue;
        }
        p.y = frame::groundHeight(p.x, p.z);
        Transform t;
        t.translation = p;
        t.rotation = glm::angleAxis(rng.range(0.0f, 6.28f), glm::vec3(0, 1, 0));
        Mesh tree = props::bareTree(2000U + static_cast<std::uint32_t>(k), rng.range(4.5f, 6.5f), 1.05f, 4);
        gltf.addMeshNode(numbered(std::string(names::envPrefix) + std::string(names::backdrop) + "_" +
                                      std::string(names::treeBlack) + "_Ring",
                                  k),
                         -1, tree, m.get("TreeBlack"), t);
    }

    // The hand's grave: a fresh mound the hand breaks out of.
    {
        // It lies along the view, its head towards the vehicle (which stands
        // a metre away), the hand breaking out near the head.
        glm::vec3 centre = wrist - frame::houseDirection() * 0.5f;
        centre.y = frame::groundHeight(centre.x, centre.z) - 0.02f;
        Group group(gltf, m, "HandMound", centre, std::atan2(frame::houseDirection().x, frame::houseDirection().z));
        Mesh soil = props::mound(77, 1.9f, 0.95f, 0.26f);
        // Broken clods where the hand came through.
        Random clods(12);
        Noise clodNoise(13);
        glm::vec3 local(0.0f, 0.0f, 0.5f);
        for (int i = 0; i < 7; ++i) {
            float a = clods.range(0.0f, 6.28f), d = clods.range(0.14f, 0.3f);
            Mesh clod = shapes::sphere(clods.range(0.04f, 0.07f), 5, 8);
            clod.displace([&](glm::vec3 q, glm::vec3) { return 0.015f * clodNoise.at(q * 40.0f); });
            clod.recomputeNormals();
            soil.append(clod, translate(local + glm::vec3(std::cos(a) * d, 0.2f, std::sin(a) * d)));
        }
        soil.boxUvs(0.8f);
        group.add("MoundSoil", soil, "MoundSoil");
    }

    // Dry grass in tufts: thick along the fence and round the stones, sparse
    // in the open, none where the vehicle stands.
    {
        Random grassRng(5353);
        Noise grassNoise(5354);
        Mesh grass;
        int tufts = 0;
        for (int attempt = 0; attempt < 6000 && tufts < 700; ++attempt) {
            float r = std::sqrt(grassRng.unit()) * 16.0f;
            float a = grassRng.range(0.0f, 2.0f * pi);
            glm::vec2 p(std::cos(a) * r, std::sin(a) * r);
            if (std::abs(p.x) < lm::vehicleHalfLength + 0.4f && std::abs(p.y) < lm::vehicleHalfWidth + 0.4f) {
                continue;
            }
            if (glm::length(p - glm::vec2(wrist.x, wrist.z)) < 0.9f) {
                continue;
            }
            float density = 0.5f + 0.5f * grassNoise.fbm(p * 0.35f, 3);
            float nearStone = 0.0f;
            for (glm::vec2 q : taken) {
                nearStone = std::max(nearStone, 1.0f - glm::length(p - q) / 1.4f);
            }
            if (grassRng.unit() > std::clamp(density * 0.6f + nearStone, 0.0f, 1.0f)) {
                continue;
            }
            ++tufts;
            float ground = frame::groundHeight(p.x, p.y);
            int blades = grassRng.integer(7, 12);
            float height = grassRng.range(0.12f, 0.3f) * (0.7f + nearStone * 0.5f);
            for (int b = 0; b < blades; ++b) {
                float ba = grassRng.range(0.0f, 2.0f * pi);
                glm::vec2 root = p + glm::vec2(std::cos(ba), std::sin(ba)) * grassRng.range(0.0f, 0.05f);
                glm::vec3 lean(std::cos(ba) * grassRng.range(0.2f, 0.6f), 1.0f,
                               std::sin(ba) * grassRng.range(0.2f, 0.6f));
                glm::vec3 tip =
                    glm::vec3(root.x, ground, root.y) + glm::normalize(lean) * height * grassRng.range(0.6f, 1.1f);
                glm::vec3 side = glm::normalize(glm::vec3(-std::sin(ba), 0.0f, std::cos(ba))) * 0.012f;
                glm::vec3 base(root.x, ground - 0.02f, root.y);
                glm::vec3 n = glm::normalize(glm::cross(side, tip - base));
                auto i0 = grass.add(base - side, n, {0, 1});
                auto i1 = grass.add(base + side, n, {1, 1});
                auto i2 = grass.add(tip, n, {0.5f, 0});
                grass.triangle(i0, i1, i2);
            }
        }
        gltf.addMeshNode("Env_DryGrass", -1, grass, m.get("DryGrass"));
    }

    // The old fence behind the graveyard with its gate towards the house, in
    // sections that hide with the ring when the camera comes round.
    {
        std::string fenceName = std::string(names::envPrefix) + "Fence%d_" + std::string(names::backdrop) + "_OldWood";
        auto named = [&](int i) {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, fenceName.c_str(), i);
            return std::string(buffer);
        };
        float cuts[] = {-9.5f, -3.5f, 3.2f, 8.5f};
        for (int i = 0; i < 3; ++i) {
            glm::vec3 a = frame::place(10.6f, cuts[i]), b = frame::place(10.6f, cuts[i + 1]);
            float span = cuts[i + 1] - cuts[i];
            bool gate = i == 1;
            props::FenceRun run =
                props::fence(61U + static_cast<std::uint32_t>(i), {a.x, a.z}, {b.x, b.z},
                             gate ? (1.0f - cuts[i]) / span : 0.0f, gate ? (2.3f - cuts[i]) / span : 0.0f);
            gltf.addMeshNode(named(i + 1), -1, run.fence, m.get("OldWood"));
            if (gate) {
                gltf.addMeshNode(std::string(names::envPrefix) + "Gate_" + std::string(names::backdrop) + "_OldWood",
                                 -1, run.gate, m.get("OldWood"));
            }
        }
        glm::vec3 a = frame::place(10.6f, -9.5f), c = frame::place(3.0f, -10.4f);
        props::FenceRun side = props::fence(64, {a.x, a.z}, {c.x, c.z}, 0.0f, 0.0f);
        gltf.addMeshNode(named(4), -1, side.fence, m.get("OldWood"));
    }

    gltf.write(glbPath);
    result.triangles = gltf.triangleCount();
    return result;
}

} // namespace gloam::forge
