// The ONVIF client's own rules: which service addresses it will call, and
// how Device Management's answers become the device record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "modify/address_change.h"
#include "netsdk/onvif_client/device_facts.h"

namespace {

using namespace netsdk::onvif_client;

TEST(OnvifClient, OnlyPlainHttpToADottedQuadIsCalled) {
    const struct {
        const char* url;
        bool ok;
        std::uint32_t host;
        std::uint16_t port;
        const char* path;
    } cases[] = {
        {"http://192.168.1.64/onvif/device_service", true, 0xC0A80140u, 80, "/onvif/device_service"},
        {"http://10.0.0.5:8080/onvif/device_service", true, 0x0A000005u, 8080, "/onvif/device_service"},
        {"http://10.0.0.5:8080", true, 0x0A000005u, 8080, "/"},
        {"https://10.0.0.5/onvif/device_service", false},
        {"http://camera.local/onvif/device_service", false},  // a name: no resolver on a datagram's word
        {"http://admin:pw@10.0.0.5/onvif", false},
        {"http://10.0.0.5:0/onvif", false},
        {"http://10.0.0.5:65536/onvif", false},
        {"http://10.0.0.5:80x/onvif", false},
        {"http://0.0.0.0/onvif", false},
        {"http://[fe80::1]/onvif", false},
        {"http://10.0.0.5/onvif\r\nX-Injected: 1", false},
        {"http://10.0.0.5/on vif", false},
        {"HTTP://10.0.0.5/onvif", false},
        {"", false},
    };
    for (const auto& c : cases) {
        ServiceAddress address;
        ASSERT_EQ(ParseServiceAddress(c.url, address), c.ok) << c.url;
        if (!c.ok) continue;
        EXPECT_EQ(address.host, c.host) << c.url;
        EXPECT_EQ(address.port, c.port) << c.url;
        EXPECT_EQ(address.path, c.path) << c.url;
        ServiceAddress again;
        ASSERT_TRUE(ParseServiceAddress(ServiceUrl(address), again));
        EXPECT_EQ(again.host, address.host);
        EXPECT_EQ(again.port, address.port);
    }
}

onvif::NetworkInterface Interface(const char* token, const char* mac, const char* address, int prefix,
                                  bool dhcp = false) {
    onvif::NetworkInterface network;
    network.token = token;
    network.enabled = network.ipv4Enabled = true;
    network.hwAddress = mac;
    network.dhcp = dhcp;
    (dhcp ? network.fromDhcp : network.manual).push_back({address, prefix});
    return network;
}

TEST(OnvifClient, TheRecordComesFromTheInterfaceThatHoldsTheServiceAddress) {
    ServiceAddress service;
    ASSERT_TRUE(ParseServiceAddress("http://10.1.2.3:8080/onvif/device_service", service));
    onvif::ProbeMatch match;
    match.types = {{"http://www.onvif.org/ver10/network/wsdl", "NetworkVideoTransmitter"}};
    match.scopes = {"onvif://www.onvif.org/hardware/XVR-5108"};

    // Without a login: the ProbeMatch's address, ports and class only.
    DeviceRecord partial = MakeRecord(service, match, DeviceFacts{});
    EXPECT_STREQ(partial.eth0.ip, "10.1.2.3");
    EXPECT_EQ(partial.privatePort, 8080);
    EXPECT_EQ(partial.httpPort, 8080);
    EXPECT_STREQ(partial.model, "DVR-XVR-5108");
    EXPECT_STREQ(partial.sn, "");
    EXPECT_STREQ(partial.eth0.mask, "");

    DeviceFacts facts;
    facts.loggedIn = true;
    facts.information = {"Maker", "IPC-B2", "V5.7.12 build 230101", "SN0001", "IMX327"};
    facts.interfaces = {Interface("wlan0", "00:00:00:00:00:01", "172.16.0.9", 16),
                        Interface("eth1", "aa:BB:cc:dd:ee:0f", "10.1.2.3", 23, /*dhcp=*/true)};
    facts.gateways = {"10.1.2.1", "10.1.2.254"};
    facts.dns.fromDhcp = true;
    facts.dns.dhcp = {"10.1.2.53", "10.1.2.54", "10.1.2.55"};
    facts.dns.manual = {"9.9.9.9"};
    facts.protocols = {{"HTTPS", true, {443}}, {"HTTP", true, {8081, 80}}, {"RTSP", false, {554}},
                       {"RTSP", true, {5554}}};
    const DeviceRecord record = MakeRecord(service, match, facts);
    EXPECT_STREQ(record.eth0.ip, "10.1.2.3");
    EXPECT_STREQ(record.eth0.mask, "255.255.254.0");
    EXPECT_STREQ(record.eth0.gw, "10.1.2.1");
    EXPECT_STREQ(record.eth0.dns1, "10.1.2.53");
    EXPECT_STREQ(record.eth0.dns2, "10.1.2.54");
    const std::uint8_t mac[6] = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0x0F};
    EXPECT_EQ(std::memcmp(record.eth0.mac, mac, 6), 0);
    EXPECT_EQ(record.privatePort, 8080);  // the device service's port
    EXPECT_EQ(record.httpPort, 8081);
    EXPECT_EQ(record.rtspPort, 5554);
    EXPECT_STREQ(record.sn, "SN0001");
    EXPECT_STREQ(record.model, "IPC-B2");
    EXPECT_EQ(record.softwareVersion, MakeVersion(5, 7));
    EXPECT_STREQ(record.wifi.ip, "");

