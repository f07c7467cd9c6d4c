#pragma once

#include "platform/render/MaterialValues.h"
#include "platform/render/MeshData.h"
#include "platform/render/PostProcessContext.h"

#include <glm/mat4x4.hpp>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace gloam::render {

// One mesh to draw with its material and where it stands. `opacity` is the
// product of the opacities of the entity and its ancestors; below 1 the
// draw blends even with an opaque material.
struct DrawItem {
    MeshPtr mesh;
    MaterialValues material;
    glm::mat4 world{1.0f};
    float opacity = 1.0f;
    bool castsShadow = true;
    // Skinned meshes: one matrix per joint, taking bind-pose mesh
    // coordinates to the mesh's model coordinates (joint world × inverse
    // bind, brought into the mesh entity's space).
    std::vector<glm::mat4> jointMatrices;
};

// A point light; intensity in lumens, light reaching no further than the
// attenuation radius (in metres, smooth fall-off to zero there).
struct PointLightRecord {
    glm::vec3 position{0.0f};
    glm::vec3 color{1.0f};
    float intensity = 1000.0f;
    float attenuationRadius = 10.0f;
};

// A sun-like light: direction the light travels, illuminance in lux,
// optional shadow within `shadowMaximumDistance` metres of the camera.
// The first one that casts a shadow gets the shadow map; the others light
// without shadow.
struct DirectionalLightRecord {
    glm::vec3 direction{0.0f, -1.0f, 0.0f};
    glm::vec3 color{1.0f};
    float intensity = 3000.0f;
    bool castsShadow = true;
    float shadowMaximumDistance = 20.0f;
    float shadowDepthBias = 1.0f;
};

// Image-based light from an equirectangular picture (longitude along x
// from −z through +x, +z and −x; +y at the top row), scaled by
// 2^intensityExponent; and the colour behind everything.
struct EnvironmentRecord {
    glm::vec4 background{0.0f, 0.0f, 0.0f, 1.0f};
    ImagePtr image;
    float intensityExponent = 0.0f;
};

struct CameraRecord {
    glm::mat4 world{1.0f};            // camera to world; looks down its −Z
    float verticalFieldOfView = 1.0f; // radians
    float nearPlane = 0.05f;
    float farPlane = 500.0f;
};

// Text drawn over the finished frame: white, centred, on a rounded
// translucent black plate (`plate`), or plain at a position.
struct OverlayLabel {
    std::string text;
    glm::vec2 position{0.5f}; // centre, in 0..1 of the frame (y down)
    float pointSize = 15.0f;  // in device-independent pixels
    bool plate = true;
    // The label's box in device-independent pixels, the text centred in it
    // and wrapped at spaces to its width; zero: the box fits the text on
    // one line. A box too low for the wrapped lines grows to hold them.
    glm::vec2 size{0.0f};
    float plateAlpha = 0.55f;   // the black plate's opacity
    float cornerRadius = 10.0f; // in device-independent pixels
};

// Everything one frame draws, immutable once published by the main thread.
struct FramePacket {
    double time = 0.0;
    CameraRecord camera;
    std::vector<DrawItem> draws;
    std::vector<PointLightRecord> pointLights;
    std::vector<DirectionalLightRecord> directionalLights; // every enabled one, in scene order
    EnvironmentRecord environment;
    std::optional<float> exposureEv100; // the calibrated default when unset
    std::vector<OverlayLabel> labels;
    // The post-process of this frame (a snapshot of the view's slot); when
    // empty, the renderer's own callback, else a plain copy.
    std::function<void(const PostProcessContext&)> postProcess;
};

} // namespace gloam::render
