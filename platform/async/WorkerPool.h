#pragma once

#include <functional>

class QThreadPool;

namespace gloam::async {

// The pool that runs blocking work (file loading, parsing, decoding,
// collision building) off the main actor.
class WorkerPool {
public:
    static WorkerPool& shared();

    void start(std::function<void()> job);

    // Blocks until every queued job has run; for orderly shutdown and tests.
    void waitForDone();

private:
    WorkerPool();
    QThreadPool* pool_;
};

} // namespace gloam::async
