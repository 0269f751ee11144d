#include "discovery/worker_threads.h"

#include <thread>

#include "platform/thread_priority.h"

bool WorkerThreads::Start(std::function<void()> work) {
    {
        std::lock_guard lock(count_->mutex);
        ++count_->running;
    }
    try {
        std::thread([count = count_, work = std::move(work)] {
            // Camera details may come later; the window's own thread comes first.
            platform::LowerCurrentThreadPriority();
            try {
                work();
            } catch (...) {
                // A worker that cannot go on simply ends; its row keeps what it has.
            }
            {
                std::lock_guard lock(count->mutex);
                --count->running;
            }
            count->none.notify_all();
        }).detach();
        return true;
    } catch (...) {
        std::lock_guard lock(count_->mutex);
        --count_->running;
        return false;
    }
}

void WorkerThreads::WaitAll() {
    std::unique_lock lock(count_->mutex);
    count_->none.wait(lock, [&] { return count_->running == 0; });
}

int WorkerThreads::Running() const {
    std::lock_guard lock(count_->mutex);
    return count_->running;
}
