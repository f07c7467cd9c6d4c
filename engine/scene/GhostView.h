#pragma once

#include "engine/prefs/Vehicle.h"
#include "engine/common/PropTarget.h"
#include "engine/scene/StatusLabel.h"
#include "engine/sound/SceneSound.h"
#include "engine/sound/SoundMode.h"
#include "engine/timelines/AtmosphereTimeline.h"
#include "engine/timelines/CharacterTimeline.h"
#include "engine/timelines/EasterEggTimeline.h"
#include "engine/timelines/ReactionTimeline.h"
#include "platform/async/Task.h"
#include "platform/async/TaskHandle.h"
#include "platform/audio/AudioPlayer.h"
#include "platform/material/Material.h"
#include "platform/scene/AnchorEntity.h"
#include "platform/scene/ModelEntity.h"
#include "platform/scene/PerspectiveCamera.h"
#include "platform/scene/PointLight.h"
#include "platform/scene/Scene.h"
#include "platform/scene/View3D.h"
#include "resources/SceneLandmarks.h"

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace gloam::platform {
class AnimationPlaybackController;
class EnvironmentResource;
class MeshResource;
} // namespace gloam::platform

namespace gloam {

class EasterEggEffects;
class GhostBloom;
class GraveGhostEffect;
class HandEffect;
class LightningEffect;
class WitchEffect;
class OpeningSequence;
class PersistentEffects;

// The scene view: one per app window or screen-saver display. It owns the
// 3D view and camera, every clock of the scene, the effects, the
// post-process and the sound, and runs one frame update per presented frame
// on the main thread. Owners talk to it through its triggers, setPaused,
// stop, startOpening, skipOpening, changeVehicle and three callbacks.
//
// Always owned through a shared pointer (see `make`): its loading task and
// frame handler hold it weakly, so dropping the view ends both.
class GhostView : public std::enable_shared_from_this<GhostView> {
public:
    // What the view depends on beyond its arguments; the defaults are the
    // real ones. Tools and tests pass their own.
    struct Environment {
        // The resource folder; empty means `halloweenResources()`.
        std::filesystem::path resources;
        // Seconds of a monotonic clock; the frame step is the difference of
        // two readings. Empty means the system's monotonic clock.
        std::function<double()> uptime;
        // Makes audio players; empty means OpenAL.
        platform::AudioPlayerFactory audioPlayers;
        // Seeds the Easter-egg clock; none means a random seed.
        std::optional<std::uint64_t> eggSeed;
        // Where the engine's log lines go; empty means standard output.
        std::function<void(const std::string& line, bool flush)> log;
        // Whether lightning lights the scene gently instead of flashing;
        // none means the stored choice.
        std::optional<bool> reduceFlashing;
    };

    enum class Key { escape, other };

    static std::shared_ptr<GhostView> make(platform::Rect frame, bool interactive = true,
                                           std::optional<Vehicle> vehicle = std::nullopt,
                                           std::optional<SoundMode> soundMode = std::nullopt,
                                           Environment environment = {});
    ~GhostView();
    GhostView(const GhostView&) = delete;
    GhostView& operator=(const GhostView&) = delete;

    // Callbacks, called on the main thread.
    std::function<void()> onReady;
    std::function<void()> onOpeningChanged;
    std::function<void(std::optional<EasterEgg>)> onEggChanged;

    bool isReady() const { return isReady_; }
    int updateCount() const { return updateCount_; }
    bool isStopped() const { return stopped_; }
    bool isPaused() const { return paused_; }
    Vehicle vehicle() const { return vehicle_; }
    const platform::EntityPtr& vehicleModel() const { return model_; }
    SceneSound& sound() { return *sound_; }
    platform::View3D& render() { return *render_; }
    const StatusLabel& statusLabel() const { return sceneStatus_; }
    // "Unable to load the Halloween scene." once a load has failed.
    const std::optional<StatusLabel>& failureLabel() const { return failureLabel_; }
    const std::shared_ptr<GhostBloom>& bloom() const { return bloom_; }
    OpeningSequence* opening() const { return opening_.get(); }
    bool openingPlaying() const;

    void setPaused(bool paused);
    void stop();
    void startOpening();
    void skipOpening();

    // The view's frame in its window; calls layout().
    void setFrame(platform::Rect frame);
    platform::Rect frame() const { return frame_; }
    platform::Rect bounds() const { return {0.0F, 0.0F, frame_.width, frame_.height}; }
    void layout();

