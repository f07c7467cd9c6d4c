#pragma once

#include "engine/timelines/OpeningTiming.h"
#include "platform/material/Material.h"
#include "platform/scene/Entity.h"
#include "platform/scene/ModelEntity.h"
#include "platform/scene/PerspectiveCamera.h"
#include "platform/scene/Transform.h"

#include <glm/vec2.hpp>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace gloam {

// The title sequence that plays when the scene starts (and on a replay): a
// flat, layered picture hung one unit in front of the camera. A painted
// panorama zooms and then pans up to the hill, an atmosphere layer drawn
// by a surface shader lies over it, the title card shrinks into place and
// fades, lightning flashes over the title and later over the hill, a swarm
// of bats spirals out, a witch crosses the frame, and everything fades into
// the live scene.
//
// Every pose is a function of the clock's time (`seek`), so a replay, a
// skip, a resize and a render at any time agree. Geometry is in the root's
// frame: x to the right, y up, z towards the camera; after `layout` one
// unit is half the visible height.
class OpeningSequence {
public:
    static constexpr int batCount = 25;
    // The panorama's side before the zoom, at the narrowest views.
    static constexpr float minimumBackdropWidth = 4.8F;
    static constexpr float titleWidth = 2.7F;
    static constexpr float titleHeight = 1.51875F;
    // The name of the surface function of the atmosphere's shader library.
    static constexpr const char* atmosphereFunction = "openingAtmosphere";
    // Error domain of a missing GPU device.
    static constexpr const char* atmosphereErrorDomain = "OpeningAtmosphere";

    struct Bat {
        platform::EntityPtr bat;
        platform::EntityPtr leftWing; // the mirrored one
        platform::EntityPtr rightWing;
    };

    // Builds every layer from the resource folder's panorama, title, witch
    // model and atmosphere shader library, and hangs the (disabled) root
    // under `camera`. Throws when any of them cannot be loaded, when there
    // is no GPU device ("OpeningAtmosphere" 1) or a mesh cannot be made;
    // nothing is added to the camera then.
    OpeningSequence(const std::shared_ptr<platform::PerspectiveCamera>& camera, const std::filesystem::path& resources);
    ~OpeningSequence();
    OpeningSequence(const OpeningSequence&) = delete;
    OpeningSequence& operator=(const OpeningSequence&) = delete;

    // Fits the picture to a view of this width / height and vertical field
    // of view in degrees; keeps the root enabled or not as it was.
    void layout(float aspect, float fieldOfView);

    // Plays from 0.
    void start();
    // Jumps to the end: not playing, hidden.
    void skip();
    // Moves the clock on (a negative step does not move it) and poses;
    // whether it still plays.
    bool advance(double step);
    // Poses every layer for `time` seconds. Builds nothing and cannot fail.
    void seek(double time);

    // Whether the picture fades into the scene over three seconds instead
    // of one and a quarter (reduced flashing); takes effect at the next pose.
    void setGentleDissolve(bool gentle) { gentleDissolve_ = gentle; }
    bool gentleDissolve() const { return gentleDissolve_; }

    bool isPlaying() const { return clock_.playing; }
    double time() const { return clock_.time; }
    const OpeningTiming& clock() const { return clock_; }

    // The layers, for the scene's tools and tests.
    const platform::EntityPtr& root() const { return root_; }
    const std::shared_ptr<platform::ModelEntity>& background() const { return background_; }
    const std::shared_ptr<platform::ModelEntity>& atmosphere() const { return atmosphere_; }
    const std::shared_ptr<platform::ModelEntity>& title() const { return title_; }
    const platform::EntityPtr& witch() const { return witch_; }
    const platform::EntityPtr& cape() const { return cape_; }
    const platform::EntityPtr& titleBolts() const { return titleBolts_; }
    const platform::EntityPtr& hillBolts() const { return hillBolts_; }
    const std::vector<Bat>& bats() const { return bats_; }
    float backdropWidth() const { return backdropWidth_; }
    float aspect() const { return aspect_; }

    // The picture's pieces, exposed for tests.
    // A textured, untoned, unlit card of this size, centred on the origin.
    static std::shared_ptr<platform::ModelEntity> plane(float width, float height, const platform::TexturePtr& texture,
                                                        const std::string& textureName);
    // A flat shape filled as a fan from its first point (so it must be
    // star-shaped from there).
    static std::shared_ptr<platform::ModelEntity> polygon(const std::vector<glm::vec2>& points,
                                                          const platform::Color& color);
    // One quad per segment of the polyline, `width` to either side.
    static platform::EntityPtr bolt(const std::vector<glm::vec2>& points, float width);
    // The level of a flash that began at `start` with `peak` at time `t`.
    static float flash(double t, double start, float peak);
    // Drops the process's atmosphere material so that the next sequence
    // builds it again (tests of broken resource folders).
    static void forgetAtmosphereMaterial();

private:
    void build(const std::filesystem::path& resources);
    void poseTitle(double t);
    void poseBats(double t);
    void poseWitch(double t);

    platform::EntityPtr root_;
    bool gentleDissolve_ = false;
    std::shared_ptr<platform::ModelEntity> background_;
    std::shared_ptr<platform::ModelEntity> title_;
    std::shared_ptr<platform::ModelEntity> atmosphere_;
    platform::EntityPtr witch_;
    platform::EntityPtr cape_;
    platform::Transform capeRest_;
    platform::EntityPtr titleBolts_;
    platform::EntityPtr hillBolts_;
    std::vector<Bat> bats_;
    float backdropWidth_ = minimumBackdropWidth;
    // How far left the picture moves as it pans, in narrow views (0 in wide ones).
    float hillShift_ = 0.0F;
    float aspect_ = 2.4F;
    OpeningTiming clock_;
};

} // namespace gloam
