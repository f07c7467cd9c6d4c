#pragma once

#include <chrono>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace gloam::saver {

// SIGTERM and SIGINT as events of the main loop. The handler only writes
// the signal's number into a pipe; the main loop reads it and runs
// `received` there, where any work is safe. One per process.
//
// With a deadline, the handler also wakes a watchdog thread that ends the
// process that long after the signal, should the main loop not have
// finished by then (it may be in the middle of a long frame update when
// the signal comes).
class SignalPipe {
public:
    explicit SignalPipe(std::function<void(int signal)> received,
                        std::chrono::milliseconds deadline = std::chrono::milliseconds::zero());
    ~SignalPipe();
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

private:
    void read();

    std::function<void(int)> received_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace gloam::saver
