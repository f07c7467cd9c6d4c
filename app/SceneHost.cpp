#include "app/SceneHost.h"

#include "engine/scene/GhostView.h"
#include "engine/scene/SceneLabels.h"
#include "platform/render/window/RenderWindow.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QVBoxLayout>
#include <QWindow>
#include <QCoreApplication>

namespace gloam::app {

SceneHost::SceneHost(bool draws, float bottomInset, QWidget* parent)
    : QWidget(parent)
    , bottomInset_(bottomInset)
{
    // The scene's own background colour, until the first frame.
    QPalette dark = palette();
    dark.setColor(QPalette::Window, QColor::fromRgbF(0.012F, 0.022F, 0.035F));
    setPalette(dark);
    setAutoFillBackground(true);
    if (!draws) {
        // Without the renderer's window the host itself takes the keys.
        setFocusPolicy(Qt::StrongFocus);
        return;
    }

    window_ = new render::RenderWindow();
    // The app in front may use every core; unfocused it keeps to one.
    window_->setPacing(render::FramePacing::Rule::everyCoreWhileFocused);
    window_->onFailure = [this](const std::string& reason) {
        if (onFailure) {
            onFailure(reason);
        }
    };
    window_->setFrameUpdate([this](double delta) { return nextFrame(delta); });

    // Window points (origin top left of the scene) to the view's window
    // points (origin bottom left of the content, the control row below).
    const auto point = [this](QMouseEvent* event) {
        const platform::Rect frame = sceneFrame();
        return glm::vec2(frame.x + static_cast<float>(event->position().x()),
                         frame.y + frame.height - static_cast<float>(event->position().y()));
    };
    window_->onMousePress = [this, point](QMouseEvent* event) {
        if (scene_ && event->button() == Qt::LeftButton) {
            scene_->mouseDown(point(event));
        }
    };
    window_->onMouseMove = [this, point](QMouseEvent* event) {
        if (scene_ && (event->buttons() & Qt::LeftButton)) {
            scene_->mouseDragged(point(event));
        }
    };
    window_->onMouseRelease = [this, point](QMouseEvent* event) {
        if (scene_ && event->button() == Qt::LeftButton) {
            scene_->mouseUp(point(event));
        }
    };
    window_->onKeyPress = [this](QKeyEvent* event) {
        if (!sceneKey(event)) {
            passOn(event);
        }
    };

    container_ = QWidget::createWindowContainer(window_, this);
    container_->setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(container_);
}

SceneHost::~SceneHost() = default;

void SceneHost::setScene(std::shared_ptr<GhostView> scene)
{
    scene_ = std::move(scene);
    followSize();
}

platform::Rect SceneHost::sceneFrame() const
{
    return {0.0F, bottomInset_, static_cast<float>(width()), static_cast<float>(height())};
}

void SceneHost::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    followSize();
}

bool SceneHost::sceneKey(const QKeyEvent* event)
{
    return scene_ && scene_->keyDown(event->key() == Qt::Key_Escape ? GhostView::Key::escape : GhostView::Key::other);
}

void SceneHost::keyPressEvent(QKeyEvent* event)
{
    if (sceneKey(event)) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event); // ignored: on to the window
}

void SceneHost::passOn(QKeyEvent* event)
{
    // The renderer's window is a native window of its own, outside the
    // widgets' focus chain, and while it has the keys the window has no
    // focus widget to go on from: Tab and Shift+Tab go on from the widget
    // that stands for the scene, and the top-level window takes the keys
    // back from the renderer's window.
    const bool plain = (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0;
    const bool backwards =
        event->key() == Qt::Key_Backtab || (event->key() == Qt::Key_Tab && (event->modifiers() & Qt::ShiftModifier));
    if (plain && (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)) {
        QWidget* next = container_;
        do {
            next = backwards ? next->previousInFocusChain() : next->nextInFocusChain();
        } while (next != container_ && !(next->window() == window() && next->isEnabled() &&
                                         next->isVisibleTo(window()) && (next->focusPolicy() & Qt::TabFocus) != 0));
        if (QWindow* top = window()->windowHandle()) {
            top->requestActivate();
        }
        next->setFocus(backwards ? Qt::BacktabFocusReason : Qt::TabFocusReason);
        return;
    }
    // Any other key travels up from the scene's widget, as a widget's would.
    QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->nativeScanCode(), event->nativeVirtualKey(),
                   event->nativeModifiers(), event->text(), event->isAutoRepeat(), event->count());
    QCoreApplication::sendEvent(container_, &copy);
}

void SceneHost::followSize()
{
    if (scene_ && !scene_->isStopped() && !(scene_->frame() == sceneFrame())) {
        scene_->setFrame(sceneFrame());
    }
}

std::shared_ptr<const render::FramePacket> SceneHost::nextFrame(double delta)
{
    if (!gpuReported_) {
        gpuReported_ = true;
        if (onGpuReady) {
            onGpuReady();
        }
    }
    if (!scene_ || scene_->isStopped()) {
        return nullptr;
    }
    followSize();
    scene_->render().scene().update(delta);
    time_ += delta;
    auto packet = std::make_shared<render::FramePacket>(builder_.build(scene_->render(), time_));
    addSceneLabels(*scene_, *packet);
    if (!firstFrameReported_) {
        firstFrameReported_ = true;
        if (onFirstSceneFrame) {
            onFirstSceneFrame();
        }
    }
    return packet;
}

} // namespace gloam::app
