// ONVIF devices end to end on loopback: one run lists our own devices and
// ONVIF devices once each, cameras' models come through configuration 533,
// and a change of address moves an ONVIF device.
#include <array>
#include <cstring>
#include <set>
#include <string>

#include "netsdk/discovery.h"

#include "sim_support.h"

namespace {

devsim::OnvifProfile OnvifDevice(const std::string& sn, const std::string& model, const std::string& address,
                                 const std::string& mac) {
    devsim::OnvifProfile device;
    device.manufacturer = "Lakeview";
    device.model = model;
    device.firmwareVersion = "V2.8.1 build 240301";
    device.serialNumber = sn;
    device.user = "admin";
    device.password = "tarnwick";
    device.network.hwAddress = mac;
    device.network.address = address;
    device.network.prefixLength = 24;
    device.gateway = "127.0.3.254";
    device.dns = {"127.0.3.53"};
    device.httpPort = 0;
    device.rtspPort = 8554;
    return device;
}

class OnvifSim : public ::testing::Test {
protected:
    void SetUp() override {
        devsim::Fleet fleet = sim::SmallFleet(2, 0x7F1E0001u);
        auto camera = OnvifDevice("OV-CAM-1", "B2-4MP", "127.0.3.1", "02:0f:00:00:03:01");
        camera.hardwareId = "IMX335";
        // Off the network for a while between its old address and its new
        // one: the gateway step must keep trying until it is back.
        camera.behaviour.moveDelay = std::chrono::milliseconds(1500);
        auto recorder = OnvifDevice("OV-NVR-1", "NVR-4108", "127.0.3.2", "02:0f:00:00:03:02");
        // A clock two hours ahead and HTTP Digest only: the token would be
        // refused, so the reading proves both the offset and Digest.
        auto skewed = OnvifDevice("OV-SKEW-1", "S2", "127.0.3.3", "02:0f:00:00:03:03");
        skewed.hardwareId = "SC2336";
        skewed.behaviour.clockOffset = 7200;
        skewed.behaviour.digestOnly = true;
        auto refusing = OnvifDevice("OV-REFUSE-1", "XVR-5104", "127.0.3.4", "02:0f:00:00:03:04");
        refusing.behaviour.refuseLogins = true;
        auto rebooting = OnvifDevice("OV-REBOOT-1", "E1", "127.0.3.5", "02:0f:00:00:03:05");
        rebooting.behaviour.rebootNeeded = true;
        rebooting.behaviour.probeAnswer = devsim::OnvifProbeAnswer::DeviceOnly;
        // A decoder tells what it is by its services only.
        auto decoder = OnvifDevice("OV-DEC-1", "VD-200", "127.0.3.6", "02:0f:00:00:03:06");
        decoder.kind = devsim::OnvifKind::Decoder;
        fleet.onvifDevices = {camera, recorder, skewed, refusing, rebooting, decoder};

        devsim::ServerOptions options;
        options.onvifDiscoveryPort = 0;
        server_ = sim::StartFleet(fleet, options);
        ASSERT_TRUE(server_);
        netsdk::Settings settings = sim::LoopbackSettings(server_->discoveryPort(), 1200);
        settings.onvif = true;
        settings.onvifPort = server_->onvifDiscoveryPort();
        // Room for the camera's 1.5 s between addresses, on a slow
        // (sanitized) build.
        settings.modifyTimeoutMs = 5000;
        netsdk::ApplySettings(settings);
    }

    std::vector<DeviceRecord> Discover() {
        sim::Collector collector;
        Q9_NET_DVR_StartDiscoveryIPC();
        return collector.Take();
    }

    static std::string SensorModel(const DeviceRecord& record) {
        const std::int32_t handle =
            Q9_NET_DVR_Login(record.eth0.ip, record.privatePort, record.user, record.password, nullptr);
        if (handle == -1) return "(login refused)";
        SensorConfigEntry entries[kSensorConfigEntries] = {};
        std::uint32_t bytes = 0;
        std::string model = "(no entry)";
        if (Q9_NET_DVR_GetDVRConfig(handle, Q9_GET_SENSOR_CONFIG, 0, entries, sizeof entries, &bytes) != 0) {
            for (const SensorConfigEntry& entry : entries) {
                if (std::string(entry.name) == "SensorModel") model = entry.value;
            }
        }
        Q9_NET_DVR_Logout(handle);
        return model;
    }

