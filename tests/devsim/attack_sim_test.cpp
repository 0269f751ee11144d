// The simulator under attack from a client on the same host: silent
// connections, descriptor exhaustion, a client that never reads, a probe
// flood at delayed answers, short probes. Each runs against a child
// simulator, whose own memory, CPU time and descriptors are what count.
#include <gtest/gtest.h>

#include <algorithm>

#include "attack_support.h"

namespace {

using namespace std::chrono_literals;

const std::string kDevsim = TARNWICK_DEVSIM;

TEST(SimulatorUnderAttack, SilentConnectionsAreClosedAndEveryDeviceStillLogsIn) {
    const devsim::Fleet fleet = attack::OwnFleet(11);
    attack::Child child;
    ASSERT_TRUE(child.Start(kDevsim, fleet, {"--login-timeout-ms", "1000"}));
    // 40 per device: those beyond the per-device cap are closed at once,
    // the others when their time to log in is up.
    std::vector<int> silent = attack::SilentConnections(fleet, 40);
    ASSERT_EQ(silent.size(), 440u);
    EXPECT_EQ(attack::OpenAfter(silent, 20s), 0u);
    EXPECT_EQ(attack::DevicesLoggingIn(fleet, 10s), fleet.devices.size());
    attack::CloseAll(silent);
}

TEST(SimulatorUnderAttack, SilentConnectionsCannotKeepAClientOutWhileTheyLast) {
    const devsim::Fleet fleet = attack::OwnFleet(3);
    attack::Child child;
    ASSERT_TRUE(child.Start(kDevsim, fleet, {"--login-timeout-ms", "60000"}));
    // Every device full of connections that never speak, for a minute: a
    // new client pushes out the oldest of them and logs in at once.
    std::vector<int> silent = attack::SilentConnections(fleet, 40);
    EXPECT_EQ(attack::DevicesLoggingIn(fleet, 0s), fleet.devices.size());
    attack::CloseAll(silent);
}

// 66 silent connections against a limit of 64 descriptors. With a total cap
// above the limit accepting fails; with the default cap, taken from the
// limit, connections beyond it are closed at once. Either way the loop
// must not spin, and every device logs in once the silent ones time out.
TEST(SimulatorUnderAttack, RunningOutOfDescriptorsNeitherSpinsNorLocksDevicesOut) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"accepting fails", {"--login-timeout-ms", "2500", "--max-connections", "4096"}},
        {"cap from the descriptor limit", {"--login-timeout-ms", "2500"}},
    };
    const devsim::Fleet fleet = attack::OwnFleet(11);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        attack::Child child;
        ASSERT_TRUE(child.Start(kDevsim, fleet, c.args, 64));
        std::vector<int> silent = attack::SilentConnections(fleet, 6);
        std::this_thread::sleep_for(200ms);
        const long before = child.CpuTicks();
        std::this_thread::sleep_for(2s);
        // A check for burnt CPU, not for speed: a spinning loop takes all of it.
        EXPECT_LT(child.CpuTicks() - before, sysconf(_SC_CLK_TCK)) << "ticks of CPU in 2 s";
        EXPECT_EQ(attack::OpenAfter(silent, 30s), 0u);
        EXPECT_EQ(attack::DevicesLoggingIn(fleet, 10s), fleet.devices.size());
        attack::CloseAll(silent);
    }
}

TEST(SimulatorUnderAttack, AClientThatNeverReadsCannotGrowIt) {
    devsim::Fleet fleet = attack::OwnFleet(1);
    devsim::DeviceProfile& device = fleet.devices[0];
    // Ten long entries: about 3 KiB of answer for each 20-byte request.
    for (int i = 0; i < 10; ++i) device.config.push_back({"Entry" + std::to_string(i), std::string(255, 'v')});
    attack::Child child;
    ASSERT_TRUE(child.Start(kDevsim, fleet));
    const std::int32_t handle =
        Q9_NET_DVR_Login(device.record.eth0.ip, device.record.privatePort, "admin", "tarnwick", nullptr);
    ASSERT_NE(handle, -1);
    const int fd = attack::SdkConnection(attack::AddressOf(device), device.record.privatePort);
    ASSERT_GE(fd, 0);

    const long before = child.RssKiB();
    const int sent = attack::RequestsWithoutReading(fd, 20000);
    std::this_thread::sleep_for(500ms);  // whatever the simulator takes in, it has taken
    EXPECT_LT(child.RssKiB() - before, 16 * 1024) << sent << " requests sent";
    EXPECT_TRUE(attack::LogsIn(device));  // the stalled connection holds up no one else
    close(fd);
    Q9_NET_DVR_Logout(handle);
}

TEST(SimulatorUnderAttack, AProbeFloodAtDelayedAnswersCannotGrowIt) {
    devsim::Fleet fleet = attack::OwnFleet(8);
    for (devsim::DeviceProfile& device : fleet.devices) {
        device.behaviour.answerDelayMs = 30000;
        device.behaviour.duplicateAnswers = 1;
        device.behaviour.lateAnswerMs = 60000;
    }
    attack::Child child;
    ASSERT_TRUE(child.Start(kDevsim, fleet));
    const long before = child.RssKiB();
    // Unbounded, 20000 probes from 16 addresses would leave 480000 answers waiting.
    const int sent = attack::Flood(child.discoveryPort(), {attack::PaddedProbe()}, 20000, 16);
    std::this_thread::sleep_for(500ms);
    EXPECT_LT(child.RssKiB() - before, 64 * 1024) << sent << " probes sent";
    EXPECT_TRUE(child.Running());
    EXPECT_TRUE(attack::LogsIn(fleet.devices[0]));
}

TEST(SimulatorUnderAttack, OnlyAFullSizeProbeIsAnsweredAndNoAnswerOutgrowsIt) {
    const devsim::Fleet fleet = attack::OwnFleet(11);
    attack::Child child;
    ASSERT_TRUE(child.Start(kDevsim, fleet));
    wire::Bytes noisy = attack::PaddedProbe();
    std::fill(noisy.begin() + wire::kHeaderSize + sizeof(wire::Token), noisy.end(), 0xA5);
    struct Case {
        const char* name;
        wire::Bytes probe;
        std::size_t answers;
    };
    const Case cases[] = {
        {"unpadded", attack::UnpaddedProbe(), 0},
        {"padded", attack::PaddedProbe(), fleet.devices.size()},
        {"padding of any content", noisy, fleet.devices.size()},
    };
    for (const Case& c : cases) {
        const std::vector<std::size_t> sizes = attack::AnswerSizes(child.discoveryPort(), c.probe);
        EXPECT_EQ(sizes.size(), c.answers) << c.name;
        for (std::size_t size : sizes) EXPECT_LE(size, c.probe.size()) << c.name;
    }
}

}  // namespace
