#pragma once

#include "platform/async/CancellationError.h"
#include "platform/async/ContinuousClock.h"
#include "platform/async/MainActor.h"
#include "platform/async/Task.h"
#include "platform/async/WorkerPool.h"

#include <coroutine>
#include <exception>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

// The suspension points of a task. Each one resumes the task on the main
// actor, and each one ends a cancelled task with CancellationError when it
// resumes.

namespace gloam::async {

namespace detail {

void armMainTimer(double seconds, std::function<void()> fire);

template <typename R>
struct WorkerOutcome {
    std::optional<R> value;
    std::exception_ptr error;
    R take() { return std::move(*value); }
};
template <>
struct WorkerOutcome<void> {
    std::exception_ptr error;
    void take() const noexcept {}
};

} // namespace detail

// `auto work = [file] { return parse(file); };`
// `auto result = co_await onWorker(std::move(work));`
// Runs `work` on the worker pool; the task resumes on the main actor.
// Name the job before the co_await: GCC 12 mishandles a lambda with
// captures written as a temporary inside a co_await expression (its copy
// can point into a freed coroutine frame).
// The work itself is not interrupted by cancellation: a cancelled task waits
// for it, drops its result and ends.
namespace detail {

template <typename F, typename R>
struct WorkerAwaiter {
    F work;
    std::shared_ptr<WorkerOutcome<R>> outcome = std::make_shared<WorkerOutcome<R>>();
    std::shared_ptr<CancellationState> cancellation;

    bool await_ready() const noexcept { return false; }
    template <typename P>
    bool await_suspend(std::coroutine_handle<P> self)
    {
        cancellation = detail::cancellationOf(self);
        if (cancellation && cancellation->isCancelled()) {
            return false;
        }
        WorkerPool::shared().start([job = std::move(work), outcome = outcome, self]() mutable {
            try {
                if constexpr (std::is_void_v<R>) {
                    job();
                } else {
                    outcome->value.emplace(job());
                }
            } catch (...) {
                outcome->error = std::current_exception();
            }
            MainActor::post([self] { self.resume(); });
        });
        return true;
    }
    R await_resume()
    {
        if (cancellation && cancellation->isCancelled()) {
            throw CancellationError();
        }
        if (outcome->error) {
            std::rethrow_exception(outcome->error);
        }
        return outcome->take();
    }
};

} // namespace detail

template <typename F>
auto onWorker(F work)
{
    using R = std::invoke_result_t<F&>;
    detail::WorkerAwaiter<F, R> awaiter{std::move(work), std::make_shared<detail::WorkerOutcome<R>>(), nullptr};
    return awaiter;
}

// `co_await sleepFor(0.5);` parks the task for that many seconds of the
// continuous clock. Cancelling the task wakes it at once.
class SleepFor {
public:
    explicit SleepFor(double seconds)
        : seconds_(seconds)
    {}

    bool await_ready() const noexcept { return false; }
    template <typename P>
    bool await_suspend(std::coroutine_handle<P> self)
    {
        cancellation_ = detail::cancellationOf(self);
        return park(self);
    }
    void await_resume() const
    {
        if (cancellation_ && cancellation_->isCancelled()) {
            throw CancellationError();
        }
    }

private:
    bool park(std::coroutine_handle<> self);

    double seconds_;
    std::shared_ptr<CancellationState> cancellation_;
};
inline SleepFor sleepFor(double seconds)
{
    return SleepFor(seconds);
}

// `co_await resumeOnMain();` lets the event loop run (frames, input, other
// tasks) and continues in a later turn of it.
struct ResumeOnMain {
    std::shared_ptr<CancellationState> cancellation;
    bool await_ready() const noexcept { return false; }
    template <typename P>
    void await_suspend(std::coroutine_handle<P> self)
    {
        cancellation = detail::cancellationOf(self);
        MainActor::post([self] { self.resume(); });
    }
    void await_resume() const
    {
        if (cancellation && cancellation->isCancelled()) {
            throw CancellationError();
        }
    }
};
inline ResumeOnMain resumeOnMain()
{
    return {};
}

} // namespace gloam::async
