// The camera workers of every run, counted so that closing can wait for
// them. Workers are never killed: they are asked to stop and end on their
// own, within the SDK's timeouts.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class WorkerThreads {
public:
    // Runs `work` on a thread of its own. False when no thread could be made.
    bool Start(std::function<void()> work);
    // Waits until every worker started so far has returned.
    void WaitAll();
    int Running() const;

private:
    // Shared with the threads, so that a worker's last signal never reaches
    // freed state, whoever waits for it.
    struct Count {
        mutable std::mutex mutex;
        std::condition_variable none;
        int running = 0;
    };
    std::shared_ptr<Count> count_ = std::make_shared<Count>();
};
