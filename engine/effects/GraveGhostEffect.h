#pragma once

#include "engine/common/PropTarget.h"
#include "platform/material/PhysicallyBasedMaterial.h"
#include "platform/scene/ModelEntity.h"

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace gloam {

// The sheet ghost that rises out of a grave: a draped cloth with a rounded
// crown, a flared scalloped hem and a dark face, rising in front of its
// gravestone towards the camera with growing speed, swaying, rolling and
// fading in and out. One ghost is reused for every rise. Its cloth is a
// closed-form surface re-sampled 30 times per second of ghost age; the face
// openings are bent onto the cloth once and do not follow its ripple.
//
// It keeps no clock: each frame the atmosphere passes the current grave,
// the ghost's age and the camera position.
class GraveGhostEffect {
public:
    // The sheet's grid: rows from crown to hem, columns around the body.
    static constexpr int rows = 49;
    static constexpr int columns = 128;
    // Mesh frames per second of ghost age.
    static constexpr double meshRate = 30.0;
    // Seconds of fade-in, and the age at which the ghost is gone.
    static constexpr float fadeIn = 0.13F;
    static constexpr float fadeOutEnd = 1.65F;

    // One face opening on the sheet: centre and radii in sheet coordinates
    // (x across, y up the one-unit-tall sheet).
    struct Opening {
        glm::vec2 centre;
        glm::vec2 radii;
    };
    // The left eye, the right eye and the mouth.
    static const std::array<Opening, 3> openings;

    // Where lines go ("E4 GHOST MESH FAILED ..."); empty means standard output.
    using Log = std::function<void(const std::string& line)>;

    // Builds the cloth and the face; throws when a mesh cannot be made.
    explicit GraveGhostEffect(Log log = {});

    // Poses the ghost for one frame. `target` is the grave of the current
    // rise and `age` the seconds since it began; without either the ghost
    // is hidden. A new grave, or an age smaller than the last one, starts
    // the rise over. A target with fewer than three numbers in its centre
    // or size counts as no target.
    void update(const PropTarget* target, std::optional<double> age, glm::vec3 camera);

    const platform::EntityPtr& root() const { return root_; }
    const std::shared_ptr<platform::ModelEntity>& body() const { return body_; }
    const std::optional<std::string>& activeID() const { return activeID_; }
    float height() const { return height_; }
    float heading() const { return heading_; }
    glm::vec3 startPosition() const { return startPosition_; }
    long lastMeshFrame() const { return lastMeshFrame_; }

    // A point of the cloth: `v` from the crown (0) to the hem (1), `theta`
    // around the body (0 faces +Z, the front), `phase` in seconds.
    static glm::vec3 point(float v, float theta, float phase);
    // The whole cloth at one phase (6,272 vertices, 12,288 triangles).
    static platform::MeshPtr sheet(float phase);
    // How far in front of the sheet's axis a face opening sits at a sheet
    // point: on the cloth at phase 0, plus 3 mm.
    static float faceDepth(float x, float y);
    // One face opening as a flat ellipse bent onto the cloth.
    static platform::MeshPtr opening(const Opening& opening);
    // The opacity of the rise at an age.
    static float opacity(float age);
    // The scale of the ghost for a grave of this height.
    static float heightFor(float graveHeight);
    // Which mesh frame an age falls in.
    static long meshFrame(double age);

    static platform::PhysicallyBasedMaterial bodyMaterial();

private:
    void start(const PropTarget& target, glm::vec3 camera);
    void log(const std::string& line) const;

    platform::EntityPtr root_;
    std::shared_ptr<platform::ModelEntity> body_;
    glm::vec3 startPosition_{0.0F};
    glm::vec3 right_{1.0F, 0.0F, 0.0F};
    float heading_ = 0.0F;
    float height_ = 1.0F;
    std::optional<std::string> activeID_;
    double lastAge_ = -1.0;
    long lastMeshFrame_ = -1;
    Log log_;
};

} // namespace gloam
