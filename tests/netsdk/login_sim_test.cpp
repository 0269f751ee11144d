// Login, configuration command 533 and logout against in-process devices.
#include <future>

#include "netsdk/prover_secrets.h"
#include "netsdk/sessions.h"
#include "sim_support.h"

namespace {

using namespace std::chrono_literals;

class LoginSim : public ::testing::Test {
protected:
    // One camera per behaviour under test; each test changes its own.
    void StartWith(void (*configure)(devsim::DeviceProfile&)) {
        fleet_ = sim::SmallFleet(1);
        configure(fleet_.devices[0]);
        server_ = sim::StartFleetAndApply(fleet_);
        ASSERT_TRUE(server_);
        device_ = server_->Snapshot().devices[0].record;
    }
    std::int32_t Login(const char* password = "tarnwick") {
        unsigned char info[Q9_LOGIN_INFO_SIZE];
        return Q9_NET_DVR_Login(device_.eth0.ip, device_.privatePort, "admin", password, info);
    }
    bool ReadConfig(std::int32_t handle, SensorConfigEntry (&entries)[10], std::uint32_t& bytes) {
        std::memset(entries, 0x5A, sizeof entries);
        return Q9_NET_DVR_GetDVRConfig(handle, Q9_GET_SENSOR_CONFIG, 0, entries, kSensorConfigBlockSize,
                                       &bytes) != 0;
    }
    static int IndexOf(const SensorConfigEntry (&entries)[10], const char* name) {
        for (int i = 0; i < 10; ++i) {
            if (std::strcmp(entries[i].name, name) == 0) return i;
        }
        return -1;
    }

