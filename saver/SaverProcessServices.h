#pragma once

#include "saver/SaverServices.h"

class QScreen;

namespace gloam::saver {

// The services of the saver program: Qt timers on the main event loop,
// GhostView scenes, the shared store of choices, XScreenSaver's status,
// Qt's monitors, and the lifecycle log.
class SaverProcessServices : public SaverServices {
public:
    std::unique_ptr<SaverTimer> schedule(double seconds, bool repeats, std::function<void()> action) override;
    std::shared_ptr<SaverScene> makeScene(SaverSize frame, Vehicle vehicle) override;
    Vehicle storedVehicle() override;
    bool screenSaverRunning() override;
    std::optional<SaverScreen> firstScreen() override;
    std::shared_ptr<void> beginActivity(const std::string& reason) override;
    void record(const std::function<std::string()>& message) override;

    // A Qt monitor as the saver views see it: its number is its place in
    // Qt's list of monitors.
    static std::optional<SaverScreen> describeScreen(const QScreen* screen);
};

} // namespace gloam::saver
