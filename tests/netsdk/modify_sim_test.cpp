// Modify against in-process devices: authenticated, validated by the
// device, and visible to the next discovery.
#include <fstream>

#include "devsim/fleet_xml.h"
#include "sim_support.h"
#include "tests/support/temp_dir.h"

namespace {

class ModifySim : public testing_support::TempDirTest {
protected:
    void Start(devsim::Fleet fleet, devsim::ServerOptions options = {}) {
        server_ = sim::StartFleetAndApply(fleet, 500, options);
        ASSERT_TRUE(server_);
    }
    // The record as the application holds it: discovered, so with the SDK's
    // credentials filled in.
    DeviceRecord Discover(const std::string& sn) {
        sim::Collector collector;
        Q9_NET_DVR_StartDiscoveryIPC();
        const auto records = collector.Take();
        const DeviceRecord* found = sim::FindBySerial(records, sn);
        EXPECT_NE(found, nullptr) << sn;
        return found ? *found : DeviceRecord{};
    }
    static void SetAddress(DeviceRecord& record, const char* ip, const char* mask, const char* gw) {
        std::snprintf(record.eth0.ip, sizeof record.eth0.ip, "%s", ip);
        std::snprintf(record.eth0.mask, sizeof record.eth0.mask, "%s", mask);
        std::snprintf(record.eth0.gw, sizeof record.eth0.gw, "%s", gw);
    }
    std::string CurrentIp(const std::string& sn) {
        devsim::Fleet fleet = server_->Snapshot();
        return sim::FindSpec(fleet, sn)->record.eth0.ip;
    }

