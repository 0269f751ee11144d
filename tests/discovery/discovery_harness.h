// Whole discovery runs without a window toolkit: the main dialog's template
// on the fake backend, a DiscoveryControl over it, and the test's own
// thread serving the UI queue as the UI thread would.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "discovery/discovery_control.h"
#include "res/resources.h"
#include "tests/support/fake_window.h"
#include "tests/support/temp_dir.h"

namespace discovery_testing {

// The main dialog's window with the end-of-run message in its message map.
class HostDialog : public platform::Dialog {
public:
    HostDialog() : platform::Dialog(*FindDialogTemplate(IDD_TARNWICK_DIALOG)) {}
    int doneMessages = 0;
    std::function<void()> onDone;

protected:
    std::vector<platform::MessageMapEntry> MessageMap() override {
        return {{WM_DISCOVERY_DONE, 0, 0, [this](std::uintptr_t, std::intptr_t) {
                     ++doneMessages;
                     if (onDone) onDone();
                     return std::intptr_t{0};
                 }}};
    }
};

class DiscoveryHarness : public testing_support::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        ASSERT_TRUE(host.Create());
    }
    void TearDown() override {
        control.reset();
        TempDirTest::TearDown();
    }

    // Creates and starts the control, on `sdk` or on the linked SDK.
    void StartControl(DiscoverySdk* sdk = nullptr) {
        control = sdk ? std::make_unique<DiscoveryControl>(host, log, catalogue, *sdk)
                      : std::make_unique<DiscoveryControl>(host, log, catalogue);
        control->Start();
    }

    testing_support::FakeWindow& Window() { return *static_cast<testing_support::FakeWindow*>(host.Window()); }
    testing_support::FakeListView& List() { return Window().lists.at(IDC_DEVICE_LIST); }
    std::vector<std::vector<std::string>>& Rows() { return List().rows; }

    // Ticks exactly the given type boxes.
    void Tick(std::initializer_list<int> boxes) {
        for (int id = IDC_TYPE_DVR; id <= IDC_TYPE_NVR; ++id) host.CheckDlgButton(id, platform::BST_UNCHECKED);
        for (int id : boxes) host.CheckDlgButton(id, platform::BST_CHECKED);
    }
    void TickAll() { Tick({IDC_TYPE_DVR, IDC_TYPE_IPC, IDC_TYPE_DEC, IDC_TYPE_NVR}); }

    // Serves the UI queue until `done` holds or `limit` has passed.
    bool ServeUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        for (;;) {
            host.Queue().Drain();
            if (done()) return true;
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    // A Discovery click, served until its end-of-run message.
    bool RunDiscovery() {
        const int before = host.doneMessages;
        control->OnDiscoveryClicked();
        return ServeUntil([&] { return host.doneMessages > before; });
    }

    // Served until every camera worker of every run has returned.
    bool SettleWorkers() {
        const bool settled = ServeUntil([&] { return control->workerThreads.Running() == 0; });
        host.Queue().Drain();
        return settled;
    }

    std::string Cell(std::size_t row, std::size_t column) {
        const auto& r = Rows().at(row);
        return column < r.size() ? r[column] : std::string();
    }

    testing_support::FakeBackend backend;  // installed before the window is made
    HostDialog host;
    DiscoveryLog log;
    ModelCatalogue catalogue;
    std::unique_ptr<DiscoveryControl> control;
};

}  // namespace discovery_testing
