#include "platform/render/window/RenderWindow.h"

#include "platform/render/RenderThread.h"
#include "platform/render/window/CoveredWindowWatch.h"
#include "platform/render/window/ForeignWindowSize.h"
#include "platform/render/window/QtRenderSurface.h"

#include <QExposeEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>

namespace gloam::render {

RenderWindow::RenderWindow(QWindow* parent)
    : QWindow(parent)
{
    QtRenderSurface::configure(this);
    clock_.start();
    if (FrameStatistics::requested(std::getenv(FrameStatistics::environmentVariable))) {
        statistics_.emplace();
        auto* timer = new QTimer(this);
        QObject::connect(timer, &QTimer::timeout, this, [this] { reportFrameStatistics(); });
        timer->start(250); // the line itself comes once per period
        reportFrameStatistics();
    }
    // Moving to a screen of another scale changes the pixel size.
    QObject::connect(this, &QWindow::screenChanged, this, [this] {
        recordSize();
        if (thread_)
            thread_->requestRedraw();
    });
}

RenderWindow::~RenderWindow()
{
    coverWatch_.reset();
    thread_.reset();
    // The foreign window must not delete this window as its child.
    if (foreign_)
        setParent(static_cast<QWindow*>(nullptr));
}

std::unique_ptr<RenderWindow> RenderWindow::embedded(WId foreignWindow, ForeignSize followed)
{
    const auto size = foreignWindowSize(foreignWindow);
    if (!size)
        return nullptr;
    std::unique_ptr<QWindow> foreign(QWindow::fromWinId(foreignWindow));
    if (!foreign)
        return nullptr;
    auto window = std::make_unique<RenderWindow>(foreign.get());
    const qreal ratio = window->devicePixelRatio();
    window->setGeometry(0, 0, static_cast<int>(size->width / ratio), static_cast<int>(size->height / ratio));
    window->foreign_ = std::move(foreign);
    if (followed == ForeignSize::setByOwner)
        return window;
    // The host does not tell Qt when its window changes size: look twice a
    // second and follow.
    RenderWindow* inner = window.get();
    auto* watch = new QTimer(inner);
    QObject::connect(watch, &QTimer::timeout, inner, [inner, foreignWindow] {
        if (const auto now = foreignWindowSize(foreignWindow)) {
            const qreal r = inner->devicePixelRatio();
            const QSize wanted(static_cast<int>(now->width / r), static_cast<int>(now->height / r));
            if (wanted != inner->size())
                inner->resize(wanted);
        }
    });
    watch->start(500);
    return window;
}

void RenderWindow::setQualityTier(std::optional<QualityTier> tier)
{
    qualityTier_ = tier;
    if (thread_)
        thread_->setQualityTier(tier);
}

void RenderWindow::setPostProcess(Renderer::PostProcess callback)
{
    postProcess_ = callback;
    if (thread_)
        thread_->setPostProcess(std::move(callback));
}

void RenderWindow::recordSize()
{
    if (!surface_)
        return;
    const qreal ratio = devicePixelRatio();
    const bool covered = coverWatch_ && coverWatch_->covered();
    surface_->updateSize(std::max(1, static_cast<int>(width() * ratio)),
                         std::max(1, static_cast<int>(height() * ratio)), static_cast<float>(ratio),
                         isExposed() && !covered);
}

void RenderWindow::start()
{
    if (thread_ || failed_)
        return;
    // A window wholly covered by others draws nothing, like a hidden one.
    coverWatch_ = std::make_unique<CoveredWindowWatch>(winId(), [this](bool covered) {
        recordSize();
        if (!covered && thread_)
            thread_->requestRedraw();
    });
    auto surface = std::make_unique<QtRenderSurface>(this);
    surface_ = surface.get();
    recordSize();
    try {
        thread_ = std::make_unique<RenderThread>(std::move(surface));
    } catch (const std::exception& error) {
        surface_ = nullptr;
        failed_ = true;
        if (onFailure)
            onFailure(error.what());
        return;
    }
    if (postProcess_)
        thread_->setPostProcess(postProcess_);
    if (qualityTier_)
        thread_->setQualityTier(qualityTier_);
    thread_->setPresentedHandler([this] {
        // Render thread: hand the next frame update to the main thread.
        QMetaObject::invokeMethod(
            this, [this] { framePresented(); }, Qt::QueuedConnection);
    });
    if (onStarted)
        onStarted();
    nextFrame();
}

qint64 RenderWindow::frameInterval() const
{
    if (!thread_)
        return 16;
    // At most the tier's rate (60 or 30 frames a second); within one core
    // unless the rule lets the focused window use them all.
    const bool oneCore = pacing_ == FramePacing::Rule::oneCore || !isActive();
    const double interval = FramePacing::interval(thread_->minimumFrameInterval(), thread_->lastFrameCost(), oneCore);
    return static_cast<qint64>(std::ceil(interval));
}

void RenderWindow::reportFrameStatistics()
{
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    const double cpuMilliseconds = static_cast<double>(cpu.tv_sec) * 1e3 + static_cast<double>(cpu.tv_nsec) * 1e-6;
    const std::uint64_t frames = thread_ ? thread_->presentedFrames() : 0;
    if (const auto line = statistics_->sample(frames, cpuMilliseconds, static_cast<double>(clock_.elapsed())))
        std::fprintf(stderr, "%s\n", line->c_str());
}

void RenderWindow::framePresented()
{
    if (frameQueued_)
        return;
    const qint64 wait = lastFrame_ < 0 ? 0 : frameInterval() - (clock_.elapsed() - lastFrame_);
    if (wait > 0) {
        frameQueued_ = true;
        QTimer::singleShot(static_cast<int>(wait), this, [this] {
            frameQueued_ = false;
            nextFrame();
        });
    } else {
        nextFrame();
    }
}

void RenderWindow::nextFrame()
{
    if (!thread_)
        return;
    const qint64 now = clock_.elapsed();
    const double delta = lastFrame_ < 0 ? 0.0 : static_cast<double>(std::max<qint64>(now - lastFrame_, 0)) / 1000.0;
    lastFrame_ = now;
    std::shared_ptr<const FramePacket> packet = frameUpdate_ ? frameUpdate_(delta) : nullptr;
    if (!packet)
        packet = std::make_shared<FramePacket>();
    thread_->publish(std::move(packet));
}

void RenderWindow::exposeEvent(QExposeEvent* event)
{
    QWindow::exposeEvent(event);
    if (isExposed())
        start();
    recordSize();
    if (thread_)
        thread_->requestRedraw();
}

void RenderWindow::resizeEvent(QResizeEvent* event)
{
    QWindow::resizeEvent(event);
    recordSize();
    if (thread_)
        thread_->requestRedraw();
}

bool RenderWindow::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (onMousePress)
            onMousePress(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::MouseMove:
        if (onMouseMove)
            onMouseMove(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::MouseButtonRelease:
        if (onMouseRelease)
            onMouseRelease(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::Wheel:
        if (onWheel)
            onWheel(static_cast<QWheelEvent*>(event));
        return true;
    case QEvent::KeyPress:
        if (onKeyPress)
            onKeyPress(static_cast<QKeyEvent*>(event));
        return true;
    case QEvent::PlatformSurface:
        recordSize();
        break;
    default:
        break;
    }
    return QWindow::event(event);
}

} // namespace gloam::render
