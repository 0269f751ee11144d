// The broadcast path: two network namespaces joined by veth, the fleet in
// one and the SDK in the other, discovery through the subnet's broadcast
// address. Needs root and `ip netns`; the namespaces are always removed.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "devsim/fleet_generator.h"
#include "devsim/fleet_xml.h"

extern char** environ;

namespace {

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

std::string Capture(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
    pclose(pipe);
    return out;
}

class NamespacePair : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "needs root";
        if (Shell("ip netns list") != 0) GTEST_SKIP() << "ip netns is not available";
        const int id = static_cast<int>(getpid() % 100000);
        devNs_ = "tnwk-dev-" + std::to_string(id);
        sdkNs_ = "tnwk-sdk-" + std::to_string(id);
        subnet_ = "10.213." + std::to_string(id % 250) + ".";
        const std::string devIf = "tvd" + std::to_string(id), sdkIf = "tvs" + std::to_string(id);
        created_ = true;
        const std::string steps[] = {
            "ip netns add " + devNs_,
            "ip netns add " + sdkNs_,
            "ip link add " + devIf + " type veth peer name " + sdkIf,
            "ip link set " + devIf + " netns " + devNs_,
            "ip link set " + sdkIf + " netns " + sdkNs_,
            "ip -n " + devNs_ + " addr add " + subnet_ + "1/24 brd + dev " + devIf,
            "ip -n " + devNs_ + " addr add " + subnet_ + "2/24 dev " + devIf,
            "ip -n " + devNs_ + " addr add " + subnet_ + "3/24 dev " + devIf,
            "ip -n " + sdkNs_ + " addr add " + subnet_ + "100/24 brd + dev " + sdkIf,
            "ip -n " + devNs_ + " link set " + devIf + " up",
            "ip -n " + sdkNs_ + " link set " + sdkIf + " up",
            "ip -n " + devNs_ + " link set lo up",
            "ip -n " + sdkNs_ + " link set lo up",
        };
        for (const std::string& step : steps) ASSERT_EQ(Shell(step), 0) << step;
        char dir[] = "/tmp/tarnwick-netns-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
    }

    void TearDown() override {
        StopFleet();
        if (created_) {
            Shell("ip netns del " + devNs_);
            Shell("ip netns del " + sdkNs_);
        }
        if (!dir_.empty()) Shell("rm -rf " + dir_);
    }

    // Starts the simulator inside the device namespace and waits for its
    // ready line.
    void StartFleet(const std::string& fleetPath) {
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        const std::string ns = devNs_;
        const char* argv[] = {"ip", "netns", "exec", ns.c_str(), TARNWICK_DEVSIM, "--fleet", fleetPath.c_str(),
                              "--bind-discovery", "0.0.0.0", "--port", "39300", nullptr};
        ASSERT_EQ(posix_spawnp(&fleetPid_, "ip", &actions, nullptr, const_cast<char**>(argv), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[1]);
        pollfd entry{pipeFds[0], POLLIN, 0};
        char buffer[256] = {};
        const bool ready = poll(&entry, 1, 10000) == 1 && read(pipeFds[0], buffer, sizeof buffer - 1) > 0;
        close(pipeFds[0]);
        ASSERT_TRUE(ready) << "the simulator did not start";
    }

    void StopFleet() {
        if (fleetPid_ > 0) {
            kill(fleetPid_, SIGTERM);
            waitpid(fleetPid_, nullptr, 0);
            fleetPid_ = -1;
        }
    }

    std::string devNs_, sdkNs_, subnet_, dir_;
    bool created_ = false;
    pid_t fleetPid_ = -1;
};

TEST_F(NamespacePair, DiscoveryThroughTheBroadcastAddressFindsEveryDevice) {
    devsim::GeneratorOptions options;
    options.count = 3;
    options.controlPort = 8000;
    devsim::Fleet fleet = devsim::GenerateFleet(options);
    for (int i = 0; i < 3; ++i) {
        std::snprintf(fleet.devices[static_cast<std::size_t>(i)].record.eth0.ip, 16, "%s%d", subnet_.c_str(), i + 1);
    }
    std::string error;
    const std::string fleetPath = dir_ + "/fleet.xml";
    ASSERT_TRUE(devsim::SaveFleetFile(fleetPath, fleet, error)) << error;
    const std::string settingsPath = dir_ + "/netsdk.conf";
    std::ofstream(settingsPath) << "targets = " << subnet_ << "255\ndiscovery_port = 39300\nwindow_ms = 1000\n";
    StartFleet(fleetPath);

    const std::string out = Capture("ip netns exec " + sdkNs_ + " env TARNWICK_NETSDK_SETTINGS=" + settingsPath +
                                    " " + TARNWICK_NETNS_PROBE);
    for (int i = 0; i < 3; ++i) {
        const std::string line = std::string("found ") + fleet.devices[static_cast<std::size_t>(i)].record.sn + " " +
                                 subnet_ + std::to_string(i + 1) + "\n";
        EXPECT_NE(out.find(line), std::string::npos) << out;
    }
    EXPECT_NE(out.find("login "), std::string::npos) << out;
}

}  // namespace