    const devsim::OnvifProfile* Current(const std::string& sn) {
        snapshot_ = server_->Snapshot();
        for (const auto& device : snapshot_.onvifDevices) {
            if (device.serialNumber == sn) return &device;
        }
        return nullptr;
    }

    std::unique_ptr<devsim::FleetServer> server_;
    devsim::Fleet snapshot_;
};

TEST_F(OnvifSim, OneRunListsBothKindsOnceWithWhatEachDeviceSays) {
    const auto records = Discover();
    ASSERT_EQ(records.size(), 8u);
    std::set<std::string> serials;
    for (const DeviceRecord& record : records) serials.insert(record.sn);
    // The refusing device has no serial number to give: it is listed by the
    // ProbeMatch alone.
    EXPECT_EQ(serials.size(), 8u);
    EXPECT_EQ(serials.count(""), 1u);

    const DeviceRecord* camera = sim::FindBySerial(records, "OV-CAM-1");
    ASSERT_NE(camera, nullptr);
    const devsim::OnvifProfile* live = Current("OV-CAM-1");
    ASSERT_NE(live, nullptr);
    EXPECT_STREQ(camera->eth0.ip, "127.0.3.1");
    EXPECT_STREQ(camera->eth0.mask, "255.255.255.0");
    EXPECT_STREQ(camera->eth0.gw, "127.0.3.254");
    EXPECT_STREQ(camera->eth0.dns1, "127.0.3.53");
    const std::uint8_t mac[6] = {0x02, 0x0f, 0, 0, 3, 1};
    EXPECT_EQ(std::memcmp(camera->eth0.mac, mac, 6), 0);
    EXPECT_EQ(camera->privatePort, live->httpPort);
    EXPECT_EQ(camera->rtspPort, 8554);
    EXPECT_STREQ(camera->model, "IPC-B2-4MP");
    EXPECT_EQ(camera->softwareVersion, MakeVersion(2, 8));
    EXPECT_STREQ(camera->user, "admin");

    EXPECT_STREQ(sim::FindBySerial(records, "OV-NVR-1")->model, "NVR-4108");
    EXPECT_STREQ(sim::FindBySerial(records, "OV-DEC-1")->model, "DEC-VD-200");
    ASSERT_NE(sim::FindBySerial(records, "OV-SKEW-1"), nullptr);
    EXPECT_STREQ(sim::FindBySerial(records, "OV-SKEW-1")->eth0.mask, "255.255.255.0");
    ASSERT_NE(sim::FindBySerial(records, "OV-REBOOT-1"), nullptr);
    const DeviceRecord* refusing = sim::FindBySerial(records, "");
    EXPECT_STREQ(refusing->eth0.ip, "127.0.3.4");
    EXPECT_STREQ(refusing->model, "DVR-XVR-5104");

    // Cameras' sensor models through configuration 533, with the token and
    // with Digest; a refused login fails.
    EXPECT_EQ(SensorModel(*camera), "IMX335");
    EXPECT_EQ(SensorModel(*sim::FindBySerial(records, "OV-SKEW-1")), "SC2336");
    EXPECT_EQ(SensorModel(*refusing), "(login refused)");
    // Our own devices still log in by our own protocol beside them.
    for (const DeviceRecord& record : records) {
        if (std::string(record.sn).rfind("OV-", 0) != 0 && record.sn[0] != '\0') {
            EXPECT_NE(Q9_NET_DVR_Login(record.eth0.ip, record.privatePort, "admin", "tarnwick", nullptr), -1);
        }
    }
}

TEST_F(OnvifSim, AChangeOfAddressMovesTheDeviceAndTheNextRunFindsItThere) {
    auto records = Discover();
    DeviceRecord camera = *sim::FindBySerial(records, "OV-CAM-1");
    DeviceRecord rebooting = *sim::FindBySerial(records, "OV-REBOOT-1");

    // A netmask that is no prefix is refused before anything is sent.
    std::snprintf(camera.eth0.ip, sizeof camera.eth0.ip, "127.0.4.1");
    std::snprintf(camera.eth0.mask, sizeof camera.eth0.mask, "255.0.255.0");
    std::snprintf(camera.eth0.gw, sizeof camera.eth0.gw, "127.0.4.254");
    EXPECT_EQ(Q9_NET_DVR_ModifyIPC(&camera), 0);
    EXPECT_EQ(Current("OV-CAM-1")->network.address, "127.0.3.1");

    std::snprintf(camera.eth0.mask, sizeof camera.eth0.mask, "255.255.0.0");
    ASSERT_EQ(Q9_NET_DVR_ModifyIPC(&camera), 1);
    const devsim::OnvifProfile* moved = Current("OV-CAM-1");
    EXPECT_EQ(moved->network.address, "127.0.4.1");
    EXPECT_EQ(moved->network.prefixLength, 16);
    EXPECT_FALSE(moved->network.dhcp);
    EXPECT_EQ(moved->gateway, "127.0.4.254");

    // A device that needs a reboot gets one, and moves with it.
    std::snprintf(rebooting.eth0.ip, sizeof rebooting.eth0.ip, "127.0.4.5");
    std::snprintf(rebooting.eth0.gw, sizeof rebooting.eth0.gw, "127.0.4.254");
    ASSERT_EQ(Q9_NET_DVR_ModifyIPC(&rebooting), 1);
    EXPECT_EQ(Current("OV-REBOOT-1")->network.address, "127.0.4.5");

    records = Discover();
    EXPECT_EQ(records.size(), 8u);
    EXPECT_STREQ(sim::FindBySerial(records, "OV-CAM-1")->eth0.ip, "127.0.4.1");
    EXPECT_STREQ(sim::FindBySerial(records, "OV-CAM-1")->eth0.mask, "255.255.0.0");
    EXPECT_STREQ(sim::FindBySerial(records, "OV-REBOOT-1")->eth0.ip, "127.0.4.5");
    EXPECT_EQ(SensorModel(*sim::FindBySerial(records, "OV-CAM-1")), "IMX335");
}

// A device that speaks both protocols (the same MAC in two fleets here) is
// listed once; with ONVIF off only our own protocol's devices are listed.
TEST(OnvifSimBoth, ADeviceFoundByBothTransportsIsListedOnce) {
    devsim::Fleet own = sim::SmallFleet(1, 0x7F1F0001u);
    devsim::Fleet onvif;
    auto twin = OnvifDevice("OV-TWIN-1", "B1", "127.0.5.1", "00:00:00:00:00:00");
    char mac[18];
    const std::uint8_t* m = own.devices[0].record.eth0.mac;
    std::snprintf(mac, sizeof mac, "%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
    twin.network.hwAddress = mac;
    onvif.onvifDevices = {twin, OnvifDevice("OV-OTHER-1", "B1", "127.0.5.2", "02:0f:00:00:05:02")};
    auto ownServer = sim::StartFleet(own);
    devsim::ServerOptions options;
    options.onvifDiscoveryPort = 0;
    auto onvifServer = sim::StartFleet(onvif, options);
    ASSERT_TRUE(ownServer && onvifServer);

    netsdk::Settings settings = sim::LoopbackSettings(ownServer->discoveryPort(), 1200);
    settings.onvif = true;
    settings.onvifPort = onvifServer->onvifDiscoveryPort();
    netsdk::ApplySettings(settings);
    sim::Collector collector;
    Q9_NET_DVR_StartDiscoveryIPC();
    auto records = collector.Take();
    EXPECT_EQ(records.size(), 2u);
    EXPECT_NE(sim::FindBySerial(records, "OV-OTHER-1"), nullptr);
    EXPECT_EQ(netsdk::LastDiscoveryStats().sameMacDuplicates, 1);

    settings.onvif = false;
    netsdk::ApplySettings(settings);
    Q9_NET_DVR_StartDiscoveryIPC();
    records = collector.Take();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_STREQ(records[0].sn, own.devices[0].record.sn);
}

}  // namespace
