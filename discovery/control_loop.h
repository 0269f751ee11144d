// The control loop, one thread for the dialog's life that serves the
// Discovery button's requests away from the UI thread, and the thread of
// one discovery run.
#pragma once

#include <memory>

class DiscoveryControl;
struct DiscoveryRun;

// Every 40 ms: a stop request stops the SDK's discovery and reaps the run
// thread; then a start request starts the next run. Returns 0 once
// loopRunning is cleared.
unsigned ControlLoopThread(DiscoveryControl* control);

// Runs the SDK's discovery window; when it has closed, takes the run's
// final count and runs the end-of-run test. Returns 0.
unsigned DiscoveryRunThread(DiscoveryControl* control, std::shared_ptr<DiscoveryRun> run);

// The period of the control loop's poll.
inline constexpr int kControlLoopPeriodMs = 40;
