// The charging surprise's models: a miniature charging station (a tall
// white housing with a red-lined opening, the sign "ZARVO" and four charge
// bars, on a grey plinth), a curious armless ghost with a dark face, and a
// carved pumpkin with a stem. Each is built in its entity's own space: y up,
// +z towards the viewer, x across the picture. The models are never
// mirrored; the staging only swaps their places.
//
// Every material here is later turned into a fade material by its place in
// the walk of the tree, so the order of the children matters.
#include "engine/eggs/EasterEggEffects.h"

#include "engine/eggs/EggMesh.h"
#include "platform/scene/DynamicLightShadowComponent.h"

#include <glm/gtc/constants.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace gloam {

namespace {

platform::Material flat(glm::vec3 color, platform::Blending blending = platform::Blending::opaque())
{
    platform::UnlitMaterial material(platform::rgb(color.r, color.g, color.b));
    material.blending = blending;
    return material;
}

std::shared_ptr<platform::ModelEntity> box(glm::vec3 size, float cornerRadius, const platform::Material& material,
                                           glm::vec3 position, platform::Entity& parent)
{
    auto entity = platform::ModelEntity::make(platform::MeshResource::generateBox(size, cornerRadius), {material});
    entity->components.set(platform::DynamicLightShadowComponent{false});
    entity->setPosition(position);
    parent.addChild(entity);
    return entity;
}

// The ghost's sheet: rings from the crown down to the hem.
constexpr int ghostRings = 31;
constexpr int ghostRingPoints = 64;

} // namespace

void EasterEggEffects::makeStation()
{
    const platform::Material grey = EggMesh::selfLit({0.32F, 0.36F, 0.37F}, 0.72F, 0.0F, 0.08F);
    const platform::Material white = EggMesh::selfLit({0.72F, 0.75F, 0.75F}, 0.32F, 0.12F, 0.18F);
    const platform::Material red = EggMesh::selfLit({0.48F, 0.014F, 0.025F}, 0.72F, 0.0F, 0.2F);
    const platform::Material shadow = flat({0.0F, 0.0F, 0.0F}, platform::Blending::transparent(0.07F));

    // A soft shadow: stacked translucent ellipses, darker towards the middle.
    for (int b = 0; b < 4; ++b) {
        const float k = 1.0F + 0.16F * static_cast<float>(b);
        EggMesh::sphere({0.35F * k, 0.002F, 0.2F * k}, {0.0F, -0.144F + 0.001F * static_cast<float>(b), 0.0F}, shadow,
                        *station_);
    }
    box({0.88F, 0.15F, 0.53F}, 0.025F, grey, {0.0F, -0.075F, 0.0F}, *station_);
    box({0.64F, 0.09F, 0.23F}, 0.018F, white, {0.0F, 0.035F, 0.0F}, *station_);
    EggMesh::chargerHousing(white, red, *station_);

    // The sign, centred across the housing above the opening; it alone
    // casts a shadow.
    auto sign = platform::ModelEntity::make(
        platform::MeshResource::generateText(
            "ZARVO", 0.002F,
            platform::MeshResource::Font::system(0.064F, platform::MeshResource::FontWeight::semibold)),
        {red}, "AmperleSign");
    const float width = sign->visualBounds(true, sign.get()).extents().x;
    sign->setPosition({-0.5F * width, 1.29F, 0.117F});
    station_->addChild(sign);

    for (int i = 0; i < 4; ++i) {
        const platform::Material bar = EggMesh::selfLit({0.025F, 0.14F, 0.09F}, 0.72F, 0.0F, 0.3F);
        chargeBars_.push_back(box({0.047F, 0.018F, 0.006F}, 0.004F, bar,
                                  {-0.1F + 0.067F * static_cast<float>(i), 1.255F, 0.119F}, *station_));
    }
}

