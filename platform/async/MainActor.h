#pragma once

#include <functional>

class QObject;

namespace gloam::async {

// The main actor is the thread that runs the Qt event loop of the
// process's QCoreApplication. Everything that touches the scene runs there.
class MainActor {
public:
    // The object whose thread is the main actor. Requires a QCoreApplication.
    static QObject* context();

    // Queues `job` to run on the main actor's event loop, from any thread.
    // Once the application is gone (a worker finishing during shutdown) the
    // job is dropped.
    static void post(std::function<void()> job);
};

} // namespace gloam::async
