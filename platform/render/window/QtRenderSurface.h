#pragma once

#include "platform/render/RenderSurface.h"

#include <atomic>
#include <memory>

class QOpenGLContext;
class QWindow;

namespace gloam::render {

// A Qt window as a render surface. The GL context is made on the render
// thread the first time it is made current there (so it belongs to that
// thread) and deleted there when the render thread ends. The window's size
// is recorded from the GUI thread through `updateSize`.
//
// This file holds the Qt GL glue only: Qt's GL headers and libepoxy's must
// never meet in one translation unit.
class QtRenderSurface : public RenderSurface {
public:
    explicit QtRenderSurface(QWindow* window);
    ~QtRenderSurface() override;

    // GUI thread: the window's size in pixels and its scale.
    void updateSize(int pixelWidth, int pixelHeight, float devicePixelRatio, bool exposed);

    void makeCurrent() override;
    void doneCurrent() override;
    void swapBuffers() override;
    unsigned framebuffer() const override;
    int pixelWidth() const override { return width_; }
    int pixelHeight() const override { return height_; }
    float devicePixelRatio() const override { return ratio_; }
    bool isExposed() const override { return exposed_; }

    // The format every Gloamyard GL window asks for (4.5 core).
    static void configure(QWindow* window);

private:
    QWindow* window_;
    std::unique_ptr<QOpenGLContext> context_;
    std::atomic<int> width_{0};
    std::atomic<int> height_{0};
    std::atomic<float> ratio_{1.0f};
    std::atomic<bool> exposed_{false};
};

} // namespace gloam::render
