#pragma once

#include <QObject>
#include <QPointer>

class QWindow;

namespace gloam::app {

// Whether the app's window can be seen: minimised, or hidden (not shown,
// or unmapped so that the window system no longer exposes it). Followed
// from the window's state, visibility and expose events; tests may set the
// state directly.
class WindowVisibility : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Follows `window` from now on.
    void watch(QWindow* window);

    bool minimized() const { return minimized_; }
    bool hidden() const { return hidden_; }

    // Records the state; emits `changed` when it differs.
    void setState(bool minimized, bool hidden);

signals:
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void read();

    QPointer<QWindow> window_;
    bool minimized_ = false;
    bool hidden_ = false;
    bool exposedOnce_ = false;
};

} // namespace gloam::app
