#pragma once

#include <QAbstractNativeEventFilter>
#include <QWindow>

#include <functional>

namespace gloam::render {

// Tells whether an X11 window is fully covered by other windows. Qt keeps
// such a window "exposed", so the window's visibility events are asked for
// on Qt's own X connection and read by a native event filter. Where there
// are none (Wayland; a compositing window manager, which never reports a
// window covered) the window simply counts as uncovered.
class CoveredWindowWatch : public QAbstractNativeEventFilter {
public:
    // `changed` runs on the GUI thread when the window becomes covered or
    // uncovered.
    CoveredWindowWatch(WId window, std::function<void(bool covered)> changed);
    ~CoveredWindowWatch() override;
    CoveredWindowWatch(const CoveredWindowWatch&) = delete;
    CoveredWindowWatch& operator=(const CoveredWindowWatch&) = delete;

    bool covered() const { return covered_; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    WId window_;
    std::function<void(bool)> changed_;
    bool covered_ = false;
    bool watching_ = false;
};

} // namespace gloam::render
