#include "installer/ProcessExit.h"

#include "platform/async/MainActor.h"

#include <QFile>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <coroutine>
#include <memory>

#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace gloam::installer {

bool processIsAlive(pid_t pid)
{
    if (pid <= 0 || (kill(pid, 0) != 0 && errno == ESRCH)) {
        return false;
    }
    // A process that has exited but not been reaped still answers signal 0.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        if (close >= 0 && close + 2 < line.size() && (line[close + 2] == 'Z' || line[close + 2] == 'X')) {
            return false;
        }
    }
    return true;
}

namespace {

// The wait's shared cells: whether it has finished, and what watches the exit.
struct ExitWait {
    bool finished = false;
    bool result = false;
    std::unique_ptr<QObject> context;
    QSocketNotifier* notifier = nullptr;
    std::coroutine_handle<> waiter;

    // Ends the wait once; later calls do nothing.
    void finish(bool value, const std::shared_ptr<ExitWait>& self)
    {
        if (finished) {
            return;
        }
        finished = true;
        result = value;
        if (notifier) {
            notifier->setEnabled(false);
        }
        if (context) {
            // Watchers may be mid-signal: drop them in a later turn of the loop.
            context.release()->deleteLater();
        }
        if (waiter) {
            auto resume = waiter;
            waiter = {};
            async::MainActor::post([resume, keep = self] { resume.resume(); });
        }
    }
};

struct ObservedExitAwaiter {
    pid_t pid;
    std::function<bool()> request;
    double limitSeconds;
    std::shared_ptr<ExitWait> wait = std::make_shared<ExitWait>();

    bool await_ready() const noexcept { return false; }

    bool await_suspend(std::coroutine_handle<> self)
    {
        auto state = wait;
        state->context = std::make_unique<QObject>();
        const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
        if (pidfd >= 0) {
            // The descriptor lives as long as the watch on it.
            QObject::connect(state->context.get(), &QObject::destroyed, [pidfd] { ::close(pidfd); });
            auto* notifier = new QSocketNotifier(pidfd, QSocketNotifier::Read, state->context.get());
            state->notifier = notifier;
            QObject::connect(notifier, &QSocketNotifier::activated, notifier, [weak = std::weak_ptr(state)] {
                if (auto strong = weak.lock()) {
                    strong->finish(true, strong);
                }
            });
        }
        if (!request()) {
            state->finish(false, state);
        } else if (!processIsAlive(pid)) {
            // Gone before the watch could see it exit.
            state->finish(true, state);
        } else {
            auto* timer = new QTimer(state->context.get());
            timer->setSingleShot(true);
            QObject::connect(timer, &QTimer::timeout, timer, [weak = std::weak_ptr(state), target = pid] {
                if (auto strong = weak.lock()) {
                    strong->finish(!processIsAlive(target), strong);
                }
            });
            timer->start(static_cast<int>(limitSeconds * 1000));
        }
        if (state->finished) {
            return false;
        }
        state->waiter = self;
        return true;
    }

    bool await_resume() const noexcept { return wait->result; }
};

} // namespace

async::Task<bool> observedExit(pid_t pid, std::function<bool()> request, double limitSeconds)
{
    ObservedExitAwaiter awaiter{pid, std::move(request), limitSeconds};
    co_return co_await awaiter;
}

} // namespace gloam::installer