    // Text that is not an address never reaches an address field.
    facts.gateways = {"10.1.2.1; rm -rf"};
    facts.interfaces = {Interface("eth0", "not a mac", "10.1.2.3", 40)};
    const DeviceRecord odd = MakeRecord(service, match, facts);
    EXPECT_STREQ(odd.eth0.gw, "");
    EXPECT_STREQ(odd.eth0.mask, "");
    EXPECT_EQ(std::memcmp(odd.eth0.mac, "\0\0\0\0\0\0", 6), 0);
}

TEST(OnvifClient, TheSensorModelIsTheHardwareIdWhereThereIsOne) {
    onvif::DeviceInformation information{"Maker", "IPC-B2", "1.0", "SN1", ""};
    auto entries = SensorEntries(information);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_STREQ(entries[0].name, "SensorModel");
    EXPECT_STREQ(entries[0].value, "IPC-B2");
    information.hardwareId = "IMX335";
    entries = SensorEntries(information);
    EXPECT_STREQ(entries[0].value, "IMX335");
    const char* names[] = {"SensorModel", "Manufacturer", "Model", "FirmwareVersion", "SerialNumber"};
    const char* values[] = {"IMX335", "Maker", "IPC-B2", "1.0", "SN1"};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_STREQ(entries[i].name, names[i]);
        EXPECT_STREQ(entries[i].value, values[i]);
    }
}

// Modify checks the device's own two DNS servers: whatever DNS servers a
// logged-in ONVIF device has (none, one, one that is no IPv4 address, two),
// its record passes them, so that its address can be changed.
TEST(OnvifClient, ARecordPassesTheModifyChecksWhateverDnsServersTheDeviceHas) {
    struct Case {
        std::vector<std::string> servers;
        const char* dns1;
        const char* dns2;
    };
    const Case cases[] = {
        {{}, "0.0.0.0", "0.0.0.0"},
        {{"10.1.2.53"}, "10.1.2.53", "0.0.0.0"},
        {{"fe80::1", "10.1.2.54"}, "0.0.0.0", "10.1.2.54"},
        {{"10.1.2.53", "10.1.2.54"}, "10.1.2.53", "10.1.2.54"},
    };
    ServiceAddress service;
    ASSERT_TRUE(ParseServiceAddress("http://10.1.2.3:80/onvif/device_service", service));
    for (const Case& c : cases) {
        DeviceFacts facts;
        facts.loggedIn = true;
        facts.information = {"Maker", "IPC-B2", "1.0", "SN1", ""};
        facts.interfaces = {Interface("eth0", "aa:bb:cc:dd:ee:01", "10.1.2.3", 24)};
        facts.gateways = {"10.1.2.1"};
        facts.dns.manual = c.servers;
        DeviceRecord record = MakeRecord(service, onvif::ProbeMatch{}, facts);
        EXPECT_STREQ(record.eth0.dns1, c.dns1) << c.servers.size() << " servers";
        EXPECT_STREQ(record.eth0.dns2, c.dns2) << c.servers.size() << " servers";
        EXPECT_EQ(ApplyAddressChange(record, "10.1.2.9", "255.255.255.0", "10.1.2.1"), AddressField::kNone)
            << c.servers.size() << " servers";
    }
}

}  // namespace
