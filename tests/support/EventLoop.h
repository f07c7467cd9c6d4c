#pragma once

#include "platform/async/WorkerPool.h"

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

// Lets the tasks of an object the test has just dropped end: their worker
// jobs finish and the continuations those post run, so each cancelled task
// ends and frees its frame. A task still suspended when the test program
// ends would be left behind (a leak under LeakSanitizer), its continuation
// dropped once the application object is gone. A few rounds cover a task
// waiting on a worker from inside another task.
inline void settleTasks()
{
    for (int round = 0; round < 3; ++round) {
        async::WorkerPool::shared().waitForDone();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

} // namespace gloam::testing
