#include "discovery/discovery_control.h"

#include <utility>

#include "discovery/control_loop.h"
#include "discovery/discovery_callback.h"
#include "platform/list_view.h"
#include "res/resource_ids.h"

DiscoveryControl::DiscoveryControl(platform::Dialog& dialogWindow, DiscoveryLog& discoveryLog,
                                   const ModelCatalogue& modelCatalogue, DiscoverySdk& deviceSdk)
    : dialog(dialogWindow), log(discoveryLog), catalogue(modelCatalogue), sdk(deviceSdk) {}

DiscoveryControl::~DiscoveryControl() { Shutdown(); }

void DiscoveryControl::Start() {
    {
        std::lock_guard lock(requestLock);
        startRequested = 0;
        stopRequested = 0;
    }
    loopRunning = 1;
    sdk.Init();
    sdk.SetDiscoveryCallBack(OnDeviceDiscovered, this);
    started_ = true;
    controlThread = std::thread(ControlLoopThread, this);
}

void DiscoveryControl::OnDiscoveryClicked() {
    if (!started_ || !completionSent.load()) return;
    for (int id = IDC_TYPE_DVR; id <= IDC_TYPE_NVR; ++id)
        typeBoxes_[static_cast<std::size_t>(id - IDC_TYPE_DVR)] = dialog.IsDlgButtonChecked(id);
    // The previous run's workers stop before the run is marked as in
    // progress: an end-of-run test that sees completionSent cleared by this
    // click therefore also sees that its own run was stopped.
    StopRuns();
    completionSent = false;
    std::lock_guard lock(requestLock);
    stopRequested = 1;
    startRequested = 1;
}

void DiscoveryControl::Shutdown() {
    loopRunning = 0;
    if (controlThread.joinable()) controlThread.join();
    StopRuns();
    if (discoveryThread.joinable()) {
        sdk.StopDiscovery();
        discoveryThread.join();
    }
    workerThreads.WaitAll();
    if (started_) {
        sdk.SetDiscoveryCallBack(nullptr, nullptr);
        started_ = false;
    }
    std::lock_guard accept(acceptLock);
    currentRun.reset();
}

bool DiscoveryControl::BoxTicked(int id) const {
    if (id < IDC_TYPE_DVR || id > IDC_TYPE_NVR) return false;
    return typeBoxes_[static_cast<std::size_t>(id - IDC_TYPE_DVR)].load() != 0;
}

bool DiscoveryControl::StopRequested(const DiscoveryRun& run) const { return run.generation != clicks_.load(); }

bool DiscoveryControl::Pause(const DiscoveryRun& run, std::chrono::milliseconds duration) {
    std::unique_lock lock(stopMutex_);
    return !stopSignal_.wait_for(lock, duration, [&] { return StopRequested(run); });
}

void DiscoveryControl::StopRuns() {
    {
        std::lock_guard lock(stopMutex_);
        ++clicks_;
    }
    stopSignal_.notify_all();
}

void DiscoveryControl::StartRun() {
    std::shared_ptr<DiscoveryRun> run;
    try {
        run = std::make_shared<DiscoveryRun>(clicks_.load());
        {
            std::lock_guard accept(acceptLock);
            ResetDiscoveryLog(log);
            PostClearList(run->generation);
            PostProgress(run);
            currentRun = run;
        }
        discoveryThread = std::thread(DiscoveryRunThread, this, run);
    } catch (...) {
        // Without a run thread the run ends at once with what it has, so
        // that the controls come back.
        std::lock_guard lock(listLock);
        if (!completionSent.load()) {
            completionSent = true;
            PostDone();
        }
    }
}

void DiscoveryControl::EndOfRunTestLocked(DiscoveryRun& run) {
    // completionSent is read before the run's stop; see OnDiscoveryClicked.
    if (completionSent.load()) return;
    if (StopRequested(run)) return;
    if (!run.finalFrozen || run.reportedCount != run.finalCount) return;
    completionSent = true;
    PostDone();
}

void DiscoveryControl::EndOfRunTest(DiscoveryRun& run) {
    std::lock_guard lock(listLock);
    EndOfRunTestLocked(run);
}

void DiscoveryControl::PostClearList(std::uint64_t runGeneration) {
    dialog.PostToUi([this, runGeneration] {
        shownRun_ = runGeneration;
        if (platform::ListView* list = dialog.GetListView(IDC_DEVICE_LIST)) list->DeleteAllItems();
    });
}

void DiscoveryControl::PostRow(std::uint64_t runGeneration, int rowIndex, DeviceRowTexts texts) {
    dialog.PostToUi([this, runGeneration, rowIndex, texts = std::move(texts)] {
        if (runGeneration != shownRun_) return;
        platform::ListView* list = dialog.GetListView(IDC_DEVICE_LIST);
        if (list == nullptr) return;
        const int item = list->InsertItem(rowIndex, std::to_string(rowIndex));
        if (item < 0) return;
        for (int column = 0; column < static_cast<int>(texts.size()); ++column)
            list->SetItemText(item, column, texts[static_cast<std::size_t>(column)]);
    });
}

void DiscoveryControl::PostModelText(std::uint64_t runGeneration, int rowIndex, std::string text) {
    dialog.PostToUi([this, runGeneration, rowIndex, text = std::move(text)] {
        if (runGeneration != shownRun_) return;
        if (platform::ListView* list = dialog.GetListView(IDC_DEVICE_LIST)) list->SetItemText(rowIndex, 1, text);
    });
}

void DiscoveryControl::PostProgress(const std::shared_ptr<DiscoveryRun>& run) {
    if (run->progressQueued.exchange(true)) return;
    dialog.PostToUi([this, run] {
        run->progressQueued = false;
        if (run->generation != shownRun_) return;
        progressRun_ = run;
        ShowProgress();
    });
}

void DiscoveryControl::ShowProgress() {
    if (!progressRun_ || progressRun_->generation != shownRun_) {
        progressRun_.reset();
        dialog.SetDlgItemText(IDC_RUN_PROGRESS, "");
        return;
    }
    const std::int32_t found = progressRun_->devicesFound.load();
    const std::int32_t pending = progressRun_->modelsPending.load();
    if (completionSent.load() && pending == 0) {
        progressRun_.reset();
        dialog.SetDlgItemText(IDC_RUN_PROGRESS, "");
        return;
    }
    std::string text = "Found " + std::to_string(found) + (found == 1 ? " device" : " devices");
    if (pending > 0) text += ", " + std::to_string(pending) + (pending == 1 ? " camera model" : " camera models") + " pending";
    dialog.SetDlgItemText(IDC_RUN_PROGRESS, text);
}

void DiscoveryControl::PostDone() {
    dialog.PostToUi([this] { dialog.Dispatch(WM_DISCOVERY_DONE, 0, 0, 0, 0); });
}
