#include "engine/effects/LightningEffect.h"

#include "resources/SceneLandmarks.h"

#include "platform/scene/DynamicLightShadowComponent.h"
#include "platform/scene/ModelComponent.h"

#include <glm/geometric.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <span>

namespace gloam {

namespace {

using Point = std::array<int, 2>;

// The bolt traced in pixels of a reference picture (y grows downwards).
// Branch 0 is the trunk; every other branch starts on a trunk point, except
// branch 10, which starts on branch 1.
constexpr std::array<Point, 23> trunk{{{334, 15},  {339, 32},  {348, 49},  {343, 64},  {352, 81},  {348, 98},
                                       {358, 114}, {350, 127}, {364, 141}, {387, 148}, {401, 161}, {410, 175},
                                       {421, 184}, {414, 197}, {425, 210}, {420, 222}, {430, 234}, {441, 242},
                                       {450, 258}, {462, 267}, {463, 282}, {476, 294}, {484, 308}}};
constexpr std::array<Point, 6> branch1{{{352, 81}, {370, 89}, {386, 85}, {400, 94}, {417, 82}, {432, 88}}};
constexpr std::array<Point, 4> branch2{{{348, 98}, {335, 110}, {340, 125}, {332, 142}}};
constexpr std::array<Point, 5> branch3{{{358, 114}, {371, 120}, {380, 134}, {397, 137}, {403, 149}}};
constexpr std::array<Point, 3> branch4{{{410, 175}, {429, 174}, {440, 184}}};
constexpr std::array<Point, 4> branch5{{{414, 197}, {402, 205}, {407, 218}, {397, 229}}};
constexpr std::array<Point, 4> branch6{{{430, 234}, {445, 233}, {459, 245}, {466, 257}}};
constexpr std::array<Point, 4> branch7{{{450, 258}, {439, 272}, {449, 285}, {447, 302}}};
constexpr std::array<Point, 4> branch8{{{463, 282}, {477, 280}, {487, 293}, {503, 300}}};
constexpr std::array<Point, 4> branch9{{{339, 32}, {321, 44}, {323, 62}, {309, 72}}};
constexpr std::array<Point, 3> branch10{{{400, 94}, {396, 105}, {406, 116}}};
constexpr std::array<Point, 3> branch11{{{364, 141}, {370, 155}, {383, 164}}};

const std::array<std::span<const Point>, LightningEffect::branchCount> branches{
    trunk, branch1, branch2, branch3, branch4, branch5, branch6, branch7, branch8, branch9, branch10, branch11};

constexpr float trunkRadius = 0.014F;
constexpr float branchRadius = 0.005F;
constexpr float tipNarrowing = 0.55F;
constexpr int tubeSides = 6;
constexpr float glowGain = 7.0F;
constexpr float flashGain = 450.0F;
constexpr float enableThreshold = 0.001F;

} // namespace

glm::vec3 LightningEffect::boltDirection()
{
    constexpr landmarks::Point3 d = landmarks::houseDirection;
    return glm::normalize(glm::vec3(d.x, d.y, d.z));
}

glm::vec3 LightningEffect::boltLateral()
{
    constexpr landmarks::Point3 r = landmarks::viewRight;
    return glm::normalize(glm::vec3(r.x, r.y, r.z));
}

std::vector<glm::vec2> LightningEffect::samplePixels(int branch)
{
    const std::span<const Point> points = branches.at(static_cast<std::size_t>(branch));
    std::vector<glm::vec2> samples;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const glm::vec2 from(static_cast<float>(points[i - 1][0]), static_cast<float>(points[i - 1][1]));
        const glm::vec2 delta = glm::vec2(static_cast<float>(points[i][0]), static_cast<float>(points[i][1])) - from;
        const int steps = std::max(static_cast<int>(glm::length(delta) / 3.0F), 2);
        for (int j = 0; j < steps; ++j) {
            const float t = static_cast<float>(j) / static_cast<float>(steps);
            const auto seed = static_cast<float>(19 * static_cast<int>(i) + 47 * j + 11 * branch);
            const float jitter = std::sin(seed) * 1.6F * std::sin(std::numbers::pi_v<float> * t);
            samples.emplace_back(from.x + delta.x * t + jitter, from.y + delta.y * t);
        }
    }
    const Point& last = points.back();
    samples.emplace_back(static_cast<float>(last[0]), static_cast<float>(last[1]));
    return samples;
}

