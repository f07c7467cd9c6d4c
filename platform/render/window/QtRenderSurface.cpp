#include "platform/render/window/QtRenderSurface.h"

#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <QWindow>

#include <stdexcept>

namespace gloam::render {

namespace {

QSurfaceFormat glFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(4, 5);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setDepthBufferSize(0);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setSwapInterval(1);
    return format;
}

} // namespace

QtRenderSurface::QtRenderSurface(QWindow* window)
    : window_(window)
{}

QtRenderSurface::~QtRenderSurface() = default;

void QtRenderSurface::configure(QWindow* window)
{
    window->setSurfaceType(QSurface::OpenGLSurface);
    window->setFormat(glFormat());
}

void QtRenderSurface::updateSize(int pixelWidth, int pixelHeight, float devicePixelRatio, bool exposed)
{
    width_ = pixelWidth;
    height_ = pixelHeight;
    ratio_ = devicePixelRatio;
    exposed_ = exposed;
}

void QtRenderSurface::makeCurrent()
{
    if (!context_) {
        context_ = std::make_unique<QOpenGLContext>();
        context_->setFormat(glFormat());
        if (!context_->create())
            throw std::runtime_error("No OpenGL 4.5 context for the window.");
        const auto made = context_->format();
        if (made.majorVersion() * 10 + made.minorVersion() < 45) {
            throw std::runtime_error("The window's OpenGL is older than 4.5.");
        }
    }
    if (!context_->makeCurrent(window_))
        throw std::runtime_error("The window's OpenGL context cannot be made current.");
}

void QtRenderSurface::doneCurrent()
{
    if (!context_)
        return;
    context_->doneCurrent();
    context_.reset();
}

void QtRenderSurface::swapBuffers()
{
    if (context_ && exposed_)
        context_->swapBuffers(window_);
}

unsigned QtRenderSurface::framebuffer() const
{
    return context_ ? context_->defaultFramebufferObject() : 0;
}

} // namespace gloam::render
