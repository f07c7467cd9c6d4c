#pragma once

#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <functional>
#include <optional>

namespace gloam::app {

// Stores the app's volume once the slider settles rather than on every
// step: when a drag ends, or after a short quiet spell of key or wheel
// steps. The writes run in order on a thread of their own, so a settings
// file that the screen saver holds locked never holds up the window (which
// also draws every frame).
class VolumeSaver : public QObject {
public:
    static constexpr int quietMilliseconds = 500;

    using Store = std::function<void(float volume)>;
    explicit VolumeSaver(Store store, QObject* parent = nullptr);
    // Stores what is pending and waits for the writes.
    ~VolumeSaver() override;

    VolumeSaver(const VolumeSaver&) = delete;
    VolumeSaver& operator=(const VolumeSaver&) = delete;

    // The slider moved to `volume`; `dragging` while its handle is held.
    void changed(float volume, bool dragging);
    // The handle was let go at `volume`: stored now.
    void dragEnded(float volume);
    // Forgets a pending value (the caller stored the volume itself).
    void discardPending();
    // Stores a pending value now and waits until every write has finished.
    void flush();

    bool pending() const { return pending_.has_value(); }

private:
    void storePending();

    Store store_;
    QTimer quiet_;
    std::optional<float> pending_;
    QThreadPool writer_;
};

} // namespace gloam::app
