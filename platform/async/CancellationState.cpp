#include "platform/async/CancellationState.h"

#include <algorithm>

namespace gloam::async {

void CancellationState::cancel()
{
    std::vector<std::pair<CallbackId, std::function<void()>>> toRun;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_.exchange(true, std::memory_order_acq_rel)) {
            return;
        }
        toRun.swap(callbacks_);
    }
    for (auto& entry : toRun) {
        entry.second();
    }
}

CancellationState::CallbackId CancellationState::onCancel(std::function<void()> callback)
{
    {
        std::lock_guard lock(mutex_);
        if (!cancelled_.load(std::memory_order_acquire)) {
            const CallbackId id = nextId_++;
            callbacks_.emplace_back(id, std::move(callback));
            return id;
        }
    }
    callback();
    return 0;
}

void CancellationState::removeCallback(CallbackId id)
{
    std::lock_guard lock(mutex_);
    std::erase_if(callbacks_, [id](const auto& entry) { return entry.first == id; });
}

} // namespace gloam::async
