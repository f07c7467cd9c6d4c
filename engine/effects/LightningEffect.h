#pragma once

#include "platform/material/PhysicallyBasedMaterial.h"
#include "platform/mesh/MeshDescriptor.h"
#include "platform/scene/DirectionalLight.h"
#include "platform/scene/ModelEntity.h"
#include "resources/SceneLandmarks.h"

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <memory>
#include <vector>

namespace gloam {

// The visible half of a lightning strike: a fixed branching bolt of thin
// glowing tubes standing in the sky beside the house, and a cold directional
// light that flashes over the scene with it. It keeps no clock: each frame
// the atmosphere hands it the timeline's lightning strength (0 to 1).
class LightningEffect {
public:
    // Horizontal direction from the scene centre to the bolt.
    static glm::vec3 boltDirection();
    // Perpendicular to `boltDirection` in the ground plane.
    static glm::vec3 boltLateral();
    static constexpr float planeDistance = landmarks::boltPlaneDistance;
    static constexpr int branchCount = 12;

    // Builds the bolt mesh, its material and the light; throws when the mesh
    // cannot be generated.
    LightningEffect();

    // Applies one frame's strength to the bolt's glow and the flash light;
    // costs one comparison while it is unchanged.
    void update(float strength) { update(strength, strength); }
    // The same with the light apart: the bolt glows by `strength` while the
    // light over the scene follows `light` (the gentle level when flashing
    // is reduced).
    void update(float strength, float light);
    // Whether the bolt may be shown from the current viewpoint; takes effect at once.
    void setHouseVisible(bool visible);

    const platform::EntityPtr& root() const { return root_; }
    const std::shared_ptr<platform::ModelEntity>& bolt() const { return bolt_; }
    const std::shared_ptr<platform::DirectionalLight>& light() const { return light_; }
    bool houseVisible() const { return houseVisible_; }

    // The bolt's material for one strength: black, glowing only by emission.
    static platform::PhysicallyBasedMaterial material(float strength);

    // Geometry steps, exposed for tests.
    // Branch `branch` of the reference table sampled into a pixel polyline.
    static std::vector<glm::vec2> samplePixels(int branch);
    // A reference-picture pixel placed on the bolt's vertical plane.
    static glm::vec3 toScene(glm::vec2 pixel);
    // All twelve branches swept into tubes.
    static platform::MeshDescriptor boltMesh();

private:
    platform::EntityPtr root_;
    std::shared_ptr<platform::ModelEntity> bolt_;
    std::shared_ptr<platform::DirectionalLight> light_;
    float lastStrength_ = -1.0F;
    float lastLight_ = -1.0F;
    bool houseVisible_ = true;
};

} // namespace gloam
