#include "engine/effects/PersistentEffects.h"

#include "platform/material/Material.h"
#include "platform/mesh/MeshResource.h"
#include "platform/scene/DynamicLightShadowComponent.h"
#include "platform/scene/ModelComponent.h"

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

namespace gloam {

namespace {

constexpr float hoverPeriod = 5.6F;
constexpr float hoverHalfRange = 0.045F;
constexpr float goldenAngle = 2.3999631F;
constexpr float goldenRatioFraction = 0.618034F;
constexpr float fireflyGlow = 5.0F;
constexpr float glowStart = 0.13F;
constexpr float glowEnd = 0.84F;

float normalisedHover(float time)
{
    return (1.0F - std::cos(2.0F * std::numbers::pi_v<float> * time / hoverPeriod)) * hoverHalfRange / 0.09F;
}

platform::PhysicallyBasedMaterial fireflyMaterial()
{
    platform::PhysicallyBasedMaterial material;
    material.baseColor.tint = platform::rgb(0.0F, 0.0F, 0.0F);
    material.emissiveColor.color = glm::vec3(1.0F, 0.65F, 0.005F);
    material.emissiveIntensity = fireflyGlow;
    material.specular = 0.0F;
    material.roughness = 1.0F;
    return material;
}

} // namespace

float PersistentEffects::hover(double time)
{
    const auto t = static_cast<float>(time);
    return (1.0F - std::cos(2.0F * std::numbers::pi_v<float> * t / hoverPeriod)) * hoverHalfRange;
}

float PersistentEffects::glow(int index, float time)
{
    float p = static_cast<float>(index) * goldenRatioFraction + time / (static_cast<float>(index % 7) * 0.7F + 5.8F);
    p -= std::trunc(p);
    if (!(p > glowStart && p < glowEnd)) {
        return 0.0F;
    }
    const float wave = std::sin((p - glowStart) / (glowEnd - glowStart) * std::numbers::pi_v<float>);
    return std::pow(std::max(wave, 0.0F), 1.7F);
}

glm::vec3 PersistentEffects::drift(glm::vec3 base, float phase, float time)
{
    return base + glm::vec3(0.16F * std::sin(0.27F * time + phase), 0.1F * std::sin(0.39F * time + 0.7F * phase),
                            0.12F * std::cos(0.23F * time + phase));
}

PersistentEffects::PersistentEffects(std::shared_ptr<platform::ModelEntity> shadow)
    : root_(platform::Entity::make())
    , shadow_(std::move(shadow))
{
    const platform::ModelComponent* model = shadow_ ? shadow_->components.get<platform::ModelComponent>() : nullptr;
    const platform::UnlitMaterial* unlit =
        model != nullptr && !model->materials.empty() ? platform::asUnlit(model->materials.front()) : nullptr;
    if (unlit == nullptr) {
        throw std::invalid_argument("the contact shadow has no model with an unlit first material");
    }
    shadowMaterial_ = *unlit;
    root_->setName("Continuous ambience");

    const platform::Material material = fireflyMaterial();
    motes_.reserve(fireflyCount);
    for (int i = 0; i < fireflyCount; ++i) {
        const float a = static_cast<float>(i) * goldenAngle;
        const float radius = static_cast<float>((17 * i) % 43) / 43.0F * 5.2F + 3.4F;
        const float height = static_cast<float>((13 * i) % 41) / 41.0F * 2.7F + 0.18F;
        const glm::vec3 base(std::cos(a) * radius, height, std::sin(a) * radius);

        auto holder = platform::Entity::make("Firefly_" + std::to_string(i));
        auto body = platform::ModelEntity::make(
            platform::MeshResource::generateSphere(0.0032F + 0.0006F * static_cast<float>(i % 3)), {material});
        body->components.set(platform::DynamicLightShadowComponent{false});
        holder->addChild(body);
        root_->addChild(holder);
        motes_.push_back({holder, base, a});
    }
}

void PersistentEffects::update(double time, glm::vec3 /*camera*/)
{
    const auto tau = static_cast<float>(time);

    const float k = normalisedHover(tau);
    shadow_->setScale({1.0F + 0.045F * k, 1.0F, 1.0F + 0.075F * k});
    shadowMaterial_.blending = platform::Blending::transparent(0.98F - 0.13F * k);
    if (auto* model = shadow_->components.get<platform::ModelComponent>()) {
        model->materials = {shadowMaterial_};
    }

    for (std::size_t i = 0; i < motes_.size(); ++i) {
        const Mote& mote = motes_[i];
        const float g = glow(static_cast<int>(i), tau);
        mote.entity->setEnabled(g > 0.005F);
        mote.entity->setScale(glm::vec3(std::pow(g, 0.22F)));
        if (!mote.entity->children().empty()) {
            auto* model = mote.entity->children().front()->components.get<platform::ModelComponent>();
            if (model != nullptr && !model->materials.empty()) {
                if (const auto* pbr = platform::asPhysicallyBased(model->materials.front())) {
                    platform::PhysicallyBasedMaterial lit = *pbr;
                    lit.emissiveIntensity = g * fireflyGlow;
                    model->materials = {lit};
                }
            }
        }
        mote.entity->setPosition(drift(mote.base, mote.phase, tau));
    }
}

} // namespace gloam
