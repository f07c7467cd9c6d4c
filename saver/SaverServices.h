#pragma once

#include "engine/prefs/Vehicle.h"
#include "saver/SaverGeometry.h"
#include "saver/SaverNotifications.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace gloam::saver {

class SaverScene;
class SaverTimer;

// What the saver views of one process share and depend on beyond their
// windows: the event loop's timers, the scene factory, the stored choice,
// the session query, the monitors, the process activity, the lifecycle
// log and the notification centre. The program's services are
// SaverProcessServices; tests drive the views with their own.
class SaverServices {
public:
    virtual ~SaverServices() = default;

    // Runs `action` on the main thread after `seconds` (and every `seconds`
    // when `repeats`) until the timer is cancelled or dropped.
    virtual std::unique_ptr<SaverTimer> schedule(double seconds, bool repeats, std::function<void()> action) = 0;
    // A new scene view in saver mode: not interactive, saver sound.
    virtual std::shared_ptr<SaverScene> makeScene(SaverSize frame, Vehicle vehicle) = 0;
    // The vehicle in the shared store of choices, read now.
    virtual Vehicle storedVehicle() = 0;
    // Whether a real screen-saver session is blanking the display now.
    virtual bool screenSaverRunning() = 0;
    // The first monitor of the system's list (the primary one); none when
    // there is none.
    virtual std::optional<SaverScreen> firstScreen() = 0;
    // Held while a scene is shown; dropping the handle ends the activity.
    virtual std::shared_ptr<void> beginActivity(const std::string& reason) = 0;
    // Writes one lifecycle record; the message is built only when the log
    // is on.
    virtual void record(const std::function<std::string()>& message) = 0;

    SaverNotifications& notifications() { return notifications_; }

private:
    SaverNotifications notifications_;
};

} // namespace gloam::saver
