// The surprises' entity tree, their animation from the surprise's age, and
// the fade materials of the charging scene.
#include "engine/eggs/EasterEggEffects.h"

#include "engine/eggs/EggMesh.h"
#include "platform/assets/ModelLoader.h"
#include "platform/scene/DynamicLightShadowComponent.h"
#include "platform/scene/ModelComponent.h"
#include "platform/scene/OpacityComponent.h"
#include "resources/ResourceFiles.h"
#include "resources/SceneLandmarks.h"

#include <glm/geometric.hpp>
#include <glm/gtc/constants.hpp>
#include <glm/gtx/quaternion.hpp>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <string>

namespace gloam {

namespace {

// Fade materials made so far in this process, by their place in the walk of
// the charging tree; a later scene reuses them instead of building new ones.
std::vector<platform::CustomMaterial>& chargingMaterialTemplates()
{
    static std::vector<platform::CustomMaterial> templates;
    return templates;
}

// Smoothstep from `start` over `length` seconds.
float ramp(float t, float start, float length)
{
    const float h = std::clamp((t - start) / length, 0.0F, 1.0F);
    return h * h * (3.0F - 2.0F * h);
}

glm::quat about(glm::vec3 axis, float angle)
{
    return glm::angleAxis(angle, axis);
}

const glm::vec3 upAxis{0.0F, 1.0F, 0.0F};
const glm::vec3 zAxis{0.0F, 0.0F, 1.0F};

glm::vec3 landmark(landmarks::Point3 p)
{
    return {p.x, p.y, p.z};
}

const glm::vec3 cableColor{0.018F, 0.022F, 0.024F};
const glm::vec3 silhouetteColor{0.014F, 0.022F, 0.03F};
constexpr float changeThreshold = 0.001F;

void setOpacity(platform::Entity& entity, float opacity)
{
    entity.components.set(platform::OpacityComponent{opacity});
}

// The shortest rotation taking +y onto `direction` (a unit vector).
glm::quat fromUp(glm::vec3 direction)
{
    return glm::rotation(upAxis, direction);
}

} // namespace

const glm::vec3 EasterEggEffects::stageMin{-0.84F, 0.0F, -0.4F};
const glm::vec3 EasterEggEffects::stageMax{0.99F, 1.98F, 0.78F};

std::size_t EasterEggEffects::chargingTemplateCount()
{
    return chargingMaterialTemplates().size();
}

EasterEggEffects::EasterEggEffects(const std::filesystem::path& resources, const Log& log)
    : root_(platform::Entity::make("ExperimentalEasterEggs"))
    , skyrell_(platform::Entity::make("SkyrellEgg"))
    , spirra_(platform::Entity::make("SkyrellCar"))
    , arm_(platform::Entity::make("SkyrellWavingArm"))
    , charging_(platform::Entity::make("AmperleEgg"))
    , station_(platform::Entity::make("AmperleStation"))
    , ghost_(platform::Entity::make("AmperleGhost"))
    , face_(platform::Entity::make("AmperleGhostFace"))
    , pumpkin_(platform::Entity::make("AmperlePumpkin"))
    , plug_(platform::Entity::make("AmperlePlug"))
    , warm_(platform::PointLight::make("AmperlePumpkinGlow"))
    , chargingShader_(platform::SurfaceShader::load(resources / std::string(resources::cameoFadeLibrary), "cameoFade"))
{
    root_->addChild(skyrell_);
    root_->addChild(charging_);
    skyrell_->addChild(spirra_);
    charging_->addChild(station_);
    charging_->addChild(ghost_);
    charging_->addChild(pumpkin_);
    charging_->addChild(plug_);
    ghost_->addChild(face_);

    makeSpirra();
    makeStation();
    makeGhost();
    makePumpkin();

    // The witch comes to meet the car as a flat dark silhouette. She is the
    // one optional guest: without a readable witch model the car crosses
    // alone, as the in-scene witch and the opening also go on without her,
    // rather than the whole scene failing to load.
    try {
        platform::EntityPtr witch = platform::ModelLoader::loadNow(resources / std::string(resources::witchModel));
        darken(*witch);
        guestWitch_ = platform::Entity::make("SkyrellWitch");
        guestWitch_->addChild(witch);
        skyrell_->addChild(guestWitch_);
    } catch (const std::exception& error) {
        guestWitch_.reset();
        const std::string line = std::string("E4 EASTER EGG WITCH FAILED ") + error.what();
        if (log) {
            log(line);
        } else {
            std::cout << line << std::endl;
        }
    }

    platform::PhysicallyBasedMaterial cableMaterial;
    cableMaterial.baseColor.tint = platform::rgb(cableColor.r, cableColor.g, cableColor.b);
    cableMaterial.roughness = 0.72F;
    cableMaterial.metallic = 0.0F;
    cableMaterial.emissiveColor.color = cableColor;
    cableMaterial.emissiveIntensity = 0.2F;

    const platform::MeshPtr cableMesh = platform::MeshResource::generateCylinder(1.0F, 0.012F);
    cable_.reserve(cableSegments);
    for (int i = 0; i < cableSegments; ++i) {
        auto segment = platform::ModelEntity::make(cableMesh, {cableMaterial}, "AmperleCable");
        segment->setPosition({0.0F, 0.5F, 0.0F});
        segment->components.set(platform::DynamicLightShadowComponent{false});
        charging_->addChild(segment);
        cable_.push_back(segment);
    }

    auto plugBox = platform::ModelEntity::make(platform::MeshResource::generateBox({0.045F, 0.075F, 0.04F}, 0.012F),
                                               {cableMaterial}, "AmperlePlugBox");
    plugBox->components.set(platform::DynamicLightShadowComponent{false});
    plug_->addChild(plugBox);

    warm_->light().color = platform::rgb(1.0F, 0.32F, 0.035F);
    warm_->light().attenuationRadius = 0.55F;
    warm_->light().intensity = 0.0F;
    warm_->setPosition({0.0F, 0.0F, 0.08F});
    pumpkin_->addChild(warm_);

    configureChargingFade(*charging_, 0.0F);
    // What casts a shadow casts it only while its surface is whole: the
    // shadow pass draws the full shape and knows nothing of the dissolve.
    charging_->visit([this](platform::Entity& entity) {
        const auto* shadow = entity.components.get<platform::DynamicLightShadowComponent>();
        if (entity.components.get<platform::ModelComponent>() != nullptr &&
            (shadow == nullptr || shadow->castsShadow)) {
            entity.components.set(platform::DynamicLightShadowComponent{false});
            shadowCasters_.push_back(&entity);
        }
    });

    skyrell_->setEnabled(false);
    charging_->setEnabled(false);
}

void EasterEggEffects::darken(platform::Entity& entity)
{
    if (auto* model = entity.components.get<platform::ModelComponent>()) {
        platform::UnlitMaterial silhouette(platform::rgb(silhouetteColor.r, silhouetteColor.g, silhouetteColor.b));
        for (platform::Material& material : model->materials) {
            material = silhouette;
        }
        entity.components.set(platform::DynamicLightShadowComponent{false});
    }
    for (const platform::EntityPtr& child : entity.children()) {
        darken(*child);
    }
}

void EasterEggEffects::update(std::optional<EasterEgg> kind, std::optional<double> age)
{
    if (!kind || !age) {
        skyrell_->setEnabled(false);
        charging_->setEnabled(false);
        lastKind_.reset();
        lastAge_ = -1.0;
        return;
    }
    if (!lastKind_ || *lastKind_ != *kind || *age < lastAge_) {
        lastGlow_ = -1.0F; // a new run: refresh every material once
    }
    lastKind_ = kind;
    lastAge_ = *age;

    skyrell_->setEnabled(*kind == EasterEgg::skyrell);
    charging_->setEnabled(*kind == EasterEgg::amperle && stagePrepared_);
    if (*kind == EasterEgg::skyrell) {
        updateSkyrell(static_cast<float>(*age));
    } else {
        updateCharging(static_cast<float>(*age));
    }
}

void EasterEggEffects::updateSkyrell(float t)
{
    const glm::vec3 moon = landmark(landmarks::moonPosition);
    const glm::vec3 right = glm::normalize(landmark(landmarks::viewRight));
    const glm::vec3 depth = glm::normalize(landmark(landmarks::houseDirection));
    const glm::vec3 base = moon - 1.5F * depth + glm::vec3(0.0F, -0.12F, 0.0F);
    const glm::quat facing = about(upAxis, landmarks::cameraYaw); // turned to the default camera

    // The car drifts in from the right of the moon, stops near it at about
    // 4.1 s, waits, then from 8.2 s speeds away to the left while climbing.
    const float leave = ramp(t, 8.2F, 4.7F);
    const float along = 2.8F - 2.34F * ramp(t, 0.4F, 3.7F) - 4.0F * leave;
    const float lift = 0.02F + 0.015F * std::sin(1.3F * t) + 1.45F * leave;
    spirra_->setPosition(base + along * right + glm::vec3(0.0F, lift, 0.0F));
    spirra_->setScale(glm::vec3(0.52F));
    spirra_->setOrientation(facing * about(upAxis, -0.1F) *
                            about(zAxis, 0.012F * std::sin(0.9F * t) - 0.025F - 0.14F * leave));
    setOpacity(*spirra_, ramp(t, 0.0F, 0.8F) * (1.0F - ramp(t, 12.1F, 0.9F)));

    arm_->setOrientation(
        about(zAxis, (0.18F + 0.18F * std::sin(5.0F * t)) * ramp(t, 4.8F, 0.5F) * (1.0F - ramp(t, 7.0F, 0.6F))));

    // The witch comes in from the left, meets the car, turns towards it
    // while the rider waves, then flies off to the right and upwards.
    if (guestWitch_) {
        const float away = ramp(t, 8.0F, 4.6F);
        const float witchAlong = -2.5F + 2.1F * ramp(t, 0.9F, 3.3F) + 3.8F * away;
        const float witchLift = 0.12F + 0.025F * std::sin(2.0F * t) + away;
        guestWitch_->setPosition(base + witchAlong * right + glm::vec3(0.0F, witchLift, 0.0F));
        guestWitch_->setScale(glm::vec3(0.76F));
        const float turn = glm::pi<float>() - 0.18F * ramp(t, 5.1F, 0.6F) * (1.0F - ramp(t, 7.0F, 0.7F));
        const float bank = 0.06F * away - 0.15F * ramp(t, 3.1F, 0.7F) * (1.0F - ramp(t, 4.2F, 0.7F));
        guestWitch_->setOrientation(facing * about(upAxis, turn) * about(zAxis, bank));
        setOpacity(*guestWitch_, ramp(t, 0.5F, 0.8F) * (1.0F - ramp(t, 12.0F, 1.0F)));
    }
}

void EasterEggEffects::updateCharging(float t)
{
    const float side = stageSide_;
    const float presence = ramp(t, 0.0F, 1.4F) * (1.0F - ramp(t, 16.5F, 2.5F));

    station_->setPosition({side * -0.24F, 0.15F, 0.0F});

    const float peek = ramp(t, 2.0F, 2.0F) * (1.0F - ramp(t, 8.3F, 0.7F));
    const float approach = ramp(t, 9.1F, 0.5F) * (1.0F - ramp(t, 11.0F, 1.6F));
    ghost_->setPosition(
        {side * (0.36F + 0.045F * approach), 0.24F + 0.025F * std::sin(1.8F * t) + 0.12F * approach, 0.02F});
    ghost_->setOrientation(about(zAxis, side * (0.1F * approach - 0.1F * peek)) * about(upAxis, side * -0.22F * peek));

    pumpkin_->setPosition({side * 0.34F, 0.155F, 0.34F});

    const float charge = ramp(t, 3.8F, 5.6F);
    if (std::abs(charge - lastGlow_) > changeThreshold || std::abs(presence - lastReveal_) > changeThreshold) {
        lastGlow_ = charge;
        lastReveal_ = presence;
        const glm::vec3 shell{0.37F + 0.2F * charge, 0.075F + 0.12F * charge, 0.009F + 0.015F * charge};
        for (const auto& part : pumpkinShell_) {
            updateChargingLight(*part, shell, presence * (0.08F + 0.85F * charge));
        }
        const glm::vec3 carving{1.0F, 0.4F + 0.28F * charge, 0.04F + 0.15F * charge};
        for (const auto& part : pumpkinFace_) {
            updateChargingLight(*part, carving, presence * (0.25F + 5.0F * charge));
        }
        for (std::size_t i = 0; i < chargeBars_.size(); ++i) {
            const bool lit = charge > 0.21F * static_cast<float>(i + 1);
            updateChargingLight(*chargeBars_[i], lit ? glm::vec3(0.12F, 0.85F, 0.42F) : glm::vec3(0.025F, 0.1F, 0.06F),
                                lit ? 1.8F * presence : 0.15F * presence);
        }
        // Every material is a fade material by now, so nothing new is built.
        configureChargingFade(*charging_, presence);
    }

    warm_->light().intensity = presence * charge * 18.0F;

    const bool whole = presence >= 1.0F;
    if (whole != castingShadows_) {
        castingShadows_ = whole;
        for (platform::Entity* caster : shadowCasters_) {
            caster->components.set(platform::DynamicLightShadowComponent{whole});
        }
    }

    // The cable sags from the station's socket and reaches the pumpkin from
    // the side that faces the station.
    const glm::vec3 socket{side * 0.045F, 0.8F, 0.13F};
    const glm::vec3 end =
        glm::vec3(pumpkin_->transformMatrix(charging_.get()) * glm::vec4(side * -0.18F, 0.01F, 0.0F, 1.0F));
    plug_->setPosition(end);
    plug_->setOrientation(about(zAxis, glm::half_pi<float>()));

    const glm::vec3 p1{socket.x, socket.y - 0.55F, socket.z + 0.12F};
    const glm::vec3 p2{end.x - 0.12F * side, end.y - 0.1F, end.z};
    auto point = [&](float u) {
        const float v = 1.0F - u;
        return v * v * v * socket + 3.0F * v * v * u * p1 + 3.0F * v * u * u * p2 + u * u * u * end;
    };
    const auto n = static_cast<float>(cable_.size());
    glm::vec3 a = point(0.0F);
    for (std::size_t i = 0; i < cable_.size(); ++i) {
        const glm::vec3 b = point(static_cast<float>(i + 1) / n);
        const glm::vec3 d = b - a;
        const float length = glm::length(d);
        platform::ModelEntity& segment = *cable_[i];
        segment.setPosition((a + b) * 0.5F);
        segment.setScale({1.0F, length, 1.0F});
        segment.setOrientation(length > 0.0F ? fromUp(d / length) : glm::quat(1.0F, 0.0F, 0.0F, 0.0F));
        a = b;
    }
}

void EasterEggEffects::updateChargingLight(platform::ModelEntity& entity, glm::vec3 color, float glow)
{
    auto* model = entity.components.get<platform::ModelComponent>();
    if (model == nullptr || model->materials.empty()) {
        return;
    }
    platform::CustomMaterial* fade = platform::asCustom(model->materials.front());
    if (fade == nullptr) {
        return;
    }
    fade->baseColor.tint = platform::rgb(color.r, color.g, color.b);
    fade->baseColor.texture.reset();
    fade->emissiveColor.color = color;
    fade->emissiveColor.texture.reset();
    fade->custom.value.y = glow;
    // Changed in place, and the list only ever shrinks here: a frame of the
    // charging surprise allocates nothing.
    model->materials.resize(1, model->materials.front());
}

void EasterEggEffects::configureChargingFade(platform::Entity& entity, float reveal)
{
    if (auto* model = entity.components.get<platform::ModelComponent>()) {
        auto& templates = chargingMaterialTemplates();
        for (platform::Material& material : model->materials) {
            if (platform::CustomMaterial* fade = platform::asCustom(material)) {
                fade->custom.value.x = reveal;
                continue;
            }
            const std::size_t i = nextChargingTemplate_++;
            if (i < templates.size()) {
                platform::CustomMaterial reused = templates[i];
                reused.custom.value.x = reveal;
                material = std::move(reused);
                continue;
            }
            float emissive = 0.0F;
            float opacity = 1.0F;
            std::optional<platform::CustomMaterial> made;
            if (const auto* pbr = platform::asPhysicallyBased(material)) {
                emissive = pbr->emissiveIntensity;
                opacity = pbr->blending.isTransparent() ? pbr->blending.opacity : 1.0F;
                made.emplace(*pbr, chargingShader_);
            } else if (const auto* unlit = platform::asUnlit(material)) {
                opacity = unlit->blending.isTransparent() ? unlit->blending.opacity : 1.0F;
                made.emplace(*unlit, chargingShader_);
            }
            // The surface function scales the emissive colour by the glow it
            // is given, which starts as the source's emissive intensity.
            made->emissiveIntensity = 1.0F;
            made->blending = opacity < 1.0F ? platform::Blending::transparent(1.0F) : platform::Blending::opaque();
            made->custom.value = {reveal, emissive, opacity, 0.0F};
            templates.push_back(*made);
            material = std::move(*made);
        }
    }
    for (const platform::EntityPtr& child : entity.children()) {
        configureChargingFade(*child, reveal);
    }
}

} // namespace gloam
