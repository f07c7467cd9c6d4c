#pragma once

#include "platform/render/FramePacing.h"
#include "platform/render/FramePacket.h"
#include "platform/render/FrameStatistics.h"
#include "platform/render/Renderer.h"

#include <QElapsedTimer>
#include <QWindow>

#include <functional>
#include <memory>
#include <optional>

namespace gloam::render {

class CoveredWindowWatch;
class QtRenderSurface;
class RenderThread;

// A Qt window that shows the renderer: GL on a render thread of its own,
// resizing and device-pixel ratio followed, pointer and key events handed
// to the owner. The frame loop: each presented frame asks the owner, on the
// main thread, for the next frame packet (`setFrameUpdate`), at most once
// per display refresh (swap interval 1), at most 30 times a second on the
// software quality tier, and within the pacing rule (FramePacing): one
// core's worth of CPU time, or every core while the window has focus when
// its owner allows it. With GLOAMYARD_FRAME_STATS=1 it prints its frame
// rate and the process's CPU use every five seconds. A window that is hidden, minimised or fully covered draws
// nothing and runs no frame updates until it shows again.
class RenderWindow : public QWindow {
public:
    using FrameUpdate = std::function<std::shared_ptr<const FramePacket>(double deltaSeconds)>;
    using MouseHandler = std::function<void(QMouseEvent*)>;

    explicit RenderWindow(QWindow* parent = nullptr);
    ~RenderWindow() override;

    // How an embedded window learns the foreign window's size: Qt is not
    // told when a window it did not make changes size.
    enum class ForeignSize {
        polled,     // asked of the X server twice a second
        setByOwner, // the owner watches the foreign window and resizes this one
    };
    // A window inside a foreign native window (an X11 window id, such as the
    // one a screen-saver host gives), as large as that window is now.
    static std::unique_ptr<RenderWindow> embedded(WId foreignWindow, ForeignSize followed = ForeignSize::polled);

    void setFrameUpdate(FrameUpdate update) { frameUpdate_ = std::move(update); }
    // One core (the default) or every core while focused (the app).
    void setPacing(FramePacing::Rule rule) { pacing_ = rule; }
    void setPostProcess(Renderer::PostProcess callback);
    // None (the default): chosen from the GL renderer and GLOAMYARD_QUALITY.
    void setQualityTier(std::optional<QualityTier> tier);

    std::function<void(QMouseEvent*)> onMousePress, onMouseMove, onMouseRelease;
    std::function<void(QWheelEvent*)> onWheel;
    std::function<void(QKeyEvent*)> onKeyPress;
    // Rendering could not start (no GL 4.5): the reason, once.
    std::function<void(const std::string&)> onFailure;
    // The render thread has started and its GPU device is the process's
    // default: what needs a device may be built from now on. Once.
    std::function<void()> onStarted;

    // The render thread, once the window has been exposed; else null.
    RenderThread* renderThread() const { return thread_.get(); }

protected:
    bool event(QEvent* event) override;
    void exposeEvent(QExposeEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void start();
    void nextFrame();
    void framePresented();
    void recordSize();
    qint64 frameInterval() const;
    void reportFrameStatistics();

    QtRenderSurface* surface_ = nullptr; // owned by the render thread
    std::unique_ptr<RenderThread> thread_;
    std::unique_ptr<QWindow> foreign_;
    std::unique_ptr<CoveredWindowWatch> coverWatch_;
    FrameUpdate frameUpdate_;
    Renderer::PostProcess postProcess_;
    std::optional<QualityTier> qualityTier_;
    FramePacing::Rule pacing_ = FramePacing::Rule::oneCore;
    std::optional<FrameStatistics> statistics_;
    QElapsedTimer clock_;
    qint64 lastFrame_ = -1;
    bool failed_ = false;
    bool frameQueued_ = false;
};

} // namespace gloam::render
