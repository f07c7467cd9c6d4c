#pragma once

#include <QObject>

#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace gloam::platform {

// POSIX signals (SIGTERM, SIGINT, SIGHUP, ...) as events of the Qt main
// loop. The handler only writes the signal's number into a pipe, which is
// all a signal handler may safely do; the main loop reads it and emits
// `received` there, where any work is safe. One per process at a time.
//
// The pipe is made once and stays open for the life of the process, so a
// handler never writes into a closed or reused descriptor, and a signal
// that comes while the main loop is busy (or a second one right after the
// first) only queues another byte. The handler keeps errno as it found it.
//
// `endProcessAfter` arms a watchdog: from the first signal on (or from
// `startDeadline`), the process ends with the given status after the
// deadline should the main loop not have finished by then, for programs
// that must be gone promptly even when a long frame or a blocked call
// holds the main thread. The watchdog is woken with a semaphore, never a
// pipe, so further signals cannot hurt it.
class SignalPipe : public QObject {
    Q_OBJECT
public:
    // Installs the handler for each of `signalNumbers`; the previous
    // dispositions come back when the object goes.
    explicit SignalPipe(std::vector<int> signalNumbers, QObject* parent = nullptr);
    ~SignalPipe() override;
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

    const std::vector<int>& signalNumbers() const { return signalNumbers_; }

    // From now on, a signal (or `startDeadline`) ends the process with
    // `status` that long later, unless the object is gone by then. Ends
    // the process from a thread of its own with _exit: no stdio, no
    // destructors, no atexit handlers. `lastWords`, when given, runs on
    // that thread just before: it must not touch anything the main thread
    // may be holding (no stdio, no shared connections or locks).
    void endProcessAfter(std::chrono::milliseconds deadline, int status = 0, std::function<void()> lastWords = {});
    // Starts the armed deadline now, as a signal would (for a stop that
    // begins another way, such as the window going away). Nothing happens
    // when no deadline is armed.
    void startDeadline();

Q_SIGNALS:
    // On the main loop, once per signal delivered (signals of one kind
    // that come while one is still queued may be merged by the system).
    void received(int signalNumber);

private:
    void readPending();

    std::vector<int> signalNumbers_;
    std::vector<struct sigaction> previous_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace gloam::platform
