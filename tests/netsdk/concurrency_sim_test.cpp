// Many callers at once: 1000 concurrent logins and configuration reads,
// a discovery on another thread and a modify on a third.
#include <atomic>
#include <future>
#include <thread>

#include "netsdk/sessions.h"
#include "sim_support.h"

namespace {

using namespace std::chrono_literals;

TEST(ConcurrencySim, ThousandLoginsBesideADiscoveryAndAModify) {
    Q9_NET_DVR_Init();  // raises the descriptor limit
    devsim::GeneratorOptions generator;
    generator.count = 101;
    generator.camerasOnly = true;
    generator.firstAddress = 0x7F1E0001u;
    const devsim::Fleet fleet = devsim::GenerateFleet(generator);
    // The subject is the SDK's concurrency: an instrumented build may run a
    // few exchanges past the device's time to log in, and the device's
    // back-off would turn those into a lockout of the whole test.
    devsim::ServerOptions options;
    options.limiter.freeFailures = 1000000;
    options.limits.loginTimeout = std::chrono::seconds(60);
    auto server = sim::StartFleetAndApply(fleet, 1500, options);
    ASSERT_TRUE(server);
    netsdk::Settings settings = netsdk::CurrentSettings();
    settings.connectTimeoutMs = 10000;  // a thousand connections at once queue up
    settings.ioTimeoutMs = 10000;
    settings.modifyTimeoutMs = 10000;  // and so do their key exchanges, the modify's among them
    netsdk::ApplySettings(settings);
    const devsim::Fleet running = server->Snapshot();

    sim::Collector collector;
    auto discovery = std::async(std::launch::async, [] { return Q9_NET_DVR_StartDiscoveryIPC(); });
    auto modify = std::async(std::launch::async, [&] {
        DeviceRecord record = running.devices[0].record;
        std::memcpy(record.user, "admin", 6);
        std::memcpy(record.password, "tarnwick", 9);
        std::snprintf(record.eth0.ip, sizeof record.eth0.ip, "%s", "127.30.200.1");
        return Q9_NET_DVR_ModifyIPC(&record);
    });

    std::atomic<int> succeeded{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < 1000; ++i) {
        workers.emplace_back([&, i] {
            const devsim::DeviceProfile& device = running.devices[static_cast<std::size_t>(1 + i % 100)];
            const std::int32_t handle = Q9_NET_DVR_Login(device.record.eth0.ip, device.record.privatePort,
                                                         "admin", "tarnwick", nullptr);
            if (handle == -1) return;
            SensorConfigEntry entries[10] = {};
            std::uint32_t bytes = 0;
            const bool read = Q9_NET_DVR_GetDVRConfig(handle, Q9_GET_SENSOR_CONFIG, 0, entries,
                                                      kSensorConfigBlockSize, &bytes) != 0;
            const bool logout = Q9_NET_DVR_Logout(handle) != 0;
            if (read && logout && device.sensorModel == entries[3].value) ++succeeded;
        });
    }
    for (auto& worker : workers) worker.join();
    EXPECT_EQ(succeeded.load(), 1000);
    EXPECT_EQ(modify.get(), 1);
    discovery.get();
    EXPECT_EQ(collector.Take().size(), fleet.devices.size());
    EXPECT_EQ(netsdk::OpenSessionCount(), 0);
}

}  // namespace
