// The building half of the scene view: loading the scene in its fixed
// order, the prop targets, and the failure that ends a load.
#include "engine/scene/GhostView.h"

#include "engine/effects/ContactShadow.h"
#include "engine/effects/GraveGhostEffect.h"
#include "engine/effects/HandEffect.h"
#include "engine/effects/LightningEffect.h"
#include "engine/effects/PersistentEffects.h"
#include "engine/effects/WitchEffect.h"
#include "engine/eggs/EasterEggEffects.h"
#include "engine/post/GhostBloom.h"
#include "engine/common/DoubleText.h"
#include "platform/assets/ModelLoader.h"
#include "platform/async/CancellationError.h"
#include "platform/collision/CollisionComponent.h"
#include "platform/collision/ShapeResource.h"
#include "platform/scene/DirectionalLight.h"
#include "resources/ResourceFiles.h"

#include <chrono>
#include <exception>

namespace gloam {

namespace {

double wallClock()
{
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(sinceEpoch).count();
}

std::shared_ptr<platform::PointLight> makePointLight(glm::vec3 position, platform::Color color, float intensity,
                                                     float radius)
{
    auto light = platform::PointLight::make();
    light->light().color = color;
    light->light().intensity = intensity;
    light->light().attenuationRadius = radius;
    light->setPosition(position);
    return light;
}

} // namespace

async::Task<void> GhostView::loadScene(platform::EntityPtr anchor)
{
    // The load holds its view weakly: after every suspension it goes on
    // only through `checkpoint`, which ends the load (silently) when the
    // view is gone or stopped. Between two suspensions `this` stays valid,
    // since the view lives and dies on the main thread. Every loading step
    // added here follows the same rule.
    const std::weak_ptr<GhostView> owner = weak_from_this();
    auto checkpoint = [owner] {
        const auto view = owner.lock();
        if (!view || view->stopped_) {
            throw async::CancellationError();
        }
    };

    render_->environment().lighting.intensityExponent = -1.8F;
    auto studyLight = co_await makeStudyLight();
    co_await async::checkCancellation();
    if (!owner.lock() || stopped_) {
        co_return;
    }
    if (studyLight) {
        render_->environment().lighting.resource = std::move(studyLight);
    }
    const double started = wallClock();

    try {
        co_await replaceVehicle(vehicle_);
        checkpoint();
    } catch (const async::CancellationError&) {
        co_return;
    } catch (const std::exception& error) {
        log(std::string("E4 LOAD FAILED ") + error.what(), false);
        showLoadFailure(error.what());
        co_return;
    }

    try {
        platform::EntityPtr graveyard =
            co_await platform::ModelLoader::load(resources_ / std::string(resources::graveyardModel));
        checkpoint();
        co_await prepareEnvironmentTextures();
        checkpoint();
        configureEnvironment(graveyard, {}, false);
        anchor->addChild(graveyard);

        platform::EntityPtr hand = co_await platform::ModelLoader::load(resources_ / std::string(resources::handModel));
        checkpoint();
        configureEnvironment(hand, {}, true);
        anchor->addChild(hand);
        handAsset_ = hand;

        log("E4 environment loaded seconds=" + describeDouble(wallClock() - started), false);

        // The contact shadow under the vehicle, and the fireflies with the
        // shadow's breathing; the scene does without them if they fail.
        contactShadow_ = ContactShadow::make(shadowSize(vehicle_));
        if (contactShadow_) {
            anchor->addChild(contactShadow_);
            try {
                persistent_ = std::make_unique<PersistentEffects>(contactShadow_);
                anchor->addChild(persistent_->root());
            } catch (const std::exception& error) {
                log(std::string("E4 PERSISTENT FAILED ") + error.what(), false);
            }
        }

        // Key light: the cold moonlight with its shadow.
        auto key = platform::DirectionalLight::make("KeyLight");
        key->light().color = platform::rgb(0.94F, 0.97F, 1.0F);
        key->light().intensity = 3000.0F;
        key->setShadow(platform::DirectionalLightShadowComponent::automatic(30.0F));
        key->look({0.0F, 0.6F, 0.0F}, {-4.0F, 3.5F, 4.0F}, {0.0F, 1.0F, 0.0F}, nullptr);
        anchor->addChild(key);
        anchor->addChild(makePointLight({1.0F, 2.0F, -3.0F}, platform::rgb(0.0F, 0.7F, 1.0F), 6000.0F, 10.0F));
        anchor->addChild(makePointLight({-2.0F, 0.25F, 2.0F}, platform::rgb(0.0F, 0.7F, 1.0F), 1300.0F, 4.0F));

        try {
            lightning_ = std::make_unique<LightningEffect>();
            anchor->addChild(lightning_->root());
        } catch (const std::exception& error) {
            log(std::string("E4 LIGHTNING FAILED ") + error.what(), false);
        }

        try {
            targets_ = PropTarget::loadList(resources_ / std::string(resources::propTargets));
            loadPropTargets(anchor);
            graveGhost_ = std::make_unique<GraveGhostEffect>([this](const std::string& line) { log(line, false); });
            anchor->addChild(graveGhost_->root());
            log("E4 reaction targets=" + std::to_string(targets_.size()), false);
        } catch (const async::CancellationError&) {
            throw;
        } catch (const std::exception& error) {
            log(std::string("E4 REACTIONS FAILED ") + error.what(), false);
        }

        try {
            platform::EntityPtr witchModel =
                co_await platform::ModelLoader::load(resources_ / std::string(resources::witchModel));
            checkpoint();
            witch_ = std::make_unique<WitchEffect>(std::move(witchModel));
            anchor->addChild(witch_->root());
            anchor->addChild(witch_->moonHit());
        } catch (const async::CancellationError&) {
            throw;
        } catch (const std::exception& error) {
            log(std::string("E4 WITCH FAILED ") + error.what(), false);
        }

        if (handAsset_) {
            hand_ = std::make_unique<HandEffect>(handAsset_, *anchor, materialTextures_,
                                                 [this](const std::string& line) { log(line, false); });
        }

        // Without the surprises the scene does not start at all.
        try {
            eggEffects_ =
                std::make_unique<EasterEggEffects>(resources_, [this](const std::string& line) { log(line, false); });
        } catch (const std::exception& error) {
            log(std::string("EASTER EGG LOAD FAILED ") + error.what(), false);
            showLoadFailure(error.what());
            co_return;
        }
        anchor->addChild(eggEffects_->root());

        finishLoading();
    } catch (const async::CancellationError&) {
        // Stopped or cancelled during the load: silent by design.
    } catch (const std::exception& error) {
        log(std::string("E4 ENVIRONMENT FAILED ") + error.what(), false);
        showLoadFailure(error.what());
    }
}

void GhostView::loadPropTargets(const platform::EntityPtr& anchor)
{
    const platform::Color pumpkinGlow = platform::rgb(1.0F, 0.16F, 0.006F);
    const platform::Color stoneGlow = platform::rgb(1.0F, 0.73F, 0.48F);
    const glm::vec3 stoneLightOffset{-0.66114497F, 0.85F, -0.32843494F};
    for (const PropTarget& target : targets_) {
        auto hit = platform::Entity::make(target.hitName());
        hit->setPosition(target.position());
        hit->components.set(platform::CollisionComponent({platform::ShapeResource::generateBox(target.dimensions())}));
        anchor->addChild(hit);
        targetEntities_[target.id] = hit;

        if (target.kind == "pumpkin" && target.id != "RightBroken") {
            auto light = makePointLight(target.position() + glm::vec3(0.0F, -0.06F, 0.0F), pumpkinGlow, 300.0F, 0.55F);
            anchor->addChild(light);
            pumpkinLights_.push_back(light);
        }
        if (target.id == "MatchedLeftStone") {
            anchor->addChild(makePointLight(target.position() + stoneLightOffset, stoneGlow, 60000.0F, 1.8F));
        } else if (target.id == "MatchedLeaningStone") {
            anchor->addChild(makePointLight(target.position() + stoneLightOffset, stoneGlow, 20000.0F, 1.1F));
        }
    }
}

void GhostView::finishLoading()
{
    updateCamera();
    applyAtmosphere(0.0);
    bloom_->beginSceneWarmup();
    isReady_ = true;
    // A copy: the owner may stop or drop the view from inside, which clears
    // `onReady` (and the view stays alive until the call returns).
    if (auto ready = onReady) {
        const auto keepAlive = shared_from_this();
        ready();
    }
}

void GhostView::showLoadFailure(const std::string& message)
{
    stop();
    const platform::Rect box = bounds();
    failureLabel_ = StatusLabel{"Unable to load the Halloween scene.",
                                false,
                                {24.0F, 24.0F, std::max(box.width - 48.0F, 0.0F), std::max(box.height - 48.0F, 0.0F)},
                                false};
    log("Halloween scene unavailable: " + message, false);
}

} // namespace gloam
