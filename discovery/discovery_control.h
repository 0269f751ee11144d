// Discovery runs and the state they share: the control loop, the run
// thread, the callback's rows and the camera workers.
//
// Only the platform layer stands between this and the window. Background
// threads never touch the window and never wait for the UI thread: list
// updates and the end-of-run message go through the dialog's ordered UI
// queue, and the UI thread never takes listLock.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "config/model_catalogue.h"
#include "discovery/device_slot.h"
#include "discovery/discovery_sdk.h"
#include "discovery/worker_threads.h"
#include "platform/dialog.h"
#include "record/discovery_log.h"

// Sent to the dialog when a discovery run has ended (both parameters 0).
inline constexpr unsigned WM_DISCOVERY_DONE = platform::WM_USER + 100;

// The ten column texts of one device row.
using DeviceRowTexts = std::array<std::string, 10>;

// One discovery run: its devices and the counts of its end-of-run test.
// The run thread and every camera worker hold the run, so its slots stay
// where they are until the last of them has returned, and a new run never
// reuses an old run's slots.
struct DiscoveryRun {
    explicit DiscoveryRun(std::uint64_t clickNumber) : generation(clickNumber) {}

    // The click that asked for this run; any later click, or the close,
    // stops it.
    const std::uint64_t generation;
    // Entry n belongs to row n. A deque never moves its entries when it
    // grows, so a worker's slot stays put. Guarded by acceptLock.
    std::deque<DeviceSlot> deviceSlots;
    // Claimed under acceptLock, incremented under listLock too.
    std::int32_t rowCount = 0;
    // Guarded by listLock.
    std::int32_t reportedCount = 0;
    std::int32_t finalCount = 0;
    bool finalFrozen = false;  // finalCount is taken: only now may the run end

    // For the progress shown in the window: rows added, and camera workers
    // that have not yet ended.
    std::atomic<std::int32_t> devicesFound{0};
    std::atomic<std::int32_t> modelsPending{0};
    std::atomic<bool> progressQueued{false};  // an update is already on its way
};

class DiscoveryControl {
public:
    DiscoveryControl(platform::Dialog& dialog, DiscoveryLog& log, const ModelCatalogue& catalogue,
                     DiscoverySdk& sdk = LinkedDiscoverySdk());
    // Shuts down what still runs.
    ~DiscoveryControl();
    DiscoveryControl(const DiscoveryControl&) = delete;
    DiscoveryControl& operator=(const DiscoveryControl&) = delete;

    // Start-up: the request flags, the SDK with its callback, the control loop.
    void Start();
    // Steps 2 to 4 of a Discovery click, on the UI thread: the previous
    // run's workers are asked to stop, and one request to stop the previous
    // run and start the next is raised. Ignored while a run is in progress.
    void OnDiscoveryClicked();
    // Ends every thread, stopping a run in progress, and unregisters the
    // callback. Returns within the SDK's own timeouts. Safe to call again,
    // and before Start.
    void Shutdown();

    // --- For the control loop, the run thread, the callback and the workers.

    // The mirrored state of type box `id` (1008 to 1011).
    bool BoxTicked(int id) const;
    // True once a later click or the close has taken over from `run`.
    bool StopRequested(const DiscoveryRun& run) const;
    // Sleeps for `duration`, or less when `run` is stopped. True when the
    // whole pause went by.
    bool Pause(const DiscoveryRun& run, std::chrono::milliseconds duration);
    // Starts a run: fresh record, empty list, a run thread. Control loop only.
    void StartRun();
    // Sends WM_DISCOVERY_DONE if `run` is the run in progress, its final
    // count is taken and every row is reported. Caller holds listLock.
    void EndOfRunTestLocked(DiscoveryRun& run);
    void EndOfRunTest(DiscoveryRun& run);

    // Window operations, queued for the UI thread in order. Those of a run
    // that the list no longer shows are dropped there.
    void PostClearList(std::uint64_t runGeneration);
    void PostRow(std::uint64_t runGeneration, int rowIndex, DeviceRowTexts texts);
    void PostModelText(std::uint64_t runGeneration, int rowIndex, std::string text);
    // Queues one update of the progress text for `run`, unless one is
    // already queued: it reads the counts when it runs.
    void PostProgress(const std::shared_ptr<DiscoveryRun>& run);
    // UI thread: the progress text of the run the list shows, empty once
    // that run has ended and no camera model is pending.
    void ShowProgress();

    platform::Dialog& dialog;
    DiscoveryLog& log;
    const ModelCatalogue& catalogue;
    DiscoverySdk& sdk;

    // The control loop runs while nonzero.
    std::atomic<std::int32_t> loopRunning{0};
    // A click raises both requests under one lock, and the loop takes both
    // under it, so a click's stop is never handled after its start.
    std::mutex requestLock;
    std::int32_t startRequested = 0;
    std::int32_t stopRequested = 0;

    std::thread controlThread;
    std::thread discoveryThread;  // the control loop's, and the close's once the loop has ended
    WorkerThreads workerThreads;

    // Serialises the answers: claiming a slot, its node, its row and its
    // count happen together, and the run thread takes its final count only
    // between two answers. Taken before listLock, never after it.
    std::mutex acceptLock;
    std::shared_ptr<DiscoveryRun> currentRun;  // guarded by acceptLock

    // Orders row writes and model updates, and guards the end-of-run test.
    std::mutex listLock;
    // The end-of-run message has gone for the current run, or no run has
    // started: the window may close and a click may start a run.
    std::atomic<bool> completionSent{true};

private:
    void StopRuns();
    void PostDone();

    // Counts clicks; a run whose generation is behind it has been stopped.
    std::atomic<std::uint64_t> clicks_{0};
    std::mutex stopMutex_;
    std::condition_variable stopSignal_;
    // Type boxes 1008-1011 as the UI thread saw them at the last click.
    std::array<std::atomic<int>, 4> typeBoxes_{};
    bool started_ = false;
    // The run whose rows the list shows. UI thread only.
    std::uint64_t shownRun_ = 0;
    std::shared_ptr<DiscoveryRun> progressRun_;  // UI thread only
};
