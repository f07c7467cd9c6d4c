#pragma once

#include "engine/prefs/Vehicle.h"
#include "engine/timelines/EasterEgg.h"
#include "platform/material/CustomMaterial.h"
#include "platform/material/Material.h"
#include "platform/material/SurfaceShader.h"
#include "platform/scene/ModelEntity.h"
#include "platform/scene/PointLight.h"

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace gloam {

// Everything the two surprise sequences show, posed from the age of the
// running surprise:
//
// - skyrell: a small red sky car with a space-suited rider glides in beside
//   the moon, a dark silhouette of the witch flies in to meet it, the rider
//   waves, and both leave (13 s);
// - amperle: a miniature charging station stands on the ground in a free
//   part of the picture, facing the camera; a curious ghost peeks at it and
//   a pumpkin beside it is plugged in by a cable and charges up while the
//   station's bars light one by one (19 s).
//
// The charging scene fades in and out through the "cameoFade" surface
// function: every material under it is turned into a fade material once,
// and later instances in the process reuse those materials by their place
// in the tree, so a second scene compiles nothing new. Before the charging
// surprise starts, `prepareCharging` searches the ground around the vehicle
// for a place that is on screen, clear of the vehicle and the props, and
// not hidden behind them. Scene-anchor coordinates: the vehicle at the
// origin, +y up, the ground at y = 0. Main thread only.
class EasterEggEffects {
public:
    // A box to keep clear: its centre and full size.
    struct Box {
        glm::vec3 center{0.0F};
        glm::vec3 size{0.0F};
    };
    // A screen rectangle in 0…1 units of the picture (y down from the top).
    struct ScreenRect {
        double x = 0;
        double y = 0;
        double width = 0;
        double height = 0;
        double maxX() const { return x + width; }
        double maxY() const { return y + height; }
        bool operator==(const ScreenRect&) const = default;
    };

    // The charging scene's bounding box in its own unscaled, unmirrored
    // coordinates, for placing it on screen.
    static const glm::vec3 stageMin;
    static const glm::vec3 stageMax;
    static constexpr int cableSegments = 32;
    // Tangent of half the scene camera's 10.5° vertical field of view.
    static constexpr float halfFieldTangent = 0.09188709F;

    // Where lines go; empty means standard output.
    using Log = std::function<void(const std::string& line)>;

    // Builds the tree and the models, loads the fade surface function and
    // the witch model from `resources`; throws when any of them fails but
    // the witch, who is optional: without her the sky car crosses alone and
    // "E4 EASTER EGG WITCH FAILED " and the error go to `log`.
    explicit EasterEggEffects(const std::filesystem::path& resources, const Log& log = {});
    EasterEggEffects(const EasterEggEffects&) = delete;
    EasterEggEffects& operator=(const EasterEggEffects&) = delete;

    // One frame: the running surprise and its age in seconds, or none.
    void update(std::optional<EasterEgg> kind, std::optional<double> age);

    // Finds the best place of the charging scene for this camera (its world
    // transform), aspect (width / height), vehicle and the boxes to keep
    // clear; false when no place passes. The chosen place stays until the
    // next call.
    bool prepareCharging(const glm::mat4& camera, float aspect, Vehicle vehicle, const std::vector<Box>& obstacles);

    // The eight corners of a box, x over {min, max}, then y, then z (z fastest).
    static std::array<glm::vec3, 8> corners(glm::vec3 min, glm::vec3 max);
    // The screen rectangle of world points seen by the scene camera, or none
    // when any point is less than half a unit in front of it.
    static std::optional<ScreenRect> projected(std::span<const glm::vec3> points, const glm::mat4& camera,
                                               float aspect);

    const platform::EntityPtr& root() const { return root_; }
    const platform::EntityPtr& skyrell() const { return skyrell_; }
    const platform::EntityPtr& spirra() const { return spirra_; }
    const platform::EntityPtr& arm() const { return arm_; }
    const platform::EntityPtr& charging() const { return charging_; }
    const platform::EntityPtr& station() const { return station_; }
    const platform::EntityPtr& ghost() const { return ghost_; }
    const platform::EntityPtr& face() const { return face_; }
    const platform::EntityPtr& pumpkin() const { return pumpkin_; }
    const platform::EntityPtr& plug() const { return plug_; }
    const platform::EntityPtr& guestWitch() const { return guestWitch_; }
    const std::shared_ptr<platform::PointLight>& warm() const { return warm_; }
    const std::vector<std::shared_ptr<platform::ModelEntity>>& pumpkinShell() const { return pumpkinShell_; }
    const std::vector<std::shared_ptr<platform::ModelEntity>>& pumpkinFace() const { return pumpkinFace_; }
    const std::vector<std::shared_ptr<platform::ModelEntity>>& chargeBars() const { return chargeBars_; }
    const std::vector<std::shared_ptr<platform::ModelEntity>>& cable() const { return cable_; }
    float stageSide() const { return stageSide_; }
    glm::vec3 stagePosition() const { return stagePosition_; }
    const ScreenRect& stageFrame() const { return stageFrame_; }
    bool stagePrepared() const { return stagePrepared_; }
    // How many fade materials the process has built so far.
    static std::size_t chargingTemplateCount();

private:
    void makeSpirra();
    void makeStation();
    void makeGhost();
    void makePumpkin();
    void updateSkyrell(float t);
    void updateCharging(float t);
    static void updateChargingLight(platform::ModelEntity& entity, glm::vec3 color, float glow);
    void configureChargingFade(platform::Entity& entity, float reveal);
    static void darken(platform::Entity& entity);

    platform::EntityPtr root_;
    platform::EntityPtr skyrell_;
    platform::EntityPtr spirra_;
    platform::EntityPtr arm_;
    platform::EntityPtr charging_;
    platform::EntityPtr station_;
    platform::EntityPtr ghost_;
    platform::EntityPtr face_;
    platform::EntityPtr pumpkin_;
    std::vector<std::shared_ptr<platform::ModelEntity>> pumpkinShell_;
    std::vector<std::shared_ptr<platform::ModelEntity>> pumpkinFace_;
    std::vector<std::shared_ptr<platform::ModelEntity>> chargeBars_;
    std::vector<std::shared_ptr<platform::ModelEntity>> cable_;
    platform::EntityPtr plug_;
    platform::EntityPtr guestWitch_;
    std::optional<EasterEgg> lastKind_;
    double lastAge_ = -1.0;
    float stageSide_ = 1.0F;
    glm::vec3 stagePosition_{0.0F};
    ScreenRect stageFrame_;
    bool stagePrepared_ = false;
    float lastGlow_ = -1.0F;
    float lastReveal_ = -1.0F;
    std::shared_ptr<platform::PointLight> warm_;
    // The charging scene's parts that cast a shadow (the sign); they cast it
    // only while the scene is fully revealed.
    std::vector<platform::Entity*> shadowCasters_;
    bool castingShadows_ = false;
    platform::SurfaceShader chargingShader_;
    std::size_t nextChargingTemplate_ = 0;
};

} // namespace gloam
