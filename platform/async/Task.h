#pragma once

#include "platform/async/CancellationError.h"
#include "platform/async/CancellationState.h"

#include <coroutine>
#include <exception>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace gloam::async {

template <typename T>
class Task;

namespace detail {

// What every task promise carries: who awaits it, the cancellation state of
// its task tree, and the exception it ended with.
struct PromiseBase {
    std::coroutine_handle<> continuation;
    std::shared_ptr<CancellationState> cancellation;
    std::exception_ptr exception;

    struct FinalAwaiter {
        bool await_ready() const noexcept { return false; }
        template <typename P>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<P> done) noexcept
        {
            if (auto next = done.promise().continuation) {
                return next;
            }
            return std::noop_coroutine();
        }
        void await_resume() const noexcept {}
    };

    std::suspend_always initial_suspend() const noexcept { return {}; }
    FinalAwaiter final_suspend() const noexcept { return {}; }
    void unhandled_exception() noexcept { exception = std::current_exception(); }
};

template <typename T>
struct TaskPromise : PromiseBase {
    std::optional<T> value;
    Task<T> get_return_object() noexcept;
    template <typename U>
    void return_value(U&& result)
    {
        value.emplace(std::forward<U>(result));
    }
};

template <>
struct TaskPromise<void> : PromiseBase {
    Task<void> get_return_object() noexcept;
    void return_void() const noexcept {}
};

// Every awaitable of this library learns the awaiting task's cancellation
// state from the handle it is suspended with.
template <typename P>
std::shared_ptr<CancellationState> cancellationOf(std::coroutine_handle<P> handle)
{
    return handle.promise().cancellation;
}

} // namespace detail

// A lazily started coroutine that runs on the main actor. Awaiting it starts
// it, shares the awaiting task's cancellation, and yields its result or
// rethrows its error. Start a top-level task with `spawn` (TaskHandle.h).
template <typename T = void>
class [[nodiscard]] Task {
public:
    using promise_type = detail::TaskPromise<T>;
    using Handle = std::coroutine_handle<promise_type>;

    Task() = default;
    explicit Task(Handle handle) noexcept
        : handle_(handle)
    {}
    Task(Task&& other) noexcept
        : handle_(std::exchange(other.handle_, {}))
    {}
    Task& operator=(Task&& other) noexcept
    {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, {});
        }
        return *this;
    }
    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;
    ~Task() { reset(); }

    bool valid() const noexcept { return static_cast<bool>(handle_); }

    struct Awaiter;
    Awaiter operator co_await() && noexcept { return Awaiter{handle_}; }

    struct Awaiter {
        Handle child;
        bool await_ready() const noexcept { return !child || child.done(); }
        template <typename P>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<P> parent) noexcept
        {
            child.promise().cancellation = detail::cancellationOf(parent);
            child.promise().continuation = parent;
            return child;
        }
        T await_resume()
        {
            auto& promise = child.promise();
            if (promise.exception) {
                std::rethrow_exception(promise.exception);
            }
            if constexpr (!std::is_void_v<T>) {
                return std::move(*promise.value);
            }
        }
    };

    // For the top-level driver only.
    Handle handle() const noexcept { return handle_; }

private:
    void reset() noexcept
    {
        if (handle_) {
            handle_.destroy();
            handle_ = {};
        }
    }

    Handle handle_;
};

namespace detail {

template <typename T>
Task<T> TaskPromise<T>::get_return_object() noexcept
{
    return Task<T>(std::coroutine_handle<TaskPromise<T>>::from_promise(*this));
}

inline Task<void> TaskPromise<void>::get_return_object() noexcept
{
    return Task<void>(std::coroutine_handle<TaskPromise<void>>::from_promise(*this));
}

} // namespace detail

// `co_await checkCancellation();` ends the task with CancellationError when
// it has been cancelled, and does nothing otherwise.
struct CheckCancellation {
    std::shared_ptr<CancellationState> cancellation;
    bool await_ready() const noexcept { return false; }
    template <typename P>
    bool await_suspend(std::coroutine_handle<P> self) noexcept
    {
        cancellation = detail::cancellationOf(self);
        return false; // never actually suspends
    }
    void await_resume() const
    {
        if (cancellation && cancellation->isCancelled()) {
            throw CancellationError();
        }
    }
};
inline CheckCancellation checkCancellation()
{
    return {};
}

// `bool cancelled = co_await isCancelled();` asks without throwing.
struct IsCancelled {
    std::shared_ptr<CancellationState> cancellation;
    bool await_ready() const noexcept { return false; }
    template <typename P>
    bool await_suspend(std::coroutine_handle<P> self) noexcept
    {
        cancellation = detail::cancellationOf(self);
        return false;
    }
    bool await_resume() const noexcept { return cancellation && cancellation->isCancelled(); }
};
inline IsCancelled isCancelled()
{
    return {};
}

} // namespace gloam::async
