#pragma once

#include "app/SleepSource.h"

#include <QTimer>

#include <memory>

struct _XDisplay;

namespace gloam::app {

// The displays going to sleep, from the X server's DPMS state (standby,
// suspend or off). DPMS sends no events, so the state is read every two
// seconds over a connection of our own: one small round trip.
class DpmsSleepSource : public SleepSource {
    Q_OBJECT
public:
    // None when there is no X server, or it has no DPMS (Wayland without
    // XWayland's DPMS, nested or virtual servers): the app then runs without
    // this source, silently.
    static std::unique_ptr<DpmsSleepSource> create();
    ~DpmsSleepSource() override;

    static constexpr int pollMilliseconds = 2000;

private:
    explicit DpmsSleepSource(_XDisplay* display);
    void poll();

    _XDisplay* display_;
    QTimer timer_;
    bool asleep_ = false;
};

} // namespace gloam::app
