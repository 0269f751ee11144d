// Discovery runs on an SDK of the tests' own, for what the network makes
// rare: answers from several threads and after the window, a worker that
// finishes while the window is open, a click or a close while workers
// still log in.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "tests/discovery/discovery_harness.h"
#include "tests/discovery/fake_sdk.h"
#include "tests/record/record_fixture.h"

namespace discovery_testing {
namespace {

using namespace std::chrono_literals;

class DiscoveryThreads : public DiscoveryHarness {
protected:
    void SetUp() override {
        DiscoveryHarness::SetUp();
        StartControl(&sdk);
        TickAll();
    }
    void TearDown() override {
        sdk.ReleaseLogins();
        DiscoveryHarness::TearDown();
    }
    // The window delivers `records` from the run thread.
    void Answer(std::vector<DeviceRecord> records) {
        sdk.window = [records](FakeSdk& s) {
            for (const DeviceRecord& r : records) s.Deliver(r);
        };
    }
    std::vector<std::string> NodesInFile() {
        WaitDiscoveryLogSaved(log);
        return record_testing::SerialsInFile(ReadFile(kDiscoveryFileName));
    }

    FakeSdk sdk;
};

TEST_F(DiscoveryThreads, CamerasLogInAtMostThreeTimesWithPausesBetween) {
    struct Case {
        int refusals;
        std::size_t logins;
        int configReads;  // and logouts
        const char* model;
    };
    const Case cases[] = {{0, 1, 1, "Cam S1"}, {1, 2, 1, "Cam S1"}, {2, 3, 1, "Cam S1"}, {3, 3, 0, ""}};
    catalogue[{"IC01", "S1"}] = "Cam S1";
    std::vector<DeviceRecord> records;
    for (int i = 0; i < 4; ++i) {
        records.push_back(FakeRecord("IC01" + std::to_string(i), "IPC-1", static_cast<unsigned>(i)));
        FakeCamera& camera = sdk.cameras[records.back().eth0.ip];
        camera.refusals = cases[i].refusals;
        camera.entries = {{"SensorModel", "S1"}};
    }
    // A camera whose login hangs shows its row at once, Model empty.
    records.push_back(FakeRecord("IC01HANG", "IPC-1", 9));
    sdk.cameras[records.back().eth0.ip].blockLogins = true;
    Answer(records);

    ASSERT_TRUE(RunDiscovery());
    ASSERT_EQ(Rows().size(), 5u);
    EXPECT_EQ(Cell(4, 0), "IC01HANG");
    EXPECT_EQ(Cell(4, 1), "");
    EXPECT_EQ(Cell(4, 3), "127.0.0.10");
    EXPECT_EQ(Cell(4, 9), "V0.0 build 0000-00-00");
    sdk.ReleaseLogins();
    ASSERT_TRUE(SettleWorkers());

    for (int i = 0; i < 4; ++i) {
        const FakeCamera camera = sdk.Camera(records[static_cast<std::size_t>(i)].eth0.ip);
        SCOPED_TRACE("refusals " + std::to_string(cases[i].refusals));
        EXPECT_EQ(camera.logins.size(), cases[i].logins);
        EXPECT_EQ(camera.configReads, cases[i].configReads);
        EXPECT_EQ(camera.logouts, cases[i].configReads);
        EXPECT_EQ(Cell(static_cast<std::size_t>(i), 1), cases[i].model);
        // The pauses before the second and third attempts, as measured.
        for (std::size_t k = 1; k < camera.logins.size(); ++k) {
            const auto pause = std::chrono::duration_cast<std::chrono::milliseconds>(camera.logins[k] - camera.logins[k - 1]);
            RecordProperty("camera" + std::to_string(i) + "_pause" + std::to_string(k) + "_ms",
                           static_cast<int>(pause.count()));
        }
    }
    EXPECT_EQ(host.doneMessages, 1);
}

// A run may end only once the window has closed: neither a camera worker
// that is done while it is open, nor the test of a run with nothing
// counted yet, sends the message early.
TEST_F(DiscoveryThreads, NoEndOfRunWhileTheWindowIsOpen) {
    catalogue[{"IC02", "S2"}] = "Cam S2";
    const DeviceRecord camera = FakeRecord("IC02FAST", "IPC-2", 1);
    sdk.cameras[camera.eth0.ip].entries = {{"SensorModel", "S2"}};
    bool endedWhileOpen = true;
    sdk.window = [&](FakeSdk& s) {
        // As a worker would find it before the first answer is counted.
        {
            std::lock_guard accept(control->acceptLock);
            control->EndOfRunTest(*control->currentRun);
        }
        s.Deliver(camera);
        // The first camera's worker logs in, reads, logs out and runs its
        // test before the window closes.
        for (int i = 0; i < 5000 && control->workerThreads.Running() > 0; ++i) std::this_thread::sleep_for(1ms);
        endedWhileOpen = control->completionSent.load();
    };

    ASSERT_TRUE(RunDiscovery());
    EXPECT_FALSE(endedWhileOpen);
    EXPECT_EQ(sdk.Camera(camera.eth0.ip).logouts, 1);
    ASSERT_TRUE(SettleWorkers());
    EXPECT_EQ(host.doneMessages, 1);
    EXPECT_EQ(Cell(0, 1), "Cam S2");
}

// Answers from four threads at once, then one after the window: each in a
// row, a slot and a node of its own, in one order, and one end-of-run message.
TEST_F(DiscoveryThreads, ConcurrentAndLateAnswersAreEachListedOnce) {
    sdk.window = [](FakeSdk& s) {
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&s, t] {
                for (int i = 0; i < 250; ++i)
                    s.Deliver(FakeRecord("NV" + std::to_string(t) + "-" + std::to_string(i), "NVR-1", static_cast<unsigned>(i)));
            });
        }
        for (std::thread& thread : threads) thread.join();
    };
    ASSERT_TRUE(RunDiscovery());
    ASSERT_EQ(Rows().size(), 1000u);

    sdk.Deliver(FakeRecord("NVLATE", "NVR-1", 0));
    ASSERT_TRUE(ServeUntil([&] { return Rows().size() == 1001u; }));
    const std::vector<std::string> nodes = NodesInFile();
    ASSERT_EQ(nodes.size(), 1001u);
    std::set<std::string> distinct;
    std::lock_guard accept(control->acceptLock);
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        EXPECT_EQ(Cell(n, 0), nodes[n]);
        EXPECT_EQ(control->currentRun->deviceSlots[n].record.sn, nodes[n]);
        EXPECT_EQ(control->currentRun->deviceSlots[n].rowIndex, static_cast<std::int32_t>(n));
        distinct.insert(nodes[n]);
    }
    EXPECT_EQ(distinct.size(), 1001u);
    EXPECT_EQ(nodes.back(), "NVLATE");
    EXPECT_EQ(host.doneMessages, 1);
}

