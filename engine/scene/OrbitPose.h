#pragma once

#include "engine/prefs/Vehicle.h"

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

namespace gloam {

// Where the orbit camera stands for two angles round the point above the
// vehicle, a view shape and a vehicle: far enough back that the vehicle's
// box fits with a margin, looking from slightly higher in narrow views at
// low elevation, and pulled back a little as the view rises. A pure value:
// the scene view poses its camera from it, and anything that needs to know
// what the scene's camera sees (the surprises' staging, tests) asks it too.
struct OrbitPose {
    // The point the camera always looks at.
    static const glm::vec3 target;
    // The elevation range that dragging keeps to, radians.
    static constexpr float minElevation = 0.025F;
    static constexpr float maxElevation = 0.85F;
    // The cosine above which a prop counts as facing the camera.
    static constexpr float facingThreshold = 0.15F;

    // From the target towards the camera, unit length.
    glm::vec3 direction{0.0F, 0.0F, 1.0F};
    // The camera's right and up axes.
    glm::vec3 right{1.0F, 0.0F, 0.0F};
    glm::vec3 up{0.0F, 1.0F, 0.0F};
    float distance = 0.0F;
    // The elevation actually looked from (with the narrow-view lift).
    float elevation = 0.0F;

    // `aspect` is the view's width / height, `fieldOfView` the camera's
    // vertical field of view in degrees.
    static OrbitPose at(float yaw, float elevation, float aspect, float fieldOfView, Vehicle vehicle);

    glm::vec3 position() const { return target + distance * direction; }
    // The camera's world transform: columns right, up, the direction away
    // from the target (the camera looks along −z) and the position.
    glm::mat4 transform() const;
    // Whether a prop in direction `v` from the scene's centre stands away
    // from the camera, so that it stays shown (only the ground-plane part
    // of `v` counts).
    bool awayFromCamera(glm::vec3 v) const;
    // Whether the camera looks at the house's front (it has not swung round
    // to the house's side).
    bool facesHouse() const;
};

} // namespace gloam
