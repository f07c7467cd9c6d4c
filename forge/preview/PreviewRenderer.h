#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include <glm/vec3.hpp>

#include "forge/image/Image.h"

namespace gloam::forge::preview {

struct Camera {
    glm::vec3 position;
    glm::vec3 target{0.0f, 1.05f, 0.0f};
    float fieldOfViewDegrees = 10.5f;
};

// The orbit camera of the scene for a yaw, an elevation and a distance at a
// given picture size (with the rig's lift for narrow views).
Camera orbitCamera(float yaw, float elevation, float distance, int width, int height);

// A flat CPU picture of glTF models as the scene would dress them: the
// environment's name rules pick unlit, glowing and tinted looks; lit parts
// get the scene's key and fill lights. No normal maps, shadows or fog: it
// is for judging shapes, proportions and composition without a GPU.
class PreviewRenderer {
public:
    PreviewRenderer(int width, int height);

    // Adds a model file; skinned meshes are posed at animationTime (seconds
    // into the first clip) when given. pointLights come from the prop
    // targets beside the model when the file exists.
    void addModel(const std::filesystem::path& glb, std::optional<float> animationTime = {});
    void addTargetLights(const std::filesystem::path& propTargets);
    void setCavityTexture(const std::filesystem::path& png);
    // A pale stand-in for the vehicle, to judge the composition around it.
    void addVehicleStandIn();

    Image render(const Camera& camera) const;

    struct Triangle {
        glm::vec3 p[3];
        glm::vec3 n[3];
        glm::vec2 uv[3];
        int texture;      // index into textures_, -1 for none
        glm::vec3 colour; // base colour (lit) or flat colour (unlit)
        glm::vec3 emissive;
        bool unlit;
        bool blend;
        float opacity;
        bool ring; // hidden while it faces the camera
        glm::vec3 ringCentre;
    };
    struct Light {
        glm::vec3 position;
        glm::vec3 colour;
        float radius;
    };

private:
    int width_, height_;
    std::vector<Triangle> triangles_;
    std::vector<Image> textures_;
    std::vector<Light> lights_;
    int cavity_ = -1;
};

} // namespace gloam::forge::preview
