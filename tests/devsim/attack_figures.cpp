// Prints what each attack does to a simulator, for comparing two builds of
// it. The simulator runs with its default limits plus any arguments given
// after its path, so that any build can be measured the same way:
//
//   devsim_attack_figures PATH/tarnwick-devsim [SIMULATOR ARGS...]
//
// Probes are sent both padded and unpadded, so that a build that knows
// only one of the two forms is flooded just the same.
#include <cstdio>
#include <future>

#include "attack_support.h"
#include "netsdk/settings.h"
#include "netsdk/settings_store.h"

namespace {

using namespace std::chrono_literals;

std::string g_devsim;
std::vector<std::string> g_args;

// Devices that log in at the first attempt, all tried at once.
std::size_t DevicesLoggingInNow(const devsim::Fleet& fleet) {
    std::vector<std::future<bool>> attempts;
    for (const devsim::DeviceProfile& device : fleet.devices) {
        attempts.push_back(std::async(std::launch::async, [&device] { return attack::LogsIn(device); }));
    }
    std::size_t done = 0;
    for (auto& attempt : attempts) done += attempt.get() ? 1 : 0;
    return done;
}

bool Start(attack::Child& child, const devsim::Fleet& fleet, rlim_t openFiles = 0) {
    if (child.Start(g_devsim, fleet, g_args, openFiles)) return true;
    std::printf("the simulator did not start\n");
    return false;
}

void SilentConnections() {
    const devsim::Fleet fleet = attack::OwnFleet(11);
    attack::Child child;
    if (!Start(child, fleet)) return;
    std::vector<int> silent = attack::SilentConnections(fleet, 248);
    std::this_thread::sleep_for(12s);
    std::printf("silent connections still open 12 s after opening: %zu of %zu\n", attack::OpenAfter(silent, 0s),
                silent.size());
    attack::CloseAll(silent);
}

void DescriptorStorm() {
    const devsim::Fleet fleet = attack::OwnFleet(11);
    attack::Child child;
    if (!Start(child, fleet, 64)) return;
    std::vector<int> silent = attack::SilentConnections(fleet, 6);
    std::this_thread::sleep_for(200ms);
    const long before = child.CpuTicks();
    std::this_thread::sleep_for(3s);
    const double cpu = static_cast<double>(child.CpuTicks() - before) / static_cast<double>(sysconf(_SC_CLK_TCK));
    std::printf("descriptor limit 64, %zu silent connections: CPU %.2f s in 3 s (%.0f %%)\n", silent.size(), cpu,
                100.0 * cpu / 3.0);
    std::printf("  devices logging in during the storm: %zu of %zu\n", DevicesLoggingInNow(fleet),
                fleet.devices.size());
    std::this_thread::sleep_for(12s);
    std::printf("  devices logging in 15 s later: %zu of %zu (silent connections still open: %zu)\n",
                attack::DevicesLoggingIn(fleet, 5s), fleet.devices.size(), attack::OpenAfter(silent, 0s));
    attack::CloseAll(silent);
}

void ClientNeverReading() {
    devsim::Fleet fleet = attack::OwnFleet(1);
    devsim::DeviceProfile& device = fleet.devices[0];
    attack::Child child;
    if (!Start(child, fleet)) return;
    const std::int32_t handle =
        Q9_NET_DVR_Login(device.record.eth0.ip, device.record.privatePort, "admin", "tarnwick", nullptr);
    const int fd = attack::SdkConnection(attack::AddressOf(device), device.record.privatePort);
    if (handle == -1 || fd < 0) return static_cast<void>(std::printf("no login\n"));
    const long before = child.RssKiB();
    const int sent = attack::RequestsWithoutReading(fd, 100000);
    std::this_thread::sleep_for(1s);
    const long grown = child.RssKiB() - before;
    std::printf("client never reading: %d requests sent, RSS %ld -> %ld KiB (%.0f bytes per request)\n", sent,
                before, before + grown, 1024.0 * static_cast<double>(grown) / std::max(sent, 1));
    close(fd);
    Q9_NET_DVR_Logout(handle);
}

void ProbeFlood() {
    devsim::Fleet fleet = attack::OwnFleet(8);
    for (devsim::DeviceProfile& device : fleet.devices) {
        device.behaviour.answerDelayMs = 30000;
        device.behaviour.lateAnswerMs = 60000;
    }
    attack::Child child;
    if (!Start(child, fleet)) return;
    const long before = child.RssKiB();
    const auto start = attack::Clock::now();
    const int sent = attack::Flood(child.discoveryPort(), {attack::PaddedProbe(), attack::UnpaddedProbe()}, 100000, 16);
    const auto seconds = std::chrono::duration<double>(attack::Clock::now() - start).count();
    std::this_thread::sleep_for(1s);
    std::printf("probe flood at 8 devices with answerDelayMs and lateAnswerMs: %d datagrams in %.1f s, "
                "RSS %ld -> %ld KiB\n", sent, seconds, before, child.RssKiB());
}

void Amplification(const std::string& sampleFleet) {
    devsim::Fleet fleet;
    std::string error;
    if (!devsim::LoadFleetFile(sampleFleet, fleet, error)) return static_cast<void>(std::printf("%s\n", error.c_str()));
    for (devsim::DeviceProfile& device : fleet.devices) device.record.privatePort = 0;  // never collides
    attack::Child child;
    if (!Start(child, fleet)) return;
    for (const wire::Bytes& probe : {attack::UnpaddedProbe(), attack::PaddedProbe()}) {
        const std::vector<std::size_t> sizes = attack::AnswerSizes(child.discoveryPort(), probe);
        std::size_t bytes = 0;
        std::size_t largest = 0;
        for (std::size_t size : sizes) {
            bytes += size;
            largest = std::max(largest, size);
        }
        std::printf("sample fleet, %zu-byte probe: %zu answers, %zu bytes (largest %zu): %.2f bytes per probe "
                    "byte, %.2f per device\n", probe.size(), sizes.size(), bytes, largest,
                    static_cast<double>(bytes) / static_cast<double>(probe.size()),
                    static_cast<double>(largest) / static_cast<double>(probe.size()));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: devsim_attack_figures PATH/tarnwick-devsim [SIMULATOR ARGS...]\n");
        return 2;
    }
    g_devsim = argv[1];
    g_args.assign(argv + 2, argv + argc);
    netsdk::Settings settings;  // logins only: no discovery targets at all
    settings.autoTargets = false;
    settings.connectTimeoutMs = 1000;
    settings.ioTimeoutMs = 1500;
    netsdk::ApplySettings(settings);
    Amplification(std::string(TARNWICK_FLEETS_DIR) + "/sample.xml");
    ClientNeverReading();
    ProbeFlood();
    DescriptorStorm();
    SilentConnections();
    return 0;
}