// A click while the previous run's workers log in or pause: they stop, and
// nothing they would still write reaches the new run's rows.
TEST_F(DiscoveryThreads, ANewClickStopsThePreviousRunsWorkers) {
    catalogue[{"IC03", "OLD"}] = "Old run's name";
    catalogue[{"IC04", "NEW"}] = "New run's name";
    const DeviceRecord hanging = FakeRecord("IC03HANG", "IPC-3", 1);
    const DeviceRecord refusing = FakeRecord("IC03NEVER", "IPC-3", 2);
    const DeviceRecord fresh = FakeRecord("IC04NEW", "IPC-4", 3);
    sdk.cameras[hanging.eth0.ip] = FakeCamera{0, true, {{"SensorModel", "OLD"}}, {}, 0, 0};
    sdk.cameras[refusing.eth0.ip].refusals = 99;
    sdk.cameras[fresh.eth0.ip].entries = {{"SensorModel", "NEW"}};

    Answer({hanging, refusing});
    ASSERT_TRUE(RunDiscovery());
    // Both workers must be inside their first login before the next click; a
    // worker the click reaches earlier never logs in at all.
    ASSERT_TRUE(ServeUntil([&] {
        return !sdk.Camera(refusing.eth0.ip).logins.empty() && !sdk.Camera(hanging.eth0.ip).logins.empty();
    }));

    Answer({fresh});
    ASSERT_TRUE(RunDiscovery());
    ASSERT_TRUE(ServeUntil([&] { return Rows().size() == 1 && Cell(0, 1) == "New run's name"; }));
    // The old camera's login now succeeds; its worker must not use it.
    sdk.ReleaseLogins();
    const auto settling = std::chrono::steady_clock::now();
    ASSERT_TRUE(SettleWorkers());
    RecordProperty("stopped_workers_settled_ms",
                   static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - settling)
                                        .count()));

    ASSERT_EQ(Rows().size(), 1u);
    EXPECT_EQ(Cell(0, 0), "IC04NEW");
    EXPECT_EQ(Cell(0, 1), "New run's name");
    EXPECT_EQ(sdk.Camera(hanging.eth0.ip).configReads, 0);
    EXPECT_EQ(sdk.Camera(hanging.eth0.ip).logouts, 1);
    EXPECT_EQ(sdk.Camera(refusing.eth0.ip).logins.size(), 1u);  // its pause ended with the click
    EXPECT_EQ(NodesInFile(), std::vector<std::string>{"IC04NEW"});
    EXPECT_EQ(host.doneMessages, 2);
}

// Closing while a run is in progress (the dialog refuses it, but its
// destruction does not wait for the run's end) ends the window, the run
// thread and every worker, and unregisters the callback.
TEST_F(DiscoveryThreads, ShutdownDuringARunEndsEveryThread) {
    const DeviceRecord refusing = FakeRecord("IC05NEVER", "IPC-5", 1);
    sdk.cameras[refusing.eth0.ip].refusals = 99;
    bool stoppedEarly = false;
    sdk.window = [&](FakeSdk& s) {
        s.Deliver(refusing);
        stoppedEarly = s.WaitForStop(60s);
    };
    control->OnDiscoveryClicked();
    ASSERT_TRUE(ServeUntil([&] { return !sdk.Camera(refusing.eth0.ip).logins.empty(); }));

    control->Shutdown();
    EXPECT_TRUE(stoppedEarly);
    EXPECT_FALSE(control->controlThread.joinable());
    EXPECT_FALSE(control->discoveryThread.joinable());
    EXPECT_EQ(control->workerThreads.Running(), 0);
    EXPECT_EQ(sdk.Camera(refusing.eth0.ip).logins.size(), 1u);
    EXPECT_FALSE(sdk.CallbackRegistered());
    host.Queue().Drain();
    EXPECT_EQ(host.doneMessages, 0);
}

}  // namespace
}  // namespace discovery_testing
