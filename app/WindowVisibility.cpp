#include "app/WindowVisibility.h"

#include <QEvent>
#include <QWindow>

namespace gloam::app {

void WindowVisibility::watch(QWindow* window)
{
    if (window_) {
        window_->removeEventFilter(this);
        disconnect(window_, nullptr, this, nullptr);
    }
    window_ = window;
    if (!window) {
        return;
    }
    window->installEventFilter(this);
    connect(window, &QWindow::windowStateChanged, this, &WindowVisibility::read);
    connect(window, &QWindow::visibleChanged, this, &WindowVisibility::read);
    read();
}

void WindowVisibility::setState(bool minimized, bool hidden)
{
    if (minimized == minimized_ && hidden == hidden_) {
        return;
    }
    minimized_ = minimized;
    hidden_ = hidden;
    emit changed();
}

bool WindowVisibility::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_ && event->type() == QEvent::Expose) {
        // Qt records the new exposure before it sends the event.
        read();
    }
    return QObject::eventFilter(watched, event);
}

void WindowVisibility::read()
{
    if (!window_) {
        return;
    }
    const bool exposed = window_->isExposed();
    exposedOnce_ = exposedOnce_ || exposed;
    // Before the window system first shows the window it is not exposed
    // either; that is the start, not a hidden window.
    const bool unexposed = exposedOnce_ && !exposed;
    setState((window_->windowStates() & Qt::WindowMinimized) != 0, !window_->isVisible() || unexposed);
}

} // namespace gloam::app
