#include "platform/ui_queue.h"

#include <utility>

namespace platform {

void UiQueue::SetWake(std::function<void()> wake) {
    std::lock_guard lock(mutex_);
    wake_ = std::move(wake);
    drainScheduled_ = false;
    if (!wake_) {
        pending_.clear();
    } else if (!pending_.empty()) {
        drainScheduled_ = true;
        wake_();
    }
}

void UiQueue::Post(Op op) {
    std::lock_guard lock(mutex_);
    if (!wake_) return;
    pending_.push_back(std::move(op));
    if (!drainScheduled_) {
        drainScheduled_ = true;
        wake_();
    }
}

std::size_t UiQueue::Drain() {
    std::deque<Op> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(pending_);
        drainScheduled_ = false;
    }
    for (Op& op : batch) op();
    return batch.size();
}

std::size_t UiQueue::Pending() const {
    std::lock_guard lock(mutex_);
    return pending_.size();
}

}  // namespace platform
