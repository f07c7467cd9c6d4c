#include "platform/async/TaskHandle.h"

#include "platform/async/MainActor.h"

#include <cstdio>
#include <exception>

namespace gloam::async {

namespace {

// The frame that drives one top-level task: it owns the task, catches what
// it ends with, and frees itself when done.
struct Detached {
    struct promise_type : detail::PromiseBase {
        promise_type(Task<void>&, std::shared_ptr<TaskHandle::State>& state) { cancellation = state->cancellation; }
        Detached get_return_object() const noexcept { return {}; }
        std::suspend_never initial_suspend() const noexcept { return {}; }
        std::suspend_never final_suspend() const noexcept { return {}; }
        void return_void() const noexcept {}
        void unhandled_exception() const noexcept { std::terminate(); }
    };
};

struct StartOnMain {
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> self) const
    {
        MainActor::post([self] { self.resume(); });
    }
    void await_resume() const noexcept {}
};

Detached drive(Task<void> task, std::shared_ptr<TaskHandle::State> state)
{
    co_await StartOnMain{};
    try {
        if (!state->cancellation->isCancelled()) {
            co_await std::move(task);
        }
    } catch (const CancellationError&) {
        // Called off: silent by design.
    } catch (const std::exception& error) {
        std::fprintf(stderr, "task failed: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "task failed: unknown error\n");
    }
    state->done = true;
}

} // namespace

TaskHandle spawn(Task<void> task)
{
    auto state = std::make_shared<TaskHandle::State>();
    drive(std::move(task), state);
    return TaskHandle(state);
}

void TaskHandle::cancel() const
{
    if (state_) {
        state_->cancellation->cancel();
    }
}

bool TaskHandle::isCancelled() const
{
    return state_ && state_->cancellation->isCancelled();
}

bool TaskHandle::isDone() const
{
    return state_ && state_->done;
}

} // namespace gloam::async