void EasterEggEffects::makeGhost()
{
    const platform::Material sheet =
        EggMesh::selfLit({0.6F, 0.73F, 0.72F}, 0.72F, 0.0F, 0.2F, platform::Blending::transparent(0.66F));
    const platform::Material dark = flat({0.015F, 0.028F, 0.035F});

    // A rounded head over the first 24 % of the height, then a sheet that
    // widens to the hem with seven shallow ripples around and a hem that
    // rises in five waves; flattened front to back, open at the hem.
    std::vector<glm::vec3> positions;
    positions.reserve(ghostRings * ghostRingPoints);
    for (int i = 0; i < ghostRings; ++i) {
        const float s = static_cast<float>(i) / static_cast<float>(ghostRings - 1);
        const float t = 1.0F - std::min(s / 0.24F, 1.0F);
        const float r = 0.11F * s * s * s + 0.17F * std::sqrt(std::max(1.0F - t * t, 0.001F));
        for (int j = 0; j < ghostRingPoints; ++j) {
            const float v = glm::two_pi<float>() * static_cast<float>(j) / static_cast<float>(ghostRingPoints);
            const float rho = r * (1.0F + 0.08F * s * s * std::cos(7.0F * v));
            const float hem = 0.055F * std::pow(s, 7.0F) * (1.0F - std::cos(5.0F * v));
            positions.emplace_back(rho * std::sin(v), 0.84F * (1.0F - s) + hem, 0.63F * rho * std::cos(v));
        }
    }
    std::vector<std::uint32_t> indices;
    indices.reserve((ghostRings - 1) * ghostRingPoints * 6);
    for (std::uint32_t i = 0; i + 1 < ghostRings; ++i) {
        for (std::uint32_t j = 1; j <= ghostRingPoints; ++j) {
            const std::uint32_t p = ghostRingPoints * i + (j - 1);
            const std::uint32_t q = ghostRingPoints * i + (j % ghostRingPoints);
            indices.insert(indices.end(), {p, p + ghostRingPoints, q, q, p + ghostRingPoints, q + ghostRingPoints});
        }
    }
    EggMesh::model(EggMesh::mesh("Curious armless ghost", positions, indices), sheet, {0.0F, 0.0F, 0.0F}, *ghost_);

    EggMesh::sphere({0.024F, 0.043F, 0.008F}, {-0.059F, 0.65F, 0.1F}, dark, *face_);
    EggMesh::sphere({0.024F, 0.043F, 0.008F}, {0.059F, 0.65F, 0.1F}, dark, *face_);
    EggMesh::sphere({0.025F, 0.035F, 0.008F}, {0.0F, 0.54F, 0.112F}, dark, *face_);
}

void EasterEggEffects::makePumpkin()
{
    const platform::Material skin = EggMesh::selfLit({0.37F, 0.075F, 0.009F}, 0.72F, 0.0F, 0.08F);
    const platform::Material stem = EggMesh::selfLit({0.12F, 0.18F, 0.07F}, 0.72F, 0.0F, 0.2F);
    const platform::Material carving = EggMesh::selfLit({0.75F, 0.17F, 0.01F}, 0.72F, 0.0F, 0.4F);
    const platform::Material shadow = flat({0.0F, 0.0F, 0.0F}, platform::Blending::transparent(0.18F));

    EggMesh::sphere({0.23F, 0.002F, 0.16F}, {0.0F, -0.152F, 0.0F}, shadow, *pumpkin_);
    // The ten ribs the carvings are fitted to; rib 0 faces the viewer.
    for (int i = 0; i < EggMesh::ribCount; ++i) {
        const float a = glm::two_pi<float>() * static_cast<float>(i) / static_cast<float>(EggMesh::ribCount);
        pumpkinShell_.push_back(EggMesh::sphere(
            {EggMesh::ribHalfWidth, EggMesh::ribHalfHeight, EggMesh::ribHalfWidth},
            {EggMesh::ribOffset * std::sin(a), 0.0F, EggMesh::ribOffset * std::cos(a)}, skin, *pumpkin_));
    }
    EggMesh::segment({0.0F, 0.13F, 0.0F}, {-0.025F, 0.21F, -0.008F}, 0.026F, stem, *pumpkin_);

    // Both eyes have the same shape: the right one is shifted, not mirrored.
    for (const float e : {-0.072F, 0.072F}) {
        pumpkinFace_.push_back(
            EggMesh::model(EggMesh::pumpkinCarving({{e - 0.039F, 0.025F}, {e + 0.033F, 0.025F}, {e + 0.006F, 0.093F}}),
                           carving, {0.0F, 0.0F, 0.0F}, *pumpkin_));
    }
    // The mouth runs along the upper lip from the left corner and back along
    // the lower one: two teeth hang from the upper lip, one stands below.
    const std::vector<glm::vec2> mouth{{-0.116F, -0.025F}, {-0.078F, -0.039F}, {-0.053F, -0.042F}, {-0.053F, -0.065F},
                                       {-0.029F, -0.067F}, {-0.029F, -0.044F}, {0.03F, -0.044F},   {0.03F, -0.067F},
                                       {0.054F, -0.065F},  {0.054F, -0.042F},  {0.08F, -0.038F},   {0.116F, -0.025F},
                                       {0.094F, -0.078F},  {0.057F, -0.104F},  {0.013F, -0.114F},  {0.013F, -0.093F},
                                       {-0.012F, -0.093F}, {-0.012F, -0.114F}, {-0.057F, -0.104F}, {-0.094F, -0.078F}};
    pumpkinFace_.push_back(EggMesh::model(EggMesh::pumpkinCarving(mouth), carving, {0.0F, 0.0F, 0.0F}, *pumpkin_));
}

} // namespace gloam
