// tarnwick-bench: three loads against a tarnwick-devsim child on loopback.
//   1. discovery of 250 devices
//   2. 250 concurrent sequences of login, configuration read and logout
//   3. discovery of 1000 devices
// Prints devices delivered against expected, start to last delivery,
// per-login p50/p99 and total, and the peak memory of both processes.
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bench/simulator_child.h"
#include "devsim/fleet_generator.h"
#include "devsim/fleet_xml.h"
#include "sdk/q9_netsdk.h"

namespace {

using Clock = std::chrono::steady_clock;

long g_simulatorPeakKiB = 0;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The simulator child, keeping the larger child's peak memory when it stops.
class Simulator : public SimulatorChild {
public:
    ~Simulator() { g_simulatorPeakKiB = std::max(g_simulatorPeakKiB, PeakKiB()); }
};

struct DiscoveryFigures {
    std::size_t delivered = 0;
    std::size_t distinct = 0;
    double lastDeliveryMs = 0;
    double returnMs = 0;
};

std::mutex g_mutex;
std::set<std::string> g_serials;
std::size_t g_deliveries = 0;
Clock::time_point g_start, g_last;

void Q9_CALLCONV OnDevice(const DeviceRecord* record, void*) {
    std::lock_guard lock(g_mutex);
    ++g_deliveries;
    g_serials.insert(record->sn);
    g_last = Clock::now();
}

void PointSdkAt(const std::string& dir, int port, int windowMs) {
    const std::string path = dir + "/netsdk.conf";
    std::ofstream(path) << "targets = 127.0.0.1\ndiscovery_port = " << port << "\nbind_address = 127.0.0.1\nonvif = off\n"
                        << "window_ms = " << windowMs << "\nconnect_timeout_ms = 5000\nio_timeout_ms = 5000\n";
    setenv("TARNWICK_NETSDK_SETTINGS", path.c_str(), 1);
    Q9_NET_DVR_Init();
}

DiscoveryFigures Discover() {
    {
        std::lock_guard lock(g_mutex);
        g_serials.clear();
        g_deliveries = 0;
        g_start = g_last = Clock::now();
    }
    Q9_NET_DVR_StopDiscoveryIPC();
    Q9_NET_DVR_StartDiscoveryIPC();
    const auto end = Clock::now();
    std::lock_guard lock(g_mutex);
    return {g_deliveries, g_serials.size(), Ms(g_last - g_start), Ms(end - g_start)};
}

bool Report(const char* name, std::size_t expected, const DiscoveryFigures& f) {
    std::printf("%-28s delivered %zu of %zu (distinct %zu), last delivery %.1f ms, window closed %.1f ms\n", name,
                f.delivered, expected, f.distinct, f.lastDeliveryMs, f.returnMs);
    return f.delivered == expected && f.distinct == expected;
}

bool LoginLoad(const devsim::Fleet& fleet) {
    const std::size_t count = fleet.devices.size();
    std::vector<double> latencies(count, 0);
    std::atomic<int> ok{0};
    std::vector<std::thread> threads;
    const auto start = Clock::now();
    for (std::size_t i = 0; i < count; ++i) {
        threads.emplace_back([&, i] {
            const DeviceRecord& r = fleet.devices[i].record;
            const auto begin = Clock::now();
            const std::int32_t handle = Q9_NET_DVR_Login(r.eth0.ip, r.privatePort, "admin", "tarnwick", nullptr);
            latencies[i] = Ms(Clock::now() - begin);
            if (handle == -1) return;
            SensorConfigEntry entries[10];
            std::uint32_t bytes = 0;
            const bool read = Q9_NET_DVR_GetDVRConfig(handle, Q9_GET_SENSOR_CONFIG, 0, entries, sizeof entries, &bytes);
            if (Q9_NET_DVR_Logout(handle) && read) ++ok;
        });
    }
    for (auto& thread : threads) thread.join();
    const double total = Ms(Clock::now() - start);
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) { return latencies[std::min(count - 1, static_cast<std::size_t>(q * static_cast<double>(count)))]; };
    std::printf("%-28s %d of %zu sequences ok, login p50 %.2f ms, p99 %.2f ms, all %zu sequences %.1f ms\n",
                "login+config+logout", ok.load(), count, at(0.50), at(0.99), count, total);
    return ok.load() == static_cast<int>(count);
}

}  // namespace

int main() {
    char dirTemplate[] = "/tmp/tarnwick-bench-XXXXXX";
    if (mkdtemp(dirTemplate) == nullptr) return 1;
    const std::string dir = dirTemplate;
    Q9_NET_DVR_SetDiscoveryCallBack(&OnDevice, nullptr);
    bool ok = true;
    {
        devsim::GeneratorOptions options;
        options.count = 250;
        options.firstAddress = 0x7F280001u;  // 127.40.0.1
        options.controlPort = 8000;
        const devsim::Fleet fleet = devsim::GenerateFleet(options);
        std::string error;
        devsim::SaveFleetFile(dir + "/fleet250.xml", fleet, error);
        Simulator sim;
        if (!sim.Start(dir + "/fleet250.xml")) return std::fprintf(stderr, "tarnwick-bench: simulator did not start\n"), 1;
        PointSdkAt(dir, sim.port(), 2000);
        ok &= Report("discovery of 250 devices", 250, Discover());
        ok &= LoginLoad(fleet);
    }
    {
        devsim::GeneratorOptions options;
        options.count = 1000;
        options.firstAddress = 0x7F290001u;  // 127.41.0.1
        options.controlPort = 8000;
        std::string error;
        devsim::SaveFleetFile(dir + "/fleet1000.xml", devsim::GenerateFleet(options), error);
        Simulator sim;
        if (!sim.Start(dir + "/fleet1000.xml")) return std::fprintf(stderr, "tarnwick-bench: simulator did not start\n"), 1;
        PointSdkAt(dir, sim.port(), 3000);
        ok &= Report("discovery of 1000 devices", 1000, Discover());
    }
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    std::printf("peak memory: bench with the SDK %ld KiB (ru_maxrss), simulator %ld KiB (VmHWM of the larger child)\n",
                self.ru_maxrss, g_simulatorPeakKiB);
    std::system(("rm -rf " + dir).c_str());
    std::printf("%s\n", ok ? "result: every device delivered, every sequence completed" : "result: LOSS");
    return ok ? 0 : 1;
}
