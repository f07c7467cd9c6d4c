#include "platform/async/Suspensions.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace gloam::async {

namespace detail {

void armMainTimer(double seconds, std::function<void()> fire)
{
    const double clamped = std::clamp(seconds, 0.0, 2.0e6);
    const int milliseconds = static_cast<int>(std::ceil(clamped * 1000.0));
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, MainActor::context(), std::move(fire));
}

} // namespace detail

namespace {

// One parked sleep. Whichever comes first, the deadline or a cancellation,
// resumes the task; the other finds `resumed` set and does nothing. Both
// paths run on the main actor, so the flag needs no lock.
struct ParkedSleep : std::enable_shared_from_this<ParkedSleep> {
    std::coroutine_handle<> task;
    double deadline = 0;
    bool resumed = false;
    std::shared_ptr<CancellationState> cancellation;
    CancellationState::CallbackId wakeId = 0;

    void armTimer()
    {
        detail::armMainTimer(deadline - ContinuousClock::now(),
                             [self = shared_from_this()] { self->deadlineReached(); });
    }

    void deadlineReached()
    {
        if (resumed) {
            return;
        }
        // Qt's timers run on the monotonic clock; if the machine slept, the
        // continuous deadline may still be ahead.
        if (ContinuousClock::now() + 0.0005 < deadline && !(cancellation && cancellation->isCancelled())) {
            armTimer();
            return;
        }
        wake();
    }

    void wake()
    {
        if (resumed) {
            return;
        }
        resumed = true;
        if (cancellation && wakeId != 0) {
            cancellation->removeCallback(wakeId);
        }
        task.resume();
    }
};

} // namespace

bool SleepFor::park(std::coroutine_handle<> self)
{
    if (cancellation_ && cancellation_->isCancelled()) {
        return false;
    }
    auto parked = std::make_shared<ParkedSleep>();
    parked->task = self;
    parked->deadline = ContinuousClock::now() + std::max(seconds_, 0.0);
    parked->cancellation = cancellation_;
    parked->armTimer();
    if (cancellation_) {
        std::weak_ptr<ParkedSleep> weak = parked;
        parked->wakeId = cancellation_->onCancel([weak] {
            MainActor::post([weak] {
                if (auto sleeping = weak.lock()) {
                    sleeping->wake();
                }
            });
        });
    }
    return true;
}

} // namespace gloam::async