    // Input, in window points with the origin at the bottom left. Ignored
    // when the view is not interactive.
    bool acceptsFirstResponder() const { return interactive_; }
    // Whether the key was consumed.
    bool keyDown(Key key);
    void mouseDown(glm::vec2 windowPoint);
    void mouseDragged(glm::vec2 windowPoint);
    void mouseUp(glm::vec2 windowPoint);

    // Triggers (app commands and clicks).
    // Swaps the vehicle for another; a cancellation error when the view is
    // not ready, stopped, or the request was overtaken by a newer one.
    async::Task<void> changeVehicle(Vehicle requested);

    void triggerWitch();
    void triggerHand();
    void triggerLightning();
    void triggerPumpkins();
    void triggerGhost(const std::optional<std::string>& id);
    void previewEgg(EasterEgg kind);
    // The "Automatic effects" switch: the surprises, lightning, reactions and
    // characters, in that order.
    void setAutomatic(bool on);

    // "Reduce flashing": each strike keeps its bolt, thunder and timing,
    // and its light over the scene rises and falls gently instead of
    // flickering; the opening fades into the scene over three seconds.
    // Takes effect from the next frame.
    void setReduceFlashing(bool on);
    bool reducesFlashing() const { return reduceFlashing_; }

    // Visibility queries.
    bool characterVisible(const std::string& name) const;
    std::vector<std::string> visibleGraves() const;
    SoundCueAges soundAges() const;

    // Camera.
    void updateCamera();
    // Places the camera as a drag would (elevation kept in its range).
    void setCameraAngles(float yaw, float elevation);
    float yaw() const { return yaw_; }
    float elevation() const { return elevation_; }
    bool houseVisible() const { return houseVisible_; }

    // State for the owner's diagnostics, tools and tests.
    const AtmosphereTimeline& timeline() const { return timeline_; }
    const ReactionTimeline& reactions() const { return reactions_; }
    const CharacterTimeline& characters() const { return characters_; }
    const EasterEggTimeline& easterEggs() const { return easterEggs_; }
    double ambientTime() const { return ambientTime_; }
    double startupElapsed() const { return startupElapsed_; }
    bool pendingSkip() const { return pendingSkip_; }
    const std::vector<PropTarget>& targets() const { return targets_; }
    const std::map<std::string, platform::EntityPtr>& targetEntities() const { return targetEntities_; }
    const std::vector<std::shared_ptr<platform::PointLight>>& pumpkinLights() const { return pumpkinLights_; }
    const platform::EntityPtr& anchor() const { return anchor_; }
    const std::shared_ptr<platform::PerspectiveCamera>& camera() const { return camera_; }
    double chargerRetryAt() const { return chargerRetryAt_; }
    // Counts vehicle loads begun (the first and every change).
    int vehicleGeneration() const { return vehicleGeneration_; }
    LightningEffect* lightning() const { return lightning_.get(); }
    GraveGhostEffect* graveGhost() const { return graveGhost_.get(); }
    WitchEffect* witch() const { return witch_.get(); }
    HandEffect* hand() const { return hand_.get(); }
    EasterEggEffects* eggEffects() const { return eggEffects_.get(); }
    PersistentEffects* persistent() const { return persistent_.get(); }
    const std::shared_ptr<platform::ModelEntity>& contactShadow() const { return contactShadow_; }

    // One frame: what the scene's update event runs.
    void frameUpdate();

    // A pumpkin part that glows: its entity, its materials as loaded, and
    // whether it is a flame or glow part (true) or a skin (false).
    struct PumpkinMaterial {
        std::weak_ptr<platform::Entity> entity;
        std::vector<platform::Material> materials;
        bool glow = false;
    };
    // A prop around the vehicle and its direction from the scene centre.
    struct RingEntity {
        platform::EntityPtr entity;
        glm::vec3 direction{0.0F};
    };
    // What the environment set-up registered, for tools and tests.
    const std::vector<PumpkinMaterial>& pumpkinMaterials() const { return pumpkinMaterials_; }
    const std::vector<RingEntity>& ringEntities() const { return ringEntities_; }
    const std::map<std::string, platform::TexturePtr>& materialTextures() const { return materialTextures_; }
    std::size_t collisionTaskCount() const { return collisionTasks_.size(); }

private:
    GhostView(platform::Rect frame, bool interactive, std::optional<Vehicle> vehicle,
              std::optional<SoundMode> soundMode, Environment environment);
    void construct();

