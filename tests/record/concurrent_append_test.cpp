// Appends from several SDK threads while the UI thread loads and reads the
// file: no node is lost, every load sees a whole node, and the file on disk
// is always a complete document that never goes back to fewer nodes.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/record/record_fixture.h"

namespace record_testing {
namespace {

constexpr int kThreads = 4;
constexpr int kPerThread = 50;

std::string SerialOf(int thread, int i) { return "T" + std::to_string(thread) + "-" + std::to_string(i); }

DeviceRecord RecordOf(int thread, int i) {
    DeviceRecord r = SampleRecorder("IPC-C", SerialOf(thread, i).c_str(), i);
    r.httpPort = static_cast<std::uint16_t>(thread);
    return r;
}

using ConcurrentAppend = RecordTest;

TEST_F(ConcurrentAppend, LosesNoNodeWhileTheUiThreadLoads) {
    ResetDiscoveryLog(log);
    const DeviceRecord selected = SampleCamera();
    AppendAndSave(selected);
    Select(AddRow(selected.sn));

    std::atomic<int> finished{0};
    std::atomic<bool> loading{false};  // the appenders start with the UI thread's first load
    std::vector<std::thread> appenders;
    for (int t = 0; t < kThreads; ++t) {
        appenders.emplace_back([&, t] {
            while (!loading.load()) std::this_thread::yield();
            for (int i = 0; i < kPerThread; ++i) AppendDiscoveryNode(RecordOf(t, i), log);
            finished.fetch_add(1);
        });
    }

    // The UI thread's side, until every appender is done (bounded in count).
    std::size_t nodesOnDisk = 1;
    int rounds = 0;
    bool everyLoadWhole = true;
    bool fileAlwaysWhole = true;
    bool fileNeverShrinks = true;
    for (; finished.load() < kThreads && rounds < 1000000; ++rounds) {
        loading.store(true);
        Load();
        everyLoadWhole = everyLoadWhole && SameBytes(modifyRecord, AsLoaded(selected));
        const std::vector<std::string> serials = SerialsInFile(ReadFile(kDiscoveryFileName));
        fileAlwaysWhole = fileAlwaysWhole && !serials.empty() && serials.front() == selected.sn;
        fileNeverShrinks = fileNeverShrinks && serials.size() >= nodesOnDisk;
        nodesOnDisk = serials.size();
    }
    for (std::thread& t : appenders) t.join();
    EXPECT_GT(rounds, 0);
    EXPECT_TRUE(everyLoadWhole);
    EXPECT_TRUE(fileAlwaysWhole);
    EXPECT_TRUE(fileNeverShrinks);

    // Every node is in the file once, each thread's in its own order.
    WaitDiscoveryLogSaved(log);
    const std::vector<std::string> serials = SerialsInFile(ReadFile(kDiscoveryFileName));
    ASSERT_EQ(serials.size(), 1u + kThreads * kPerThread);
    EXPECT_EQ(std::set<std::string>(serials.begin(), serials.end()).size(), serials.size());
    std::vector<int> next(kThreads, 0);
    for (std::size_t k = 1; k < serials.size(); ++k) {
        const int t = serials[k][1] - '0';
        ASSERT_TRUE(t >= 0 && t < kThreads) << serials[k];
        EXPECT_EQ(serials[k], SerialOf(t, next[static_cast<std::size_t>(t)]++));
    }
    EXPECT_EQ(FilesHere(), std::vector<std::string>{kDiscoveryFileName});

    // And every node is in the document, whole.
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kPerThread; ++i) {
            List().selected.assign(List().rows.size(), false);
            Select(AddRow(SerialOf(t, i)));
            Load();
            ASSERT_TRUE(SameBytes(modifyRecord, AsLoaded(RecordOf(t, i)))) << SerialOf(t, i);
        }
    }
}

}  // namespace
}  // namespace record_testing
