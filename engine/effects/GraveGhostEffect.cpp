#include "engine/effects/GraveGhostEffect.h"

#include "engine/eggs/EggMesh.h"
#include "platform/material/UnlitMaterial.h"
#include "platform/scene/DynamicLightShadowComponent.h"
#include "platform/scene/ModelComponent.h"
#include "platform/scene/OpacityComponent.h"

#include <glm/geometric.hpp>
#include <glm/gtc/quaternion.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <iostream>
#include <numbers>
#include <vector>

namespace gloam {

namespace {

constexpr float twoPi = 2.0F * std::numbers::pi_v<float>;
constexpr int rimPoints = 40;

// The body's radius from crown to hem: a rounded crown, then a widening skirt.
float bodyRadius(float v)
{
    if (v < 0.14F) {
        const float k = 1.0F - v / 0.14F;
        return 0.15F * std::sqrt(std::max(1.0F - k * k, 0.00002F));
    }
    return 0.15F + 0.105F * std::pow((v - 0.14F) / 0.86F, 1.8F);
}

// How much of the skirt's motion a row takes: none on head and shoulders.
float skirtWeight(float v)
{
    const float s = std::max((v - 0.26F) / 0.74F, 0.0F);
    return s * s;
}

float columnAngle(int j)
{
    return static_cast<float>(j) / static_cast<float>(GraveGhostEffect::columns) * twoPi;
}

float rowParameter(int i)
{
    return std::pow(static_cast<float>(i) / static_cast<float>(GraveGhostEffect::rows - 1), 1.55F);
}

// The tube's triangles, the same for every phase.
const std::vector<std::uint32_t>& sheetIndices()
{
    static const std::vector<std::uint32_t> indices = [] {
        constexpr auto n = static_cast<std::uint32_t>(GraveGhostEffect::columns);
        std::vector<std::uint32_t> list;
        list.reserve(static_cast<std::size_t>(GraveGhostEffect::rows - 1) * n * 6);
        for (std::uint32_t a = 0; a + 1 < static_cast<std::uint32_t>(GraveGhostEffect::rows); ++a) {
            for (std::uint32_t k = 0; k < n; ++k) {
                const std::uint32_t k1 = (k + 1) % n;
                list.insert(list.end(), {n * a + k, n * (a + 1) + k, n * a + k1});
                list.insert(list.end(), {n * a + k1, n * (a + 1) + k, n * (a + 1) + k1});
            }
        }
        return list;
    }();
    return indices;
}

// What the surface needs of each column and row, whatever the phase.
struct SheetTables {
    std::array<float, GraveGhostEffect::columns> sinTheta{};
    std::array<float, GraveGhostEffect::columns> cosTheta{};
    std::array<float, GraveGhostEffect::columns> scallop{}; // cos(7θ + 0.3)
    std::array<float, GraveGhostEffect::rows> v{};
    std::array<float, GraveGhostEffect::rows> radius{};
    std::array<float, GraveGhostEffect::rows> weight{};
    std::array<float, GraveGhostEffect::rows> flarePower{}; // v^1.8
    std::array<float, GraveGhostEffect::rows> liftPower{};  // v^6
};

const SheetTables& sheetTables()
{
    static const SheetTables tables = [] {
        SheetTables t;
        for (int j = 0; j < GraveGhostEffect::columns; ++j) {
            const float theta = columnAngle(j);
            t.sinTheta[j] = std::sin(theta);
            t.cosTheta[j] = std::cos(theta);
            t.scallop[j] = std::cos(7.0F * theta + 0.3F);
        }
        for (int i = 0; i < GraveGhostEffect::rows; ++i) {
            const float v = rowParameter(i);
            t.v[i] = v;
            t.radius[i] = bodyRadius(v);
            t.weight[i] = skirtWeight(v);
            t.flarePower[i] = std::pow(v, 1.8F);
            t.liftPower[i] = std::pow(v, 6.0F);
        }
        return t;
    }();
    return tables;
}

} // namespace

const std::array<GraveGhostEffect::Opening, 3> GraveGhostEffect::openings{{
    {{-0.065F, 0.79F}, {0.025F, 0.047F}},
    {{0.065F, 0.79F}, {0.025F, 0.047F}},
    {{0.0F, 0.664F}, {0.041F, 0.062F}},
}};

glm::vec3 GraveGhostEffect::point(float v, float theta, float phase)
{
    const float r = bodyRadius(v);
    const float w = skirtWeight(v);
    const float flare = 1.0F + 0.12F * std::cos(7.0F * theta + 0.3F) * std::pow(v, 1.8F);
    const float ripple =
        1.0F + w * (0.1F * std::sin(2.0F * theta - 4.4F * phase) + 0.06F * std::cos(3.0F * theta + 3.1F * phase));
    const float a = 1.0F - std::cos(3.0F * theta + 0.6F * std::sin(4.5F * phase));
    const float b = 1.0F - std::cos(5.0F * theta - 0.42F * std::sin(5.3F * phase + 0.8F));
    const float p = std::sin(5.2F * phase - 2.0F * v);
    const float q = std::sin(4.0F * v + 3.1F * phase);
    return {r * flare * ripple * std::sin(theta) + w * (0.085F * p + 0.03F * q),
            (1.0F - v) + std::pow(v, 6.0F) * (0.095F * a + 0.025F * b),
            0.57F * r * flare * ripple * std::cos(theta) + 0.035F * w * std::sin(2.0F * theta - 4.2F * phase)};
}

platform::MeshPtr GraveGhostEffect::sheet(float phase)
{
    // The same surface as `point`, with everything that depends on one row
    // or one column worked out once: 128 + 49 sets of sines instead of 6,272.
    const SheetTables& t = sheetTables();
    std::array<float, columns> ripple1{};
    std::array<float, columns> ripple2{};
    std::array<float, columns> liftA{};
    std::array<float, columns> liftB{};
    std::array<float, columns> depthSway{};
    const float liftPhaseA = 0.6F * std::sin(4.5F * phase);
    const float liftPhaseB = 0.42F * std::sin(5.3F * phase + 0.8F);
    for (int j = 0; j < columns; ++j) {
        const float theta = columnAngle(j);
        ripple1[j] = std::sin(2.0F * theta - 4.4F * phase);
        ripple2[j] = std::cos(3.0F * theta + 3.1F * phase);
        liftA[j] = 1.0F - std::cos(3.0F * theta + liftPhaseA);
        liftB[j] = 1.0F - std::cos(5.0F * theta - liftPhaseB);
        depthSway[j] = std::sin(2.0F * theta - 4.2F * phase);
    }

    std::vector<glm::vec3> positions(static_cast<std::size_t>(rows) * columns);
    for (int i = 0; i < rows; ++i) {
        const float v = t.v[i];
        const float r = t.radius[i];
        const float w = t.weight[i];
        const float drift =
            w * (0.085F * std::sin(5.2F * phase - 2.0F * v) + 0.03F * std::sin(4.0F * v + 3.1F * phase));
        glm::vec3* row = positions.data() + static_cast<std::size_t>(i) * columns;
        for (int j = 0; j < columns; ++j) {
            const float flare = 1.0F + 0.12F * t.scallop[j] * t.flarePower[i];
            const float ripple = 1.0F + w * (0.1F * ripple1[j] + 0.06F * ripple2[j]);
            const float spread = r * flare * ripple;
            row[j] = {spread * t.sinTheta[j] + drift,
                      (1.0F - v) + t.liftPower[i] * (0.095F * liftA[j] + 0.025F * liftB[j]),
                      0.57F * spread * t.cosTheta[j] + 0.035F * w * depthSway[j]};
        }
    }
    return EggMesh::mesh("Measured sheet ghost", std::move(positions), sheetIndices());
}

float GraveGhostEffect::faceDepth(float x, float y)
{
    const float v = 1.0F - y;
    const float radius = 0.15F + 0.105F * std::pow(std::max((v - 0.14F) / 0.86F, 0.0F), 1.8F);
    const float theta = std::asin(std::clamp(x / radius, -0.98F, 0.98F));
    return point(v, theta, 0.0F).z + 0.003F;
}

platform::MeshPtr GraveGhostEffect::opening(const Opening& opening)
{
    std::vector<glm::vec3> positions;
    positions.reserve(rimPoints + 1);
    const glm::vec2 c = opening.centre;
    positions.emplace_back(c.x, c.y, faceDepth(c.x, c.y));
    for (int m = 0; m < rimPoints; ++m) {
        const float alpha = static_cast<float>(m) / static_cast<float>(rimPoints) * twoPi;
        const float x = c.x + opening.radii.x * std::cos(alpha);
        const float y = c.y + opening.radii.y * std::sin(alpha);
        positions.emplace_back(x, y, faceDepth(x, y));
    }
    std::vector<std::uint32_t> indices;
    indices.reserve(rimPoints * 3);
    for (std::uint32_t m = 1; m < rimPoints; ++m) {
        indices.insert(indices.end(), {0U, m, m + 1});
    }
    indices.insert(indices.end(), {0U, static_cast<std::uint32_t>(rimPoints), 1U});
    return EggMesh::mesh("Ghost face opening", std::move(positions), std::move(indices));
}

float GraveGhostEffect::opacity(float age)
{
    return std::clamp(std::min(age / fadeIn, (fadeOutEnd - age) / 0.18F), 0.0F, 1.0F);
}

float GraveGhostEffect::heightFor(float graveHeight)
{
    return std::clamp(0.9F * graveHeight, 0.72F, 1.25F);
}

long GraveGhostEffect::meshFrame(double age)
{
    // The bias keeps an age of exactly k/30 in frame k.
    return static_cast<long>(std::floor(age * meshRate + 0.001));
}

platform::PhysicallyBasedMaterial GraveGhostEffect::bodyMaterial()
{
    platform::PhysicallyBasedMaterial material;
    material.baseColor.tint = platform::rgb(0.78F, 0.78F, 0.72F);
    material.roughness = 1.0F;
    material.specular = 0.05F;
    material.faceCulling = platform::FaceCulling::back;
    material.blending = platform::Blending::transparent(0.66F);
    material.emissiveColor.color = glm::vec3(0.4F, 0.4F, 0.36F);
    material.emissiveIntensity = 0.35F;
    return material;
}

GraveGhostEffect::GraveGhostEffect(Log log)
    : root_(platform::Entity::make())
    , log_(std::move(log))
{
    body_ = platform::ModelEntity::make(sheet(0.0F), {bodyMaterial()});
    body_->components.set(platform::DynamicLightShadowComponent{false});
    root_->addChild(body_);

    const platform::UnlitMaterial face(platform::rgb(0.008F, 0.008F, 0.008F));
    for (const Opening& hole : openings) {
        EggMesh::model(opening(hole), face, glm::vec3(0.0F), *root_);
    }
    root_->setName("GravestoneGhost");
    root_->setEnabled(false);
}

void GraveGhostEffect::start(const PropTarget& target, glm::vec3 camera)
{
    activeID_ = target.id;
    lastMeshFrame_ = -1;
    const glm::vec3 center = target.position();
    glm::vec2 toCamera(camera.x - center.x, camera.z - center.z);
    const float distance = glm::length(toCamera);
    // A camera straight above the grave has no direction: face the front.
    toCamera = distance > 1e-6F ? toCamera / distance : glm::vec2(0.0F, 1.0F);
    const float dx = toCamera.x;
    const float dz = toCamera.y;
    heading_ = std::atan2(dx, dz);
    right_ = {dz, 0.0F, -dx};
    const glm::vec3 size = target.dimensions();
    height_ = heightFor(size.y);
    // Just clear of the stone, on the camera's side, at 12 % of its height.
    const float forward = std::max(size.x, size.z) * 0.54F + 0.035F;
    startPosition_ = {center.x + dx * forward, center.y - 0.5F * size.y + 0.12F * size.y, center.z + dz * forward};
}

void GraveGhostEffect::update(const PropTarget* target, std::optional<double> age, glm::vec3 camera)
{
    if (target == nullptr || !age || target->center.size() < 3 || target->size.size() < 3) {
        root_->setEnabled(false);
        activeID_.reset();
        lastAge_ = -1.0;
        return;
    }
    if (!activeID_ || *activeID_ != target->id || *age < lastAge_) {
        start(*target, camera);
    }
    lastAge_ = *age;
    root_->setEnabled(true);

    const auto t = static_cast<float>(*age);
    const float rise = (1.52F * t + 0.16F * t * t) * height_;
    const float sway = 0.035F * height_ * std::sin(5.2F * t);
    root_->setPosition(startPosition_ + glm::vec3(0.0F, rise, 0.0F) + sway * right_);
    root_->setScale(glm::vec3(height_));
    // The roll turns about the ghost's own forward axis.
    root_->setOrientation(glm::angleAxis(heading_, glm::vec3(0.0F, 1.0F, 0.0F)) *
                          glm::angleAxis(0.045F * std::sin(5.2F * t), glm::vec3(0.0F, 0.0F, 1.0F)));
    root_->components.set(platform::OpacityComponent{opacity(t)});

    const long frame = meshFrame(*age);
    if (frame == lastMeshFrame_) {
        return;
    }
    platform::ModelComponent* model = body_->components.get<platform::ModelComponent>();
    if (model == nullptr) {
        lastMeshFrame_ = frame;
        return;
    }
    try {
        model->mesh = sheet(t);
        lastMeshFrame_ = frame;
    } catch (const std::exception& error) {
        // The old cloth stays; the next frame tries again.
        log(std::string("E4 GHOST MESH FAILED ") + error.what());
    }
}

void GraveGhostEffect::log(const std::string& line) const
{
    if (log_) {
        log_(line);
    } else {
        std::cout << line << '\n';
    }
}

} // namespace gloam
