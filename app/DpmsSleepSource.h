#pragma once

#include "app/SleepSource.h"

#include <QTimer>

#include <memory>
#include <string_view>

struct _XDisplay;

namespace gloam::app {

// The displays going to sleep, from the X server's DPMS state (standby,
// suspend or off). DPMS sends no events, so the state is read every two
// seconds over a connection of our own: one small round trip.
class DpmsSleepSource : public SleepSource {
    Q_OBJECT
public:
    // None outside an X11 session, or when the X server has no DPMS (nested
    // or virtual servers): the app then runs without this source, silently.
    // Under Wayland the X server is Xwayland, which a connection may start
    // on demand and whose DPMS never says anything about the displays.
    static std::unique_ptr<DpmsSleepSource> create();

    // Whether the session is X11: Qt draws through X (`qtPlatform` "xcb"),
    // no Wayland compositor is named (`waylandDisplay`) and the session
    // type (XDG_SESSION_TYPE, may be empty) is not "wayland".
    static bool x11Session(std::string_view qtPlatform, std::string_view waylandDisplay, std::string_view sessionType);
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
