#pragma once

#include "platform/render/FramePacketBuilder.h"
#include "platform/scene/View3D.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <string>

namespace gloam {
class GhostView;
}
namespace gloam::render {
class RenderWindow;
}

namespace gloam::app {

// The part of the window the scene fills: the renderer's Qt window (GL on
// its own render thread) inside a widget, the scene view's frame updates
// and labels, and the pointer and keys handed to the scene view. Keys the
// scene does not use go on to the window as any widget's would, so Tab and
// Shift+Tab lead from the scene to the controls.
//
// The scene view is made by the owner once the host has a GPU (the
// post-process prepares its kernels on it): `onGpuReady` says when. A host
// made without drawing shows nothing and never calls it; whoever made it
// presents the scene's frames (tests do, with a headless context).
class SceneHost : public QWidget {
public:
    SceneHost(bool draws, float bottomInset, QWidget* parent = nullptr);
    ~SceneHost() override;

    void setScene(std::shared_ptr<GhostView> scene);
    const std::shared_ptr<GhostView>& scene() const { return scene_; }

    // The scene view's frame in the window's content, in points with the
    // origin at the bottom left: it sits on the control row.
    platform::Rect sceneFrame() const;

    // Called once, from the first frame the renderer asks for.
    std::function<void()> onGpuReady;
    // Called once, when the first frame of the scene goes to the renderer.
    std::function<void()> onFirstSceneFrame;
    // Rendering could not start: the reason.
    std::function<void(const std::string&)> onFailure;

    render::RenderWindow* renderWindow() const { return window_; }
    // The widget that takes the keyboard focus for the scene.
    QWidget* focusTarget() { return container_ != nullptr ? container_ : this; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::shared_ptr<const render::FramePacket> nextFrame(double delta);
    void followSize();
    // Whether the scene used the key.
    bool sceneKey(const QKeyEvent* event);
    // A key pressed in the renderer's window that the scene did not use.
    void passOn(QKeyEvent* event);

    const float bottomInset_;
    render::RenderWindow* window_ = nullptr; // owned by its container widget
    QWidget* container_ = nullptr;
    std::shared_ptr<GhostView> scene_;
    render::FramePacketBuilder builder_;
    double time_ = 0;
    bool gpuReported_ = false;
    bool firstFrameReported_ = false;
};

} // namespace gloam::app
