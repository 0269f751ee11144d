// tarnwick-onvif-bench: how many ONVIF devices one discovery window reads in
// full. An in-process fleet of N ONVIF devices on loopback (127.0.6.x, free
// HTTP ports, a quarter of them Digest only) is discovered five times with
// a directed WS-Discovery probe; each run prints the devices delivered, how
// many were read in full (serial and MAC), and when the last one arrived.
//
//   tarnwick-onvif-bench [N] [window_ms]     (default 200 devices, 3000 ms)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "devsim/fleet_server.h"
#include "netsdk/discovery.h"
#include "netsdk/settings_store.h"
#include "sdk/q9_netsdk.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Tally {
    std::mutex mutex;
    Clock::time_point start;
    int delivered = 0;
    int full = 0;
    double lastMs = 0;
};

void Q9_CALLCONV OnRecord(const DeviceRecord* record, void* user) {
    auto* tally = static_cast<Tally*>(user);
    std::lock_guard lock(tally->mutex);
    ++tally->delivered;
    const bool hasMac = std::any_of(record->eth0.mac, record->eth0.mac + 6, [](std::uint8_t b) { return b != 0; });
    if (record->sn[0] != '\0' && hasMac) ++tally->full;
    tally->lastMs = std::chrono::duration<double, std::milli>(Clock::now() - tally->start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 1000) : 200;
    const int windowMs = argc > 2 ? std::clamp(std::atoi(argv[2]), 100, 60000) : 3000;

    devsim::Fleet fleet;
    for (int i = 0; i < count; ++i) {
        devsim::OnvifProfile device;
        char text[64];
        std::snprintf(text, sizeof text, "OB%06d", i);
        device.serialNumber = text;
        device.manufacturer = "Bench";
        device.model = "B-" + std::to_string(i % 7);
        device.firmwareVersion = "1.0";
        device.user = "admin";
        device.password = "tarnwick";
        std::snprintf(text, sizeof text, "127.0.%d.%d", 6 + i / 250, 1 + i % 250);
        device.network.address = text;
        std::snprintf(text, sizeof text, "02:0b:00:00:%02x:%02x", i / 256, i % 256);
        device.network.hwAddress = text;
        device.gateway = "127.0.6.254";
        device.httpPort = 0;
        device.behaviour.digestOnly = i % 4 == 0;
        fleet.onvifDevices.push_back(device);
    }
    devsim::ServerOptions options;
    options.discoveryPort = 0;
    options.onvifDiscoveryPort = 0;
    std::string error;
    auto server = devsim::FleetServer::Start(fleet, options, error);
    if (!server) {
        std::fprintf(stderr, "tarnwick-onvif-bench: %s\n", error.c_str());
        return 1;
    }
    netsdk::Settings settings;
    settings.autoTargets = false;
    settings.targets = {{0x7F000001u, server->discoveryPort()}};
    settings.bindAddress = 0x7F000001u;
    settings.onvifPort = server->onvifDiscoveryPort();
    settings.windowMs = windowMs;
    netsdk::ApplySettings(settings);

    std::printf("%d ONVIF devices (a quarter Digest only), window %d ms\n", count, windowMs);
    std::printf("run  delivered  read in full  last device (ms)\n");
    int shortfall = 0;
    for (int run = 1; run <= 5; ++run) {
        Tally tally;
        Q9_NET_DVR_SetDiscoveryCallBack(OnRecord, &tally);
        tally.start = Clock::now();
        Q9_NET_DVR_StartDiscoveryIPC();
        Q9_NET_DVR_SetDiscoveryCallBack(nullptr, nullptr);
        std::printf("%3d  %9d  %12d  %15.0f\n", run, tally.delivered, tally.full, tally.lastMs);
        if (tally.delivered != count || tally.full != count) ++shortfall;
    }
    server->Stop();
    return shortfall == 0 ? 0 : 2;
}
