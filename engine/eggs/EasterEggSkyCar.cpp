// The sky surprise's model: a small open two-seat sports car in glossy red
// with black trim, silver wheels, a tinted windscreen and glowing lamps, and
// a space-suited rider whose right arm hangs on its own pivot so it can wave.
// Local space of the car: x along it (front at −x), y up, z across (the
// rider faces +z); it is scaled by 0.52 when shown.
#include "engine/eggs/EasterEggEffects.h"

#include "engine/eggs/EggMesh.h"
#include "platform/scene/DynamicLightShadowComponent.h"

#include <glm/gtc/constants.hpp>
#include <glm/gtx/quaternion.hpp>

#include <array>
#include <cmath>
#include <cstdint>

namespace gloam {

namespace {

std::shared_ptr<platform::ModelEntity> part(platform::MeshPtr mesh, const platform::Material& material,
                                            platform::Entity& parent)
{
    auto entity = platform::ModelEntity::make(std::move(mesh), {material});
    entity->components.set(platform::DynamicLightShadowComponent{false});
    parent.addChild(entity);
    return entity;
}

// The body's cross-sections along x: ellipses in the y-z plane.
struct Section {
    float x;
    float lower;
    float upper;
    float halfWidth;
};
constexpr std::array<Section, 7> bodySections{{{-0.86F, 0.13F, 0.21F, 0.22F},
                                               {-0.74F, 0.10F, 0.30F, 0.33F},
                                               {-0.42F, 0.09F, 0.33F, 0.35F},
                                               {-0.16F, 0.09F, 0.34F, 0.35F},
                                               {0.20F, 0.09F, 0.30F, 0.34F},
                                               {0.58F, 0.10F, 0.35F, 0.36F},
                                               {0.78F, 0.14F, 0.34F, 0.30F}}};
constexpr int sectionPoints = 12;

} // namespace

void EasterEggEffects::makeSpirra()
{
    const platform::Material paint = EggMesh::selfLit({0.57F, 0.015F, 0.028F}, 0.32F, 0.28F, 0.16F);
    const platform::Material trim = EggMesh::selfLit({0.012F, 0.018F, 0.025F}, 0.72F, 0.0F, 0.2F);
    const platform::Material silver = EggMesh::selfLit({0.35F, 0.4F, 0.46F}, 0.32F, 0.65F, 0.35F);
    const platform::Material glass = EggMesh::selfLit({0.075F, 0.2F, 0.27F}, 0.32F, 0.3F, 0.4F);
    const platform::Material headLamp = EggMesh::selfLit({0.7F, 0.87F, 1.0F}, 0.72F, 0.0F, 1.2F);
    const platform::Material tailLamp = EggMesh::selfLit({1.0F, 0.01F, 0.015F}, 0.72F, 0.0F, 1.6F);
    const platform::Material suit = EggMesh::selfLit({0.78F, 0.84F, 0.86F}, 0.72F, 0.0F, 0.16F);
    const platform::Material visor = EggMesh::selfLit({0.012F, 0.025F, 0.038F}, 0.32F, 0.65F, 0.25F);
    const platform::Material gold = EggMesh::selfLit({0.66F, 0.53F, 0.28F}, 0.72F, 0.0F, 0.8F);

    // The body: seven elliptic sections joined side by side, capped by fans.
    std::vector<glm::vec3> positions;
    positions.reserve(bodySections.size() * sectionPoints);
    for (const Section& section : bodySections) {
        const float middle = (section.lower + section.upper) * 0.5F;
        const float half = (section.upper - section.lower) * 0.5F;
        for (int k = 0; k < sectionPoints; ++k) {
            const float a = glm::two_pi<float>() * static_cast<float>(k) / sectionPoints;
            positions.emplace_back(section.x, middle + half * std::sin(a), section.halfWidth * std::cos(a));
        }
    }
    std::vector<std::uint32_t> indices;
    for (std::uint32_t i = 0; i + 1 < bodySections.size(); ++i) {
        for (std::uint32_t k = 1; k <= sectionPoints; ++k) {
            const std::uint32_t p = sectionPoints * i + (k - 1);
            const std::uint32_t q = sectionPoints * i + (k % sectionPoints);
            indices.insert(indices.end(), {p, p + sectionPoints, q, q, p + sectionPoints, q + sectionPoints});
        }
    }
    for (std::uint32_t m = 1; m <= 10; ++m) {
        indices.insert(indices.end(), {0, m, m + 1});
        indices.insert(indices.end(), {72, 73 + m, 72 + m});
    }
    EggMesh::model(EggMesh::mesh("Original red spirra", positions, indices), paint, {0.0F, 0.0F, 0.0F}, *spirra_);

    part(platform::MeshResource::generateBox({0.59F, 0.045F, 0.52F}, 0.08F), trim, *spirra_)
        ->setPosition({0.15F, 0.34F, 0.0F});
    part(platform::MeshResource::generateBox({1.22F, 0.035F, 0.61F}, 0.02F), trim, *spirra_)
        ->setPosition({0.0F, 0.11F, 0.0F});

    // Wheels: tyre, hub (turned like the tyre), then five spokes.
    const platform::MeshPtr tyreMesh = platform::MeshResource::generateCylinder(0.12F, 0.175F);
    const platform::MeshPtr hubMesh = platform::MeshResource::generateCylinder(0.125F, 0.105F);
    const platform::MeshPtr spokeMesh = platform::MeshResource::generateCylinder(1.0F, 0.011F);
    const glm::quat axle = glm::angleAxis(glm::half_pi<float>(), glm::vec3(1.0F, 0.0F, 0.0F));
    for (const float x : {-0.53F, 0.52F}) {
        for (const float z : {-0.34F, 0.34F}) {
            const glm::vec3 centre{x, 0.15F, z};
            auto tyre = part(tyreMesh, trim, *spirra_);
            tyre->setPosition(centre);
            tyre->setOrientation(axle);
            auto hub = part(hubMesh, silver, *spirra_);
            hub->setPosition(centre);
            hub->setOrientation(tyre->orientation());
            for (int k = 0; k < 5; ++k) {
                const float theta = glm::two_pi<float>() * static_cast<float>(k) / 5.0F;
                const glm::vec3 a{x, 0.15F, 1.19F * z};
                const glm::vec3 b{x + 0.09F * std::cos(theta), 0.15F + 0.09F * std::sin(theta), 1.19F * z};
                auto spoke = part(spokeMesh, silver, *spirra_);
                spoke->setPosition((a + b) * 0.5F);
                spoke->setScale({1.0F, 0.09F, 1.0F});
                spoke->setOrientation(glm::rotation(glm::vec3(0.0F, 1.0F, 0.0F), glm::normalize(b - a)));
            }
        }
    }

    auto windscreen = part(platform::MeshResource::generateBox({0.035F, 0.23F, 0.52F}, 0.012F), glass, *spirra_);
    windscreen->setPosition({-0.23F, 0.43F, 0.0F});
    windscreen->setOrientation(glm::quat(0.9872273F, 0.0F, 0.0F, 0.15931821F)); // 0.32 rad about +z

    const platform::MeshPtr tailMesh = platform::MeshResource::generateBox({0.025F, 0.045F, 0.11F}, 0.02F);
    for (const float z : {-0.22F, 0.22F}) {
        EggMesh::sphere({0.1F, 0.023F, 0.06F}, {-0.72F, 0.3F, z}, headLamp, *spirra_);
        part(tailMesh, tailLamp, *spirra_)->setPosition({0.785F, 0.29F, z});
    }

    // The rider; the right arm is raised on its own pivot at the shoulder.
    EggMesh::sphere({0.115F, 0.19F, 0.13F}, {0.14F, 0.48F, 0.1F}, suit, *spirra_);
    EggMesh::sphere({0.125F, 0.14F, 0.125F}, {0.1F, 0.72F, 0.1F}, suit, *spirra_);
    EggMesh::sphere({0.099F, 0.075F, 0.028F}, {0.075F, 0.74F, 0.218F}, visor, *spirra_);
    EggMesh::segment({0.02F, 0.52F, 0.11F}, {-0.13F, 0.45F, 0.1F}, 0.04F, suit, *spirra_);
    arm_->setPosition({0.23F, 0.57F, 0.17F});
    spirra_->addChild(arm_);
    EggMesh::segment({0.0F, 0.0F, 0.0F}, {0.1F, 0.12F, 0.03F}, 0.038F, suit, *arm_);
    EggMesh::segment({0.1F, 0.12F, 0.03F}, {0.09F, 0.25F, 0.04F}, 0.032F, suit, *arm_);
    EggMesh::sphere({0.042F, 0.054F, 0.028F}, {0.09F, 0.27F, 0.04F}, suit, *arm_);
    EggMesh::sphere({0.045F, 0.008F, 0.008F}, {0.06F, 0.78F, 0.242F}, gold, *spirra_);
}

} // namespace gloam
