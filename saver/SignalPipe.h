#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace gloam::saver {

// SIGTERM and SIGINT as events of the main loop. The handler only writes
// the signal's number into a pipe; the main loop reads it and runs
// `received` there, where any work is safe. One per process.
class SignalPipe {
public:
    explicit SignalPipe(std::function<void(int signal)> received);
    ~SignalPipe();
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

private:
    void read();

    std::function<void(int)> received_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace gloam::saver