    void advanceEvents(double delta);
    void updateStatus(bool waiting);
    void applyAtmosphere(double delta);
    void beginEgg(EasterEgg kind);
    // Ends the running surprise and reschedules the next (the clock's
    // cancel), and forgets the charging station's misses.
    void cancelEggs();
    bool sceneCanShow() const;
    void log(const std::string& line, bool flush) const;
    glm::vec2 windowToView(glm::vec2 windowPoint) const;

    // The vehicle.
    async::Task<void> replaceVehicle(Vehicle requested);
    void applyFabric(platform::Entity& entity, Vehicle requested);
    void configureRearLights(platform::Entity& entity);
    void addVehicleCollision(const platform::EntityPtr& entity, int generation);

    // Loading (the building half of the view).
    async::Task<void> loadScene(platform::EntityPtr anchor);
    void loadPropTargets(const platform::EntityPtr& anchor);
    void finishLoading();
    void showLoadFailure(const std::string& message);

    // Environment set-up: the study light, the prepared textures and the
    // rules keyed on entity names (GhostViewEnvironment.cpp).
    async::Task<std::shared_ptr<const platform::EnvironmentResource>> makeStudyLight();
    async::Task<void> prepareEnvironmentTextures();
    platform::TexturePtr materialTexture(const std::string& file, bool normal);
    void configureEnvironment(const platform::EntityPtr& entity, const std::string& inherited = {},
                              bool includeHand = false);
    static async::Task<void> buildHouseCollision(std::weak_ptr<GhostView> owner, std::weak_ptr<platform::Entity> target,
                                                 std::shared_ptr<const platform::MeshResource> mesh);

    Environment environment_;
    std::filesystem::path resources_;

    std::unique_ptr<platform::View3D> render_;
    std::shared_ptr<platform::PerspectiveCamera> camera_;
    std::unique_ptr<OpeningSequence> opening_;
    std::shared_ptr<platform::AnimationPlaybackController> playback_;
    platform::EntityPtr model_;
    platform::EntityPtr rearAssembly_;
    platform::EntityPtr anchor_;
    Vehicle vehicle_;
    int vehicleGeneration_ = 0;
    std::vector<async::TaskHandle> vehicleCollisionTasks_;
    bool shownOpening_ = false;
    bool houseVisible_ = true;
    float yaw_ = landmarks::cameraYaw;
    float elevation_ = landmarks::cameraElevation;
    std::optional<glm::vec2> lastPoint_;
    bool moved_ = false;
    std::shared_ptr<GhostBloom> bloom_;
    std::vector<RingEntity> ringEntities_;
    AtmosphereTimeline timeline_;
    bool reduceFlashing_ = false;
    double ambientTime_ = 0;
    ReactionTimeline reactions_;
    CharacterTimeline characters_;
    EasterEggTimeline easterEggs_;
    std::unique_ptr<EasterEggEffects> eggEffects_;
    std::optional<EasterEgg> shownEgg_;
    double chargerRetryAt_ = 0;
    // Automatic tries in a row in which the charging station found no place;
    // reset when the station is staged, by a cancelled schedule (an opening
    // replay) and by a vehicle change.
    int chargerMisses_ = 0;
    std::vector<PropTarget> targets_;
    std::map<std::string, platform::EntityPtr> targetEntities_;
    std::vector<PumpkinMaterial> pumpkinMaterials_;
    std::vector<std::shared_ptr<platform::PointLight>> pumpkinLights_;
    float lastPumpkinStrength_ = -1.0F;
    platform::Scene::Subscription atmosphereUpdates_;
    std::vector<async::TaskHandle> collisionTasks_;
    bool paused_ = false;
    bool stopped_ = false;
    std::optional<async::TaskHandle> loadingTask_;
    std::optional<double> lastUpdateUptime_;
    StatusLabel sceneStatus_;
    std::optional<StatusLabel> failureLabel_;
    platform::EntityPtr handAsset_;
    std::map<std::string, platform::TexturePtr> materialTextures_;
    std::shared_ptr<platform::ModelEntity> contactShadow_;
    std::unique_ptr<PersistentEffects> persistent_;
    std::unique_ptr<LightningEffect> lightning_;
    std::unique_ptr<GraveGhostEffect> graveGhost_;
    std::unique_ptr<WitchEffect> witch_;
    std::unique_ptr<HandEffect> hand_;
    double startupElapsed_ = 0;
    // How long the opening has waited at its start for its music's files.
    double openingSoundWaited_ = 0;
    std::string shownStatus_;
    bool pendingSkip_ = false;
    const bool interactive_;
    std::unique_ptr<SceneSound> sound_;
    bool isReady_ = false;
    int updateCount_ = 0;
    platform::Rect frame_;
};

} // namespace gloam
