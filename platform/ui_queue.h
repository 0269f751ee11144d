// An ordered queue of operations from any thread to the UI thread.
//
// Operations run on the UI thread in the order they were posted. The queue
// asks its owner to schedule one drain per batch: the wake function runs only
// when the queue turns non-empty, and one drain runs everything pending.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace platform {

class UiQueue {
public:
    using Op = std::function<void()>;

    // Set by the window that drains the queue; an empty function detaches it,
    // after which posted operations are dropped.
    void SetWake(std::function<void()> wake);

    // Any thread. Never blocks on the UI thread.
    void Post(Op op);

    // UI thread: runs the operations pending at the call, oldest first,
    // until `budget` has gone by; the rest wait, in order, for the next
    // drain, which is scheduled at once. Returns how many ran.
    std::size_t Drain(std::chrono::steady_clock::duration budget = std::chrono::steady_clock::duration::max());

    std::size_t Pending() const;

private:
    mutable std::mutex mutex_;
    std::deque<Op> pending_;
    std::function<void()> wake_;
    bool drainScheduled_ = false;
};

}  // namespace platform
