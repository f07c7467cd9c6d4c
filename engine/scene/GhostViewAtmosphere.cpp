// Turning the clocks' strengths and ages into what is seen and heard.
#include "engine/scene/GhostView.h"

#include "engine/effects/GraveGhostEffect.h"
#include "engine/effects/HandEffect.h"
#include "engine/effects/LightningEffect.h"
#include "engine/eggs/EasterEggEffects.h"
#include "engine/effects/OpeningSequence.h"
#include "engine/effects/PersistentEffects.h"
#include "engine/effects/WitchEffect.h"
#include "engine/post/GhostBloom.h"

#include <algorithm>
#include <cmath>

namespace gloam {

namespace {

constexpr float pumpkinChangeThreshold = 1e-4F;
constexpr float glowEmissiveGain = 3.0F;
const glm::vec3 skinGlowColor{1.0F, 0.035F, 0.003F};
constexpr float skinEmissiveGain = 0.22F;

} // namespace

void GhostView::applyAtmosphere(double delta)
{
    // The owner's callbacks below may drop the view: it lives until this returns.
    const auto keepAlive = weak_from_this().lock();
    const bool playing = openingPlaying();
    if (playing != shownOpening_) {
        shownOpening_ = playing;
        // Copies: the owner may stop the view from inside, which clears them.
        if (auto changed = onOpeningChanged) {
            changed();
            if (stopped_) {
                return;
            }
        }
    }

    if (isReady_ || playing) {
        sound_->sync(soundAges(), delta);
    }

    if (eggEffects_) {
        eggEffects_->update(easterEggs_.active, easterEggs_.age());
    }

    if (easterEggs_.active != shownEgg_) {
        shownEgg_ = easterEggs_.active;
        if (auto changed = onEggChanged) {
            changed(shownEgg_);
            if (stopped_) {
                return;
            }
        }
    }

    if (witch_) {
        witch_->update(characters_.witchAge());
    }
    if (hand_) {
        hand_->update(characters_.handAge());
    }
    // The bolt always glows with the strike's flicker; its light over the
    // scene (the flash light and the fog's flash) rises and falls gently
    // instead when flashing is reduced.
    const float strike = timeline_.strength();
    const float strikeLight = reduceFlashing_ ? timeline_.gentleStrength() : strike;
    if (lightning_) {
        lightning_->update(strike, strikeLight);
    }

    // The vehicle's slow bob, in step with its shadow's breathing.
    const float h = PersistentEffects::hover(ambientTime_);
    if (model_) {
        glm::vec3 position = model_->position();
        position.y = h;
        model_->setPosition(position);
    }
    glm::vec3 rear = rearAssembly_->position();
    rear.y = h;
    rearAssembly_->setPosition(rear);

    if (persistent_) {
        persistent_->update(ambientTime_, camera_->position(nullptr));
    }

    bloom_->setAtmosphere(static_cast<float>(ambientTime_), strikeLight, reactions_.pumpkinStrength(), h);

    const float s = reactions_.pumpkinStrength();
    // Small changes are skipped, but reaching rest exactly always restores
    // the resting materials, however close the last applied strength was.
    const bool reachedRest = s == 0.0F && lastPumpkinStrength_ != 0.0F;
    if (std::abs(s - lastPumpkinStrength_) > pumpkinChangeThreshold || reachedRest) {
        for (const PumpkinMaterial& part : pumpkinMaterials_) {
            const platform::EntityPtr entity = part.entity.lock();
            platform::ModelComponent* model = entity ? entity->components.get<platform::ModelComponent>() : nullptr;
            if (model == nullptr) {
                continue;
            }
            // Restored from the loaded list in place: element-wise copies
            // reuse what the component holds, so glowing frames allocate nothing.
            std::vector<platform::Material>& materials = model->materials;
            if (materials.size() == part.materials.size()) {
                std::copy(part.materials.begin(), part.materials.end(), materials.begin());
            } else {
                materials = part.materials;
            }
            if (s != 0.0F) {
                for (platform::Material& material : materials) {
                    platform::PhysicallyBasedMaterial* pbr = platform::asPhysicallyBased(material);
                    if (pbr == nullptr) {
                        continue;
                    }
                    if (part.glow) {
                        pbr->emissiveIntensity += glowEmissiveGain * s;
                    } else {
                        pbr->emissiveColor.color = skinGlowColor;
                        pbr->emissiveColor.texture.reset();
                        pbr->emissiveIntensity = skinEmissiveGain * s;
                    }
                }
            }
        }
        for (const auto& light : pumpkinLights_) {
            light->light().intensity = 300.0F + 500.0F * s;
        }
        lastPumpkinStrength_ = s;
    }

    if (graveGhost_) {
        // The ghost's grave, unless its prop is hidden on the camera's side.
        const PropTarget* grave = nullptr;
        if (reactions_.graveID) {
            for (const PropTarget& target : targets_) {
                if (target.id != *reactions_.graveID) {
                    continue;
                }
                const auto found = targetEntities_.find(target.id);
                if (found != targetEntities_.end() && found->second && found->second->isEnabled()) {
                    grave = &target;
                    break;
                }
            }
        }
        graveGhost_->update(grave, reactions_.ghostAge(), camera_->position(nullptr));
    }
}

} // namespace gloam