    std::unique_ptr<devsim::FleetServer> server_;
};

TEST_F(ModifySim, AnAcceptedChangeMovesTheDeviceAndRediscoveryShowsIt) {
    Start(sim::SmallFleet(3, 0x7F150001u));
    const std::string sn = server_->Snapshot().devices[1].record.sn;
    DeviceRecord record = Discover(sn);
    SetAddress(record, "127.21.9.9", "255.0.0.0", "127.0.0.1");
    ASSERT_EQ(Q9_NET_DVR_ModifyIPC(&record), 1);
    EXPECT_EQ(CurrentIp(sn), "127.21.9.9");

    const DeviceRecord moved = Discover(sn);
    EXPECT_STREQ(moved.eth0.ip, "127.21.9.9");
    // It listens on the new address, and no longer on the old one.
    const std::int32_t handle = Q9_NET_DVR_Login("127.21.9.9", moved.privatePort, "admin", "tarnwick", nullptr);
    EXPECT_NE(handle, -1);
    Q9_NET_DVR_Logout(handle);
    EXPECT_EQ(Q9_NET_DVR_Login("127.21.0.2", moved.privatePort, "admin", "tarnwick", nullptr), -1);
}

TEST_F(ModifySim, AWrongPasswordReturnsZeroAndChangesNothing) {
    Start(sim::SmallFleet(2, 0x7F160001u));
    const std::string sn = server_->Snapshot().devices[0].record.sn;
    DeviceRecord record = Discover(sn);
    const std::string before = record.eth0.ip;
    SetAddress(record, "127.22.9.9", "255.0.0.0", "127.0.0.1");
    std::snprintf(record.password, sizeof record.password, "%s", "not-it");
    EXPECT_EQ(Q9_NET_DVR_ModifyIPC(&record), 0);
    EXPECT_EQ(CurrentIp(sn), before);
    EXPECT_STREQ(Discover(sn).eth0.ip, before.c_str());
}

TEST_F(ModifySim, InvalidAddressesAreRefusedByTheDevice) {
    Start(sim::SmallFleet(1, 0x7F170001u));
    const std::string sn = server_->Snapshot().devices[0].record.sn;
    const DeviceRecord discovered = Discover(sn);
    const std::string before = discovered.eth0.ip;
    struct Case {
        const char* ip;
        const char* mask;
        const char* gw;
    };
    // Each passes a plain dotted-quad check but is no usable setting.
    const Case cases[] = {
        {"127.255.255.255", "255.0.0.0", "127.0.0.1"},  // broadcast of its subnet
        {"127.0.0.0", "255.0.0.0", "127.0.0.1"},        // network address
        {"224.0.0.1", "255.0.0.0", "0.0.0.0"},          // multicast
        {"127.23.1.1", "255.0.255.0", "127.0.0.1"},     // mask not contiguous
        {"127.23.1.1", "255.255.255.0", "10.0.0.1"},    // gateway outside the subnet
        {"127.23.1.1", "255.0.0.0", "127.23.1.1"},      // gateway is the device itself
        {"1..2.3", "255.0.0.0", "127.0.0.1"},           // empty part
        {"10.1.2.3", "255.0.0.0", "10.0.0.1"},          // valid, but cannot be bound here
    };
    for (const Case& c : cases) {
        DeviceRecord record = discovered;
        SetAddress(record, c.ip, c.mask, c.gw);
        EXPECT_EQ(Q9_NET_DVR_ModifyIPC(&record), 0) << c.ip << " " << c.mask << " " << c.gw;
        EXPECT_EQ(CurrentIp(sn), before);
    }
}

TEST_F(ModifySim, AnUnknownDeviceGetsNoAnswerAndZero) {
    Start(sim::SmallFleet(1, 0x7F180001u));
    DeviceRecord record = Discover(server_->Snapshot().devices[0].record.sn);
    record.eth0.mac[5] ^= 0xFF;  // same serial, another MAC
    SetAddress(record, "127.24.9.9", "255.0.0.0", "127.0.0.1");
    EXPECT_EQ(Q9_NET_DVR_ModifyIPC(&record), 0);
    EXPECT_EQ(Q9_NET_DVR_ModifyIPC(nullptr), 0);
}

TEST_F(ModifySim, AStrangersFailedModifiesDoNotLockTheAdministratorOut) {
    Start(sim::SmallFleet(1, 0x7F190001u));
    const std::string sn = server_->Snapshot().devices[0].record.sn;
    DeviceRecord good = Discover(sn);
    SetAddress(good, "127.25.9.9", "255.0.0.0", "127.0.0.1");
    DeviceRecord bad = good;
    std::snprintf(bad.password, sizeof bad.password, "%s", "guess");
    // The stranger sends from another loopback address and gives up soon:
    // a device that never proves the key is waited for until the timeout.
    const netsdk::Settings admin = netsdk::CurrentSettings();
    netsdk::Settings stranger = admin;
    stranger.bindAddress = 0x7F000002u;
    stranger.modifyTimeoutMs = 300;
    netsdk::ApplySettings(stranger);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Q9_NET_DVR_ModifyIPC(&bad), 0);
    netsdk::ApplySettings(admin);
    EXPECT_EQ(Q9_NET_DVR_ModifyIPC(&good), 1);
    EXPECT_EQ(CurrentIp(sn), "127.25.9.9");
}

TEST_F(ModifySim, WithSaveTheFleetFileIsReplacedWithTheNewAddress) {
    const std::string path = (dir() / "fleet.xml").string();
    devsim::Fleet fleet = sim::SmallFleet(2, 0x7F1A0001u);
    std::string error;
    ASSERT_TRUE(devsim::SaveFleetFile(path, fleet, error)) << error;
    devsim::ServerOptions options;
    options.saveFile = path;
    Start(fleet, options);
    const std::string sn = fleet.devices[1].record.sn;
    DeviceRecord record = Discover(sn);
    SetAddress(record, "127.26.7.7", "255.255.0.0", "127.26.0.1");
    ASSERT_EQ(Q9_NET_DVR_ModifyIPC(&record), 1);

    devsim::Fleet saved;
    ASSERT_TRUE(devsim::LoadFleetFile(path, saved, error)) << error;
    const devsim::DeviceProfile* device = sim::FindSpec(saved, sn);
    ASSERT_NE(device, nullptr);
    EXPECT_STREQ(device->record.eth0.ip, "127.26.7.7");
    EXPECT_STREQ(device->record.eth0.mask, "255.255.0.0");
    EXPECT_STREQ(device->record.eth0.gw, "127.26.0.1");
    EXPECT_STREQ(sim::FindSpec(saved, fleet.devices[0].record.sn)->record.eth0.ip, fleet.devices[0].record.eth0.ip);
    // No temporary file is left beside it.
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir())) ++files;
    EXPECT_EQ(files, 1);
}

}  // namespace
