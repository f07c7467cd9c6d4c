#pragma once

#include "platform/collision/Ray.h"
#include "platform/scene/Environment.h"
#include "platform/scene/Scene.h"

#include <glm/mat4x4.hpp>
#include <glm/vec2.hpp>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace gloam::render {
struct PostProcessContext;
}

namespace gloam::platform {

// A rectangle in view points: origin, then size.
struct Rect {
    float x = 0.0f;
    float y = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
    bool operator==(const Rect&) const = default;
};

// One 3D view: its scene, the environment, its frame in its window and the
// queries that map between view points and the world. The renderer draws
// exactly what it holds, seen from the scene's active camera, and calls the
// post-process callback once per frame. View coordinates are points with
// the origin at the bottom left of the view, y up.
//
// Everything but the post-process slot is main-thread only; the slot may be
// read from the render thread.
class View3D {
public:
    // Called on the render thread with the renderer's context for the frame
    // (its device and command buffer, the scene's colour and depth, the
    // target to write and the projection).
    using PostProcess = std::function<void(const render::PostProcessContext&)>;

    explicit View3D(Rect frame = {});

    Scene& scene() { return scene_; }
    const Scene& scene() const { return scene_; }
    Environment& environment() { return environment_; }
    const Environment& environment() const { return environment_; }

    Rect frame() const { return frame_; }
    void setFrame(Rect frame) { frame_ = frame; }
    Rect bounds() const { return {0.0f, 0.0f, frame_.width, frame_.height}; }
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden) { hidden_ = hidden; }

    // The camera the view sees through: the scene's first enabled camera.
    EntityPtr camera() const { return scene_.activeCamera(); }
    // width / height of the frame, 1 when either is zero.
    float aspect() const;

    // The world point seen at a view point, or none when it is behind the
    // camera (or there is no camera or no area).
    std::optional<glm::vec2> project(glm::vec3 worldPoint) const;
    // The world ray through a view point, from the camera.
    std::optional<Ray> ray(glm::vec2 viewPoint) const;
    // The front-most entity that is enabled in the hierarchy and has a
    // collision component whose shapes the ray through the point meets.
    EntityPtr entityAt(glm::vec2 viewPoint) const;

    // The per-frame post-process slot (`renderCallbacks.postProcess`).
    void setPostProcess(PostProcess callback);
    void clearPostProcess() { setPostProcess(nullptr); }
    // The installed callback or null; safe on any thread.
    std::shared_ptr<const PostProcess> postProcess() const;

private:
    Scene scene_;
    Environment environment_;
    Rect frame_;
    bool hidden_ = false;
    mutable std::mutex postProcessLock_;
    std::shared_ptr<const PostProcess> postProcess_;
};

} // namespace gloam::platform