glm::vec3 LightningEffect::toScene(glm::vec2 pixel)
{
    const float x = (pixel.x - 459.0F) * 1.8F + 797.9F;
    const float y = (pixel.y - 127.0F) * 1.8F + 140.62F;
    const float v = (500.0F - y) / 5441.461F;
    const float h = (v * 29.390614F - 0.42666227F) / (v * 0.043985803F + 0.99903214F) + 1.05F;
    const float u = (x - 1200.0F) * (29.390614F - (h - 1.05F) * 0.043985803F) / 5441.461F;
    return planeDistance * boltDirection() + u * boltLateral() + glm::vec3(0.0F, h, 0.0F);
}

platform::MeshDescriptor LightningEffect::boltMesh()
{
    const glm::vec3 d = boltDirection();
    platform::MeshDescriptor mesh;
    mesh.name = "Reference lightning branches";
    for (int b = 0; b < branchCount; ++b) {
        std::vector<glm::vec3> world;
        for (const glm::vec2 pixel : samplePixels(b)) {
            world.push_back(toScene(pixel));
        }
        const auto base = static_cast<std::uint32_t>(mesh.positions.size());
        const float baseRadius = b == 0 ? trunkRadius : branchRadius;
        const std::size_t m = world.size();
        for (std::size_t k = 0; k < m; ++k) {
            const glm::vec3 tangent = glm::normalize(world[std::min(k + 1, m - 1)] - world[k == 0 ? 0 : k - 1]);
            const glm::vec3 side = glm::normalize(glm::cross(tangent, d));
            const glm::vec3 binormal = glm::cross(tangent, side);
            const float radius = baseRadius * (1.0F - tipNarrowing * static_cast<float>(k) / static_cast<float>(m));
            for (int s = 0; s < tubeSides; ++s) {
                const float theta = 2.0F * std::numbers::pi_v<float> * static_cast<float>(s) / tubeSides;
                const glm::vec3 normal = std::cos(theta) * side + std::sin(theta) * binormal;
                mesh.positions.push_back(world[k] + radius * normal);
                mesh.normals.push_back(normal);
            }
        }
        for (std::size_t k = 1; k < m; ++k) {
            for (std::uint32_t s = 0; s < tubeSides; ++s) {
                const std::uint32_t next = (s + 1) % tubeSides;
                const auto ring = static_cast<std::uint32_t>(k);
                const std::uint32_t p0 = base + tubeSides * (ring - 1) + s;
                const std::uint32_t p1 = base + tubeSides * (ring - 1) + next;
                const std::uint32_t q0 = base + tubeSides * ring + s;
                const std::uint32_t q1 = base + tubeSides * ring + next;
                mesh.indices.insert(mesh.indices.end(), {p0, p1, q0, p1, q1, q0});
            }
        }
    }
    return mesh;
}

platform::PhysicallyBasedMaterial LightningEffect::material(float strength)
{
    platform::PhysicallyBasedMaterial material;
    material.baseColor.tint = platform::rgb(0.0F, 0.0F, 0.0F);
    material.emissiveColor.color = glm::vec3(0.68F, 0.92F, 1.0F);
    material.emissiveIntensity = strength * glowGain;
    material.roughness = 1.0F;
    material.faceCulling = platform::FaceCulling::none;
    return material;
}

LightningEffect::LightningEffect()
    : root_(platform::Entity::make())
    , light_(platform::DirectionalLight::make())
{
    platform::MeshPtr mesh = platform::MeshResource::generate(boltMesh());
    bolt_ = platform::ModelEntity::make(std::move(mesh), {material(0.0F)});
    bolt_->components.set(platform::DynamicLightShadowComponent{false});
    root_->setName("Lightning");
    root_->addChild(bolt_);

    light_->light().color = platform::rgb(0.65F, 0.83F, 1.0F);
    light_->look(glm::vec3(0.0F), 8.0F * boltDirection() + glm::vec3(0.0F, 6.0F, 0.0F), glm::vec3(0.0F, 1.0F, 0.0F),
                 nullptr);
    light_->light().intensity = 0.0F;
    root_->addChild(light_);
    root_->setEnabled(false);
}

void LightningEffect::update(float strength, float light)
{
    if (strength == lastStrength_ && light == lastLight_) {
        return;
    }
    const bool glowChanged = strength != lastStrength_;
    lastStrength_ = strength;
    lastLight_ = light;
    root_->setEnabled(std::max(strength, light) > enableThreshold);
    bolt_->setEnabled(houseVisible_);
    if (auto* model = bolt_->components.get<platform::ModelComponent>(); model != nullptr && glowChanged) {
        model->materials = {material(strength)};
    }
    light_->light().intensity = light * flashGain;
}

void LightningEffect::setHouseVisible(bool visible)
{
    houseVisible_ = visible;
    bolt_->setEnabled(visible);
}

} // namespace gloam
