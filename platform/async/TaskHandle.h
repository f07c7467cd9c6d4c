#pragma once

#include "platform/async/CancellationState.h"
#include "platform/async/Task.h"

#include <memory>
#include <string>

namespace gloam::async {

// A handle to a task started with `spawn`. Copies share the task. Dropping
// every handle does not cancel the task: call cancel().
class TaskHandle {
public:
    TaskHandle() = default;

    void cancel() const;
    bool isCancelled() const;
    bool isDone() const;
    bool valid() const { return static_cast<bool>(state_); }

    struct State {
        std::shared_ptr<CancellationState> cancellation = std::make_shared<CancellationState>();
        bool done = false; // main actor only
    };

private:
    friend TaskHandle spawn(Task<void> task);
    explicit TaskHandle(std::shared_ptr<State> state)
        : state_(std::move(state))
    {}
    std::shared_ptr<State> state_;
};

// Starts `task` as a top-level task on the main actor. It begins in a later
// turn of the event loop, never inside this call. When it ends with
// CancellationError it ends silently; any other error is logged as
// "task failed: <description>", since nobody is left to receive it.
TaskHandle spawn(Task<void> task);

// Starts a task that holds its owner weakly. `body` must be a coroutine
// function (or a lambda without captures) taking the weak owner by value;
// captures of a coroutine lambda die with the lambda, parameters live in the
// coroutine's frame.
template <typename Owner, typename Body>
TaskHandle spawnWithOwner(const std::shared_ptr<Owner>& owner, Body body)
{
    return spawn(body(std::weak_ptr<Owner>(owner)));
}

// After a suspension: the owner if it is still alive, otherwise the task
// ends silently with CancellationError.
template <typename Owner>
std::shared_ptr<Owner> requireOwner(const std::weak_ptr<Owner>& owner)
{
    auto strong = owner.lock();
    if (!strong) {
        throw CancellationError();
    }
    return strong;
}

} // namespace gloam::async
