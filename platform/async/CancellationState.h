#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace gloam::async {

// The shared cancellation flag of one task tree. A task and every task it
// awaits share one state; cancelling it runs the registered wake-ups so that
// a task parked in a sleep ends promptly instead of at its deadline.
class CancellationState {
public:
    using CallbackId = std::uint64_t;

    bool isCancelled() const noexcept { return cancelled_.load(std::memory_order_acquire); }

    // Safe from any thread; the callbacks run on the calling thread, once.
    void cancel();

    // Registers a wake-up; runs it at once when already cancelled.
    CallbackId onCancel(std::function<void()> callback);
    void removeCallback(CallbackId id);

private:
    std::atomic<bool> cancelled_{false};
    std::mutex mutex_;
    CallbackId nextId_ = 1;
    std::vector<std::pair<CallbackId, std::function<void()>>> callbacks_;
};

} // namespace gloam::async