    devsim::Fleet fleet_;
    std::unique_ptr<devsim::FleetServer> server_;
    DeviceRecord device_{};
};

TEST_F(LoginSim, LoginReadsTheTenEntriesAndLogsOut) {
    StartWith([](devsim::DeviceProfile& d) { d.sensorModel = "IMX291"; });
    unsigned char info[Q9_LOGIN_INFO_SIZE];
    const std::int32_t handle = Q9_NET_DVR_Login(device_.eth0.ip, device_.privatePort, "admin", "tarnwick", info);
    ASSERT_NE(handle, -1);
    EXPECT_STREQ(reinterpret_cast<const char*>(info), device_.sn);
    SensorConfigEntry entries[10];
    std::uint32_t bytes = 0;
    ASSERT_TRUE(ReadConfig(handle, entries, bytes));
    EXPECT_EQ(bytes, kSensorConfigBlockSize);
    const auto expected = devsim::ConfigEntries(fleet_.devices[0]);
    ASSERT_EQ(expected.size(), 10u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(expected[static_cast<std::size_t>(i)].name, entries[i].name);
        EXPECT_EQ(expected[static_cast<std::size_t>(i)].value, entries[i].value);
    }
    EXPECT_STREQ(entries[IndexOf(entries, "SensorModel")].value, "IMX291");
    // A second read on the same session gives the same block.
    SensorConfigEntry again[10];
    ASSERT_TRUE(ReadConfig(handle, again, bytes));
    EXPECT_EQ(std::memcmp(entries, again, sizeof entries), 0);
    EXPECT_EQ(Q9_NET_DVR_Logout(handle), 1);
    // The handle is gone: reads and a second logout fail cleanly.
    EXPECT_FALSE(ReadConfig(handle, entries, bytes));
    EXPECT_EQ(Q9_NET_DVR_Logout(handle), 0);
}

TEST_F(LoginSim, FewerEntriesLeaveTheRestOfTheBlockZero) {
    StartWith([](devsim::DeviceProfile& d) { d.config = {{"SensorModel", "OS04A10"}, {"Lens", "2.8mm"}}; });
    const std::int32_t handle = Login();
    ASSERT_NE(handle, -1);
    SensorConfigEntry entries[10];
    std::uint32_t bytes = 0;
    ASSERT_TRUE(ReadConfig(handle, entries, bytes));
    EXPECT_EQ(bytes, 2 * sizeof(SensorConfigEntry));
    EXPECT_STREQ(entries[0].value, "OS04A10");
    const SensorConfigEntry zero{};
    for (int i = 2; i < 10; ++i) EXPECT_EQ(std::memcmp(&entries[i], &zero, sizeof zero), 0) << i;
    Q9_NET_DVR_Logout(handle);
}

TEST_F(LoginSim, SensorModelCanBeMissingOrTwice) {
    StartWith([](devsim::DeviceProfile& d) {
        d.sensorModel = "IMX291";
        d.behaviour.sensorModelEntries = 2;
    });
    std::int32_t handle = Login();
    ASSERT_NE(handle, -1);
    SensorConfigEntry entries[10];
    std::uint32_t bytes = 0;
    ASSERT_TRUE(ReadConfig(handle, entries, bytes));
    int count = 0;
    for (const auto& entry : entries) count += std::strcmp(entry.name, "SensorModel") == 0;
    EXPECT_EQ(count, 2);
    EXPECT_STREQ(entries[IndexOf(entries, "SensorModel")].value, "IMX291");
    Q9_NET_DVR_Logout(handle);

    server_.reset();
    StartWith([](devsim::DeviceProfile& d) { d.behaviour.sensorModelEntries = 0; });
    handle = Login();
    ASSERT_NE(handle, -1);
    ASSERT_TRUE(ReadConfig(handle, entries, bytes));
    EXPECT_EQ(IndexOf(entries, "SensorModel"), -1);
    Q9_NET_DVR_Logout(handle);
}

TEST_F(LoginSim, ALoginRefusedTwiceIsThenAccepted) {
    StartWith([](devsim::DeviceProfile& d) { d.behaviour.refuseLogins = 2; });
    EXPECT_EQ(Login(), -1);
    EXPECT_EQ(Login(), -1);
    const std::int32_t handle = Login();
    EXPECT_NE(handle, -1);
    Q9_NET_DVR_Logout(handle);
}

TEST_F(LoginSim, ConcurrentLoginsToOneDeviceDeriveItsSecretsOnce) {
    StartWith([](devsim::DeviceProfile&) {});
    const long before = netsdk::ProverSecretDerivations();
    std::vector<std::future<std::int32_t>> logins;
    for (int i = 0; i < 8; ++i) logins.push_back(std::async(std::launch::async, [this] { return Login(); }));
    for (auto& login : logins) {
        const std::int32_t handle = login.get();
        EXPECT_NE(handle, -1);
        Q9_NET_DVR_Logout(handle);
    }
    EXPECT_EQ(netsdk::ProverSecretDerivations() - before, 1);
}

TEST_F(LoginSim, AWrongPasswordGivesMinusOne) {
    StartWith([](devsim::DeviceProfile&) {});
    EXPECT_EQ(Login("not-it"), -1);
    EXPECT_EQ(Q9_NET_DVR_Login(device_.eth0.ip, device_.privatePort, "guest", "tarnwick", nullptr), -1);
    // The right one still works afterwards.
    const std::int32_t handle = Login();
    EXPECT_NE(handle, -1);
    Q9_NET_DVR_Logout(handle);
}

TEST_F(LoginSim, ADeviceThatRejectsEveryPasswordNeverLogsIn) {
    StartWith([](devsim::DeviceProfile& d) { d.behaviour.wrongPassword = true; });
    EXPECT_EQ(Login(), -1);
}

TEST_F(LoginSim, RepeatedFailuresLockTheDeviceForAWhile) {
    StartWith([](devsim::DeviceProfile&) {});
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Login("guess"), -1);
    // Locked out: even the right password is refused now.
    EXPECT_EQ(Login(), -1);
}

TEST_F(LoginSim, AFailingConfigurationReadReturnsZeroAndKeepsTheSession) {
    StartWith([](devsim::DeviceProfile& d) { d.behaviour.configFails = true; });
    const std::int32_t handle = Login();
    ASSERT_NE(handle, -1);
    SensorConfigEntry entries[10];
    std::uint32_t bytes = 0;
    EXPECT_FALSE(ReadConfig(handle, entries, bytes));
    EXPECT_EQ(Q9_NET_DVR_Logout(handle), 1);
}

