#pragma once

#include "platform/scene/Entity.h"
#include "platform/scene/Transform.h"
#include "resources/SceneLandmarks.h"

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <optional>

namespace gloam {

// A witch on her broom crossing the night sky in front of the moon: the
// loaded witch model as a flat near-black silhouette follows a fixed curve
// that climbs from right to left across the default view, turns to face
// the camera, rocks gently and lets her cape flutter, then fades out. The
// curve is drawn in pixels of the same 2400 x 1000 reference picture as the
// lightning bolt and back-projected onto a vertical plane 9.3 units out
// towards the house, so she crosses the moon as seen from the camera.
//
// The effect also owns the invisible sphere on the moon ("MoonReaction")
// through which a click starts her. It keeps no clock: each frame the
// atmosphere passes the character timeline's witch age.
class WitchEffect {
public:
    // Horizontal axis of the flight plane (the lightning's lateral axis).
    static glm::vec3 right();
    // From the scene origin towards the flight plane (the bolt direction).
    static glm::vec3 depthDirection();
    // The moon's centre, where the click sphere sits.
    static glm::vec3 moonPosition();
    static constexpr float planeDistance = 9.3F;
    static constexpr float moonRadius = landmarks::moonClickRadius;
    static constexpr float scale = 0.62F;

    // Takes the loaded witch model (an entity tree), styles it as a
    // silhouette and finds its cape ("WitchCape"), if it has one.
    explicit WitchEffect(platform::EntityPtr model);

    // Poses the witch for her age in seconds since the reaction started, or
    // hides her without one. She is held back for the first 1.45 s.
    void update(std::optional<double> age);
    // Whether the moon side of the scene faces the viewer: the moon's click
    // target counts only then. A flight in progress is not affected.
    void setFrontVisible(bool visible);
    // The camera position she turns to face.
    void setCameraPosition(glm::vec3 position);

    const platform::EntityPtr& root() const { return root_; }
    const platform::EntityPtr& moonHit() const { return moonHit_; }
    const platform::EntityPtr& cape() const { return cape_; }
    const platform::Transform& capeRest() const { return capeRest_; }
    glm::vec3 cameraPosition() const { return cameraPosition_; }

    // The flight path for a flight time in seconds: the point in reference
    // pixels (x right, y down) and in the scene.
    static glm::vec2 pathPixel(float flight);
    static glm::vec3 pathPoint(float flight);
    // The fade at the end of the flight.
    static float opacity(float flight);

private:
    platform::EntityPtr root_;
    platform::EntityPtr moonHit_;
    platform::EntityPtr cape_;
    platform::Transform capeRest_;
    glm::vec3 cameraPosition_{-16.08F, 1.916F, 11.38F};
};

} // namespace gloam
