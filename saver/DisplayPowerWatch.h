#pragma once

#include <QTimer>

#include <functional>

typedef struct _XDisplay Display;

namespace gloam::saver {

// Display sleep: the monitor's DPMS power level, asked of the X server
// every two seconds (DPMS sends no events). Standby, suspend and off count
// as asleep. Silent where the server has no DPMS.
class DisplayPowerWatch {
public:
    static constexpr int intervalMs = 2000;

    explicit DisplayPowerWatch(std::function<void(bool asleep)> changed);
    ~DisplayPowerWatch();
    DisplayPowerWatch(const DisplayPowerWatch&) = delete;
    DisplayPowerWatch& operator=(const DisplayPowerWatch&) = delete;

    bool watching() const { return display_ != nullptr; }

private:
    void poll();

    std::function<void(bool)> changed_;
    Display* display_ = nullptr;
    bool asleep_ = false;
    QTimer timer_;
};

} // namespace gloam::saver
