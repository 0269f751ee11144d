// Discovery against an in-process fleet on loopback.
#include <future>
#include <set>
#include <thread>

#include "netsdk/discovery.h"
#include "sim_support.h"

namespace {

using namespace std::chrono_literals;

std::set<std::string> Serials(const std::vector<DeviceRecord>& records) {
    std::set<std::string> serials;
    for (const DeviceRecord& record : records) serials.insert(record.sn);
    return serials;
}

TEST(DiscoverySim, EveryDeviceOfALargeFleetArrivesOncePerRun) {
    const devsim::Fleet fleet = sim::SmallFleet(250);
    auto server = sim::StartFleetAndApply(fleet, 1500);
    ASSERT_TRUE(server);
    sim::Collector collector;
    for (int run = 0; run < 2; ++run) {
        Q9_NET_DVR_StopDiscoveryIPC();
        Q9_NET_DVR_StartDiscoveryIPC();
        const auto records = collector.Take();
        EXPECT_EQ(records.size(), 250u) << "run " << run;
        EXPECT_EQ(Serials(records).size(), 250u) << "run " << run;
        // Three probes: every device answered more than once, and the
        // repeats were folded away.
        EXPECT_GT(netsdk::LastDiscoveryStats().duplicates, 0);
    }
}

TEST(DiscoverySim, RecordsCarryTheSdkCredentialsAndTheDeviceFields) {
    devsim::Fleet fleet = sim::SmallFleet(3);
    fleet.devices[1].password = "device-own";
    auto server = sim::StartFleetAndApply(fleet);
    ASSERT_TRUE(server);
    const devsim::Fleet running = server->Snapshot();
    sim::Collector collector;
    Q9_NET_DVR_StartDiscoveryIPC();
    const auto records = collector.Take();
    ASSERT_EQ(records.size(), 3u);
    for (const devsim::DeviceProfile& profile : running.devices) {
        const DeviceRecord* got = sim::FindBySerial(records, profile.record.sn);
        ASSERT_NE(got, nullptr);
        // Everything but the credentials is the device's own record.
        DeviceRecord expected = profile.record;
        std::memcpy(expected.user, "admin", 6);
        std::memcpy(expected.password, "tarnwick", 9);
        EXPECT_EQ(std::memcmp(got, &expected, sizeof expected), 0) << profile.record.sn;
    }
}

TEST(DiscoverySim, AnEmptyNetworkEndsWithTheWindow) {
    auto server = sim::StartFleetAndApply(devsim::Fleet{}, 300);
    ASSERT_TRUE(server);
    sim::Collector collector;
    Q9_NET_DVR_StartDiscoveryIPC();
    EXPECT_EQ(collector.Count(), 0u);
    EXPECT_GE(netsdk::LastDiscoveryStats().probesSent, 3);
    EXPECT_FALSE(netsdk::LastDiscoveryStats().stopped);
}

TEST(DiscoverySim, StopFromAnotherThreadEndsTheWindowEarly) {
    auto server = sim::StartFleetAndApply(sim::SmallFleet(5), 60000);
    ASSERT_TRUE(server);
    sim::Collector collector;
    auto run = std::async(std::launch::async, [] { return Q9_NET_DVR_StartDiscoveryIPC(); });
    ASSERT_TRUE(collector.WaitFor(5, 10s));
    Q9_NET_DVR_StopDiscoveryIPC();
    // A one-minute window that ends within the test's limits ended on Stop.
    ASSERT_EQ(run.wait_for(20s), std::future_status::ready);
    EXPECT_TRUE(netsdk::LastDiscoveryStats().stopped);
}

TEST(DiscoverySim, StopWithoutARunIsHarmlessAndDoesNotCutTheNextRun) {
    auto server = sim::StartFleetAndApply(sim::SmallFleet(4), 400);
    ASSERT_TRUE(server);
    sim::Collector collector;
    Q9_NET_DVR_StopDiscoveryIPC();
    Q9_NET_DVR_StopDiscoveryIPC();
    Q9_NET_DVR_StartDiscoveryIPC();
    EXPECT_EQ(collector.Take().size(), 4u);
    EXPECT_FALSE(netsdk::LastDiscoveryStats().stopped);
}

TEST(DiscoverySim, DelayedDuplicatedAndLateAnswersYieldOneRecordPerRun) {
    devsim::Fleet fleet = sim::SmallFleet(4);
    fleet.devices[0].behaviour.answerDelayMs = 150;
    fleet.devices[1].behaviour.duplicateAnswers = 5;
    // Answers once more after the window has closed, while the next run is open.
    fleet.devices[2].behaviour.lateAnswerMs = 700;
    auto server = sim::StartFleetAndApply(fleet, 500);
    ASSERT_TRUE(server);
    sim::Collector collector;
    for (int run = 0; run < 2; ++run) {
        Q9_NET_DVR_StartDiscoveryIPC();
        const auto records = collector.Take();
        EXPECT_EQ(records.size(), 4u) << "run " << run;
        EXPECT_EQ(Serials(records).size(), 4u) << "run " << run;
    }
    EXPECT_GE(server->counters().answers.load(), 2u * (4 * 3 + 5 * 3));
}

TEST(DiscoverySim, DevicesWithTheSameSerialButAnotherMacAreDistinct) {
    devsim::Fleet fleet = sim::SmallFleet(2);
    std::memcpy(fleet.devices[1].record.sn, fleet.devices[0].record.sn, sizeof fleet.devices[0].record.sn);
    auto server = sim::StartFleetAndApply(fleet);
    ASSERT_TRUE(server);
    sim::Collector collector;
    Q9_NET_DVR_StartDiscoveryIPC();
    EXPECT_EQ(collector.Take().size(), 2u);
}

TEST(DiscoverySim, NoTargetsMeansNoProbesAndAnOrdinaryEnd) {
    netsdk::Settings settings = sim::LoopbackSettings(9, 200);
    settings.targets.clear();
    netsdk::ApplySettings(settings);
    sim::Collector collector;
    Q9_NET_DVR_StartDiscoveryIPC();
    EXPECT_EQ(netsdk::LastDiscoveryStats().probesSent, 0);
    EXPECT_EQ(collector.Count(), 0u);
}

}  // namespace
