#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

namespace gloam::testing {

// Runs the main event loop until `done` holds or `timeoutSeconds` passes.
// Returns whether `done` held.
inline bool runEventsUntil(const std::function<bool()>& done, double timeoutSeconds = 5.0)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (static_cast<double>(timer.elapsed()) > timeoutSeconds * 1000.0) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

// Runs the event loop for a while, for "nothing else happens" checks.
inline void runEventsFor(double seconds)
{
    QElapsedTimer timer;
    timer.start();
    while (static_cast<double>(timer.elapsed()) < seconds * 1000.0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
}

} // namespace gloam::testing
