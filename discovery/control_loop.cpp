#include "discovery/control_loop.h"

#include <chrono>
#include <thread>
#include <utility>

#include "discovery/discovery_control.h"

unsigned ControlLoopThread(DiscoveryControl* control) {
    if (control->loopRunning.load() == 0) return 0;
    do {
        std::int32_t stop = 0;
        std::int32_t start = 0;
        {
            std::lock_guard lock(control->requestLock);
            stop = std::exchange(control->stopRequested, 0);
            start = std::exchange(control->startRequested, 0);
        }
        if (stop != 0) {
            control->sdk.StopDiscovery();
            if (control->discoveryThread.joinable()) control->discoveryThread.join();
        }
        if (start != 0) control->StartRun();
        std::this_thread::sleep_for(std::chrono::milliseconds(kControlLoopPeriodMs));
    } while (control->loopRunning.load() != 0);
    return 0;
}

unsigned DiscoveryRunThread(DiscoveryControl* control, std::shared_ptr<DiscoveryRun> run) {
    control->sdk.StopDiscovery();
    if (!control->StopRequested(*run)) control->sdk.StartDiscovery();
    // Answers still being handled are counted first, and every node is on
    // disk before the run may end.
    std::lock_guard accept(control->acceptLock);
    WaitDiscoveryLogSaved(control->log);
    std::lock_guard lock(control->listLock);
    run->finalCount = run->rowCount;
    run->finalFrozen = true;
    control->EndOfRunTestLocked(*run);
    return 0;
}
