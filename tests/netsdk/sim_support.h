// Helpers for tests that run the SDK against an in-process fleet on
// loopback. Every fleet binds free ports only, so tests never collide.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devsim/fleet_generator.h"
#include "devsim/fleet_server.h"
#include "netsdk/settings.h"
#include "netsdk/settings_store.h"
#include "sdk/q9_netsdk.h"

namespace sim {

inline constexpr std::uint32_t kLoopback = 0x7F000001u;

// Settings confined to one fleet's discovery port on 127.0.0.1.
inline netsdk::Settings LoopbackSettings(std::uint16_t port, int windowMs = 600) {
    netsdk::Settings settings;
    settings.autoTargets = false;
    settings.targets = {{kLoopback, port}};
    settings.discoveryPort = port;
    settings.bindAddress = kLoopback;
    settings.windowMs = windowMs;
    settings.probeRepeats = 3;
    settings.connectTimeoutMs = 1000;
    settings.ioTimeoutMs = 1000;
    settings.modifyTimeoutMs = 1500;
    // ONVIF tests turn it on with their own responder's port.
    settings.onvif = false;
    return settings;
}

inline std::unique_ptr<devsim::FleetServer> StartFleet(const devsim::Fleet& fleet,
                                                       devsim::ServerOptions options = {}) {
    options.discoveryAddress = kLoopback;
    options.discoveryPort = 0;
    std::string error;
    auto server = devsim::FleetServer::Start(fleet, options, error);
    EXPECT_TRUE(server) << error;
    return server;
}

// Starts a fleet and points the SDK at it.
inline std::unique_ptr<devsim::FleetServer> StartFleetAndApply(const devsim::Fleet& fleet, int windowMs = 600,
                                                               devsim::ServerOptions options = {}) {
    auto server = StartFleet(fleet, options);
    if (server) netsdk::ApplySettings(LoopbackSettings(server->discoveryPort(), windowMs));
    return server;
}

// Collects what the discovery callback receives.
class Collector {
public:
    Collector() { Q9_NET_DVR_SetDiscoveryCallBack(&Collector::OnRecord, this); }
    ~Collector() { Q9_NET_DVR_SetDiscoveryCallBack(nullptr, nullptr); }

    std::vector<DeviceRecord> Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(records_, {});
    }
    std::size_t Count() {
        std::lock_guard lock(mutex_);
        return records_.size();
    }
    // Waits until at least `count` records have arrived, or the timeout.
    bool WaitFor(std::size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, timeout, [&] { return records_.size() >= count; });
    }

private:
    static void Q9_CALLCONV OnRecord(const DeviceRecord* record, void* user) {
        auto* self = static_cast<Collector*>(user);
        std::lock_guard lock(self->mutex_);
        self->records_.push_back(*record);
        self->arrived_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<DeviceRecord> records_;
};

inline const DeviceRecord* FindBySerial(const std::vector<DeviceRecord>& records, const std::string& sn) {
    for (const DeviceRecord& record : records) {
        if (sn == record.sn) return &record;
    }
    return nullptr;
}

inline devsim::DeviceProfile* FindSpec(devsim::Fleet& fleet, const std::string& sn) {
    for (auto& device : fleet.devices) {
        if (sn == device.record.sn) return &device;
    }
    return nullptr;
}

inline devsim::Fleet SmallFleet(int count, std::uint32_t firstAddress = 0x7F010001u) {
    devsim::GeneratorOptions options;
    options.count = count;
    options.firstAddress = firstAddress;
    return devsim::GenerateFleet(options);
}

}  // namespace sim
