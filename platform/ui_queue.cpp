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

std::size_t UiQueue::Drain(std::chrono::steady_clock::duration budget) {
    std::deque<Op> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(pending_);
        drainScheduled_ = false;
    }
    const auto start = std::chrono::steady_clock::now();
    std::size_t ran = 0;
    while (!batch.empty()) {
        Op op = std::move(batch.front());
        batch.pop_front();
        op();
        ++ran;
        if (std::chrono::steady_clock::now() - start >= budget) break;
    }
    if (!batch.empty()) {
        std::lock_guard lock(mutex_);
        if (!wake_) return ran;  // the window has gone: the rest is dropped
        // Ahead of whatever was posted meanwhile, in their own order.
        pending_.insert(pending_.begin(), std::make_move_iterator(batch.begin()),
                        std::make_move_iterator(batch.end()));
        if (!drainScheduled_) {
            drainScheduled_ = true;
            wake_();
        }
    }
    return ran;
}

std::size_t UiQueue::Pending() const {
    std::lock_guard lock(mutex_);
    return pending_.size();
}

}  // namespace platform
