#pragma once

#include "platform/material/UnlitMaterial.h"
#include "platform/scene/ModelEntity.h"

#include <glm/vec3.hpp>

#include <memory>
#include <vector>

namespace gloam {

// The always-running ambience: 46 fireflies drifting around the house and
// the car, each glowing on and off on its own rhythm, and the slow breathing
// of the car's contact shadow in step with the car's hover. Everything is a
// closed-form function of the ambient time.
class PersistentEffects {
public:
    static constexpr int fireflyCount = 46;

    struct Mote {
        platform::EntityPtr entity;
        glm::vec3 base{0.0F};
        float phase = 0.0F;
    };

    // `shadow` must carry a model whose first material is unlit (the contact
    // shadow is built so); throws std::invalid_argument otherwise.
    explicit PersistentEffects(std::shared_ptr<platform::ModelEntity> shadow);

    // Poses the fireflies and the shadow for an ambient time in seconds.
    // The camera position is accepted for symmetry with the other effects.
    void update(double time, glm::vec3 camera);

    // The vehicle's lift: 0 to 0.09 scene units over a 5.6-second cycle.
    static float hover(double time);
    // A firefly's glow (0 to 1) for its index and the ambient time.
    static float glow(int index, float time);
    // A firefly's position for its base, phase and the ambient time.
    static glm::vec3 drift(glm::vec3 base, float phase, float time);

    const platform::EntityPtr& root() const { return root_; }
    const std::vector<Mote>& motes() const { return motes_; }

private:
    platform::EntityPtr root_;
    std::vector<Mote> motes_;
    std::shared_ptr<platform::ModelEntity> shadow_;
    platform::UnlitMaterial shadowMaterial_;
};

} // namespace gloam
