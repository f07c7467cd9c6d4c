// The vehicle: loading a model, dressing it as a ghost under its cloth,
// its rear lights, its post-process, animation and hit collision, and
// swapping it for another without stale work ever landing.
#include "engine/scene/GhostView.h"

#include "engine/post/GhostBloom.h"
#include "platform/assets/AnimationPlaybackController.h"
#include "platform/assets/AnimationResource.h"
#include "platform/assets/ModelLoader.h"
#include "platform/async/CancellationError.h"
#include "platform/collision/CollisionComponent.h"
#include "platform/collision/ShapeResource.h"
#include "resources/ResourceFiles.h"
#include "resources/SceneLandmarks.h"

#include <cmath>
#include <cstdio>

namespace gloam {

namespace {

bool contains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

platform::PhysicallyBasedMaterial clothMaterial()
{
    platform::PhysicallyBasedMaterial cloth;
    cloth.name = "GhostCloth";
    cloth.baseColor.tint = platform::rgb(0.78F, 0.82F, 0.85F);
    cloth.roughness = 0.5F;
    cloth.specular = 0.4F;
    cloth.metallic = 0.0F;
    cloth.faceCulling = platform::FaceCulling::none;
    return cloth;
}

std::shared_ptr<platform::PointLight> rearLight(float z)
{
    auto light = platform::PointLight::make("RearLight");
    light->light().color = platform::rgb(1.0F, 0.008F, 0.003F);
    light->light().intensity = 18.0F;
    light->light().attenuationRadius = 0.58F;
    light->setPosition({landmarks::rearLightX, landmarks::rearLightY, z});
    return light;
}

} // namespace

async::Task<void> GhostView::replaceVehicle(Vehicle requested)
{
    vehicleGeneration_ += 1;
    const int generation = vehicleGeneration_;
    auto staleTest = [this, generation]() -> async::Task<void> {
        co_await async::checkCancellation();
        if (stopped_ || vehicleGeneration_ != generation) {
            throw async::CancellationError();
        }
    };

    platform::EntityPtr loaded = co_await platform::ModelLoader::load(resources_ / std::string(asset(requested)));
    co_await staleTest();
    applyFabric(*loaded, requested);

    auto rear = platform::Entity::make("RearParts");
    if (requested == Vehicle::corsel) {
        platform::EntityPtr lights =
            co_await platform::ModelLoader::load(resources_ / std::string(resources::rearLightsModel));
        co_await staleTest();
        configureRearLights(*lights);
        rear->addChild(lights);
        rear->addChild(rearLight(-landmarks::rearLightSpread));
        rear->addChild(rearLight(landmarks::rearLightSpread));
    }

    const GhostBloom::Pipelines pipelines = GhostBloom::prepare(requested, resources_);
    co_await staleTest();

    // The swap: no suspension from here on.
    for (auto& task : vehicleCollisionTasks_) {
        task.cancel();
    }
    vehicleCollisionTasks_.clear();
    if (playback_) {
        playback_->stop();
    }
    if (model_) {
        model_->removeFromParent();
    }
    rearAssembly_->removeAllChildren();
    const std::vector<platform::EntityPtr> parts = rear->children();
    for (const auto& part : parts) {
        rearAssembly_->addChild(part);
    }
    if (rearAssembly_->parent() == nullptr) {
        anchor_->addChild(rearAssembly_);
    }
    vehicle_ = requested;
    chargerMisses_ = 0; // the new vehicle leaves other places free
    model_ = loaded;
    anchor_->addChild(model_);
    bloom_->select(pipelines);
    if (contactShadow_) {
        if (auto* shadowModel = contactShadow_->components.get<platform::ModelComponent>()) {
            const glm::vec2 footprint = shadowSize(requested);
            shadowModel->mesh = platform::MeshResource::generatePlane(footprint.x, footprint.y, 0.0F);
        }
    }

    playback_.reset();
    if (!model_->availableAnimations().empty()) {
        const platform::AnimationPtr clip = model_->availableAnimations().front();
        playback_ = model_->playAnimation(clip->repeat(), 0.0, paused_);
        if (isReady_ && clip->duration() > 0.0) {
            playback_->setTime(std::fmod(ambientTime_, clip->duration()));
        }
    }
    if (interactive_) {
        addVehicleCollision(model_, generation);
    }
    updateCamera();
    applyAtmosphere(0.0);
    log("VEHICLE selected=" + std::string(rawValue(requested)) +
            " rearChildren=" + std::to_string(rearAssembly_->children().size()),
        false);
}

async::Task<void> GhostView::changeVehicle(Vehicle requested)
{
    if (!isReady_ || stopped_) {
        throw async::CancellationError();
    }
    sound_->cancelEffects();
    co_await replaceVehicle(requested);
}

void GhostView::applyFabric(platform::Entity& entity, Vehicle requested)
{
    platform::ModelComponent* model = entity.components.get<platform::ModelComponent>();
    if (model != nullptr && !contains(entity.name(), "Eye")) {
        platform::PhysicallyBasedMaterial cloth = clothMaterial();
        std::vector<platform::Material> dressed;
        dressed.reserve(model->materials.size());
        for (const platform::Material& material : model->materials) {
            const platform::PhysicallyBasedMaterial* pbr = platform::asPhysicallyBased(material);
            if (pbr == nullptr) {
                dressed.push_back(material);
            } else if (!pbr->baseColor.texture) {
                cloth.normal = pbr->normal;
                log(std::string("E4 cloth normal texture=") + (pbr->normal ? "true" : "false"), false);
                dressed.emplace_back(cloth);
            } else {
                platform::PhysicallyBasedMaterial lit = *pbr;
                lit.emissiveColor.texture = pbr->baseColor.texture;
                lit.emissiveIntensity = requested == Vehicle::corsel ? 8.0F : 0.7F;
                if (requested != Vehicle::corsel) {
                    lit.faceCulling = platform::FaceCulling::none;
                    if (contains(entity.name(), "Rear")) {
                        lit.emissiveColor = {glm::vec3(1.0F), pbr->baseColor.texture};
                        lit.emissiveIntensity = contains(entity.name(), "Corner") ? 4.2F : 3.0F;
                    }
                }
                lit.specular = 0.0F;
                dressed.emplace_back(std::move(lit));
            }
        }
        model->materials = std::move(dressed);
    }
    for (const auto& child : entity.children()) {
        applyFabric(*child, requested);
    }
}

void GhostView::configureRearLights(platform::Entity& entity)
{
    if (platform::ModelComponent* model = entity.components.get<platform::ModelComponent>()) {
        const float intensity = contains(entity.name(), "AmberCore")  ? 7.0F
                                : contains(entity.name(), "RedGuide") ? 5.0F
                                                                      : 0.025F;
        for (platform::Material& material : model->materials) {
            if (platform::PhysicallyBasedMaterial* pbr = platform::asPhysicallyBased(material)) {
                pbr->faceCulling = platform::FaceCulling::none;
                pbr->emissiveIntensity = intensity;
            }
        }
        entity.components.set(platform::DynamicLightShadowComponent{false});
    }
    for (const auto& child : entity.children()) {
        configureRearLights(*child);
    }
}

void GhostView::addVehicleCollision(const platform::EntityPtr& entity, int generation)
{
    if (const platform::ModelComponent* model = entity->components.get<platform::ModelComponent>()) {
        struct Job {
            static async::Task<void> run(std::weak_ptr<GhostView> owner, std::weak_ptr<platform::Entity> target,
                                         platform::MeshPtr mesh, int generation)
            {
                std::optional<platform::ShapeResource> shape;
                try {
                    shape = co_await platform::ShapeResource::generateStaticMesh(mesh);
                } catch (const async::CancellationError&) {
                    co_return;
                } catch (const std::exception& error) {
                    if (auto view = owner.lock()) {
                        view->log(std::string("E4 CAR COLLISION FAILED ") + error.what(), false);
                    }
                    co_return;
                }
                auto view = owner.lock();
                if (!view || view->stopped_ || view->vehicleGeneration_ != generation ||
                    (co_await async::isCancelled())) {
                    co_return;
                }
                if (auto entity = target.lock()) {
                    entity->components.set(platform::CollisionComponent({*shape}));
                }
            }
        };
        vehicleCollisionTasks_.push_back(async::spawn(Job::run(weak_from_this(), entity, model->mesh, generation)));
    }
    for (const auto& child : entity->children()) {
        addVehicleCollision(child, generation);
    }
}

} // namespace gloam