TEST_F(LoginSim, BadConfigurationArgumentsFailWithoutTouchingTheDevice) {
    StartWith([](devsim::DeviceProfile&) {});
    const std::int32_t handle = Login();
    ASSERT_NE(handle, -1);
    SensorConfigEntry entries[10];
    std::uint32_t bytes = 0;
    EXPECT_EQ(Q9_NET_DVR_GetDVRConfig(handle, 533, 0, entries, kSensorConfigBlockSize - 1, &bytes), 0);
    EXPECT_EQ(Q9_NET_DVR_GetDVRConfig(handle, 533, 0, nullptr, kSensorConfigBlockSize, &bytes), 0);
    EXPECT_EQ(Q9_NET_DVR_GetDVRConfig(handle, 534, 0, entries, kSensorConfigBlockSize, &bytes), 0);
    EXPECT_EQ(Q9_NET_DVR_GetDVRConfig(handle, 533, 1, entries, kSensorConfigBlockSize, &bytes), 0);
    EXPECT_EQ(Q9_NET_DVR_GetDVRConfig(12345678, 533, 0, entries, kSensorConfigBlockSize, &bytes), 0);
    // The session survived the refusals.
    EXPECT_TRUE(ReadConfig(handle, entries, bytes));
    Q9_NET_DVR_Logout(handle);
}

TEST_F(LoginSim, ASilentDeviceCostsAtMostTheReadTimeout) {
    StartWith([](devsim::DeviceProfile& d) { d.behaviour.silent = true; });
    const auto settings = netsdk::CurrentSettings();
    const auto bound = std::chrono::milliseconds(settings.connectTimeoutMs + settings.ioTimeoutMs);
    auto attempt = std::async(std::launch::async, [&] { return Login(); });
    // Generous slack for loaded or instrumented builds; a hang fails here.
    ASSERT_EQ(attempt.wait_for(bound * 4 + 5s), std::future_status::ready);
    EXPECT_EQ(attempt.get(), -1);
}

TEST_F(LoginSim, ADeviceGoneMidLoginGivesMinusOneAndStaysGone) {
    StartWith([](devsim::DeviceProfile& d) { d.behaviour.goneMidLogin = true; });
    EXPECT_EQ(Login(), -1);
    EXPECT_EQ(Login(), -1);  // nothing listens any more
}

TEST_F(LoginSim, NothingListeningOrABadAddressGivesMinusOne) {
    StartWith([](devsim::DeviceProfile&) {});
    EXPECT_EQ(Q9_NET_DVR_Login("127.0.0.1", 1, "admin", "tarnwick", nullptr), -1);
    EXPECT_EQ(Q9_NET_DVR_Login("127.0.0.256", device_.privatePort, "admin", "tarnwick", nullptr), -1);
    EXPECT_EQ(Q9_NET_DVR_Login(device_.eth0.ip, 0, "admin", "tarnwick", nullptr), -1);
    EXPECT_EQ(Q9_NET_DVR_Login(device_.eth0.ip, 70000, "admin", "tarnwick", nullptr), -1);
    EXPECT_EQ(Q9_NET_DVR_Login(nullptr, device_.privatePort, "admin", "tarnwick", nullptr), -1);
    // A password longer than its 16-byte field is refused before any traffic.
    EXPECT_EQ(Q9_NET_DVR_Login(device_.eth0.ip, device_.privatePort, "admin", "sixteen-chars-xx", nullptr), -1);
    EXPECT_EQ(netsdk::OpenSessionCount(), 0);
}

TEST_F(LoginSim, LogoutDuringAReadFromAnotherThreadEndsTheRead) {
    StartWith([](devsim::DeviceProfile&) {});
    const std::int32_t handle = Login();
    ASSERT_NE(handle, -1);
    // Reads and a logout race; every call returns and nothing leaks.
    auto reader = std::async(std::launch::async, [&] {
        SensorConfigEntry entries[10];
        std::uint32_t bytes = 0;
        for (int i = 0; i < 200; ++i) ReadConfig(handle, entries, bytes);
    });
    EXPECT_EQ(Q9_NET_DVR_Logout(handle), 1);
    ASSERT_EQ(reader.wait_for(30s), std::future_status::ready);
    SensorConfigEntry entries[10];
    std::uint32_t bytes = 0;
    EXPECT_FALSE(ReadConfig(handle, entries, bytes));
    EXPECT_EQ(netsdk::OpenSessionCount(), 0);
}

}  // namespace
