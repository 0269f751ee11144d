// The ONVIF fleet on loopback, asked as the SDK will ask it: unicast Probes of
// either type and none to the WS-Discovery port, each answer read by the
// SDK's parser, every XAddr asked over HTTP (UsernameToken or Digest), then
// devices re-addressed: they serve at the new address, later ProbeMatches
// name it and the saved fleet file holds it.
#include <arpa/inet.h>
#include "tests/devsim/soap_post.h"
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include "devsim/fleet_server.h"
#include "devsim/fleet_xml.h"
#include "devsim/onvif/ws_discovery_responder.h"
#include "netsdk/onvif/namespaces.h"
#include "netsdk/onvif/requests.h"
#include "netsdk/onvif/responses.h"
#include "tests/support/temp_dir.h"

namespace {

namespace o = onvif;
using devsim::OnvifProfile;

const std::string kFleets = TARNWICK_FLEETS_DIR;

using soap_test::Reply;

// One POST; with `digest`, curl answers the device's Digest challenge.
Reply Post(const std::string& url, const std::string& body, bool digest = false) {
    static const soap_test::DigestLogin kLogin{"admin", "tarnwick"};
    return soap_test::Post(url, body, digest ? &kLogin : nullptr);
}

// The device clock's offset, as the SDK measures it before making tokens.
std::int64_t ClockOffset(const std::string& xaddr) {
    const Reply reply = Post(xaddr, o::BuildRequest(o::DeviceRequest::GetSystemDateAndTime, nullptr));
    o::DateTime utc;
    EXPECT_EQ(o::ParseSystemDateAndTime(reply.body, utc), o::ParseStatus::Ok) << xaddr;
    return o::UnixSeconds(utc) - static_cast<std::int64_t>(std::time(nullptr));
}

using Builder = std::function<std::string(const o::UsernameToken*)>;

// A request with a fresh UsernameToken by the device's clock.
std::string WithToken(const std::string& xaddr, const Builder& build) {
    o::UsernameToken token{"admin", "tarnwick", {}, o::CreatedTime(std::time(nullptr), ClockOffset(xaddr))};
    EXPECT_TRUE(o::FreshNonce(token.nonce));
    return build(&token);
}

// How a device is asked: the Digest-only one over Digest, the others with a token.
Reply Ask(const OnvifProfile& device, const std::string& xaddr, const Builder& build) {
    if (device.behaviour.digestOnly) return Post(xaddr, build(nullptr), true);
    return Post(xaddr, WithToken(xaddr, build));
}

Builder Plain(o::DeviceRequest request) {
    return [request](const o::UsernameToken* token) { return o::BuildRequest(request, token); };
}

std::string XAddr(const std::string& address, int port) {
    return "http://" + address + ":" + std::to_string(port) + "/onvif/device_service";
}

// Polls a condition for a bounded while (the devices' thread acts on its own).
bool Eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 250; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

// A UDP socket on 127.0.0.1 sending probes to the fleet's WS-Discovery port.
class Prober {
public:
    explicit Prober(std::uint16_t port) : port_(port) {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    }
    ~Prober() { close(fd_); }

    // The answers to one probe, by XAddr with how often each came: read
    // until `expected` answers arrived (or the fleet fell silent), then a
    // little longer to catch a second answer from any device.
    std::map<std::string, std::vector<o::ProbeMatch>> Probe(std::optional<o::ProbeType> type, std::size_t expected) {
        const std::string id = "urn:uuid:5e1f0000-0000-4000-8000-" + std::to_string(100000000000 + ++sent_);
        std::string probe = o::BuildProbe(id, type.value_or(o::ProbeType::Device));
        if (!type) probe.replace(probe.find("<d:Types>"), probe.find("</d:Probe>") - probe.find("<d:Types>"), "");
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(port_);
        sendto(fd_, probe.data(), probe.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        std::map<std::string, std::vector<o::ProbeMatch>> answers;
        std::size_t count = 0;
        const std::string ids[] = {id};
        for (;;) {
            pollfd wait{fd_, POLLIN, 0};
            if (poll(&wait, 1, count >= expected ? 300 : 3000) <= 0) break;
            char buffer[65536];
            const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            o::ProbeMatches matches;
            EXPECT_EQ(o::ParseProbeMatches({buffer, static_cast<std::size_t>(got)}, matches), o::ParseStatus::Ok);
            if (!o::AnswersProbe(matches, ids)) continue;  // a late answer to an earlier probe
            EXPECT_EQ(matches.matches.size(), 1u);
            for (const o::ProbeMatch& match : matches.matches) {
                EXPECT_EQ(match.xaddrs.size(), 1u);
                if (!match.xaddrs.empty()) answers[match.xaddrs[0]].push_back(match);
            }
            ++count;
        }
        return answers;
    }

private:
    int fd_ = -1;
    std::uint16_t port_;
    long sent_ = 0;
};

class OnvifFleet : public testing_support::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        ASSERT_EQ(curl_global_init(CURL_GLOBAL_DEFAULT), CURLE_OK);
    }
    void TearDown() override {
        curl_global_cleanup();
        TempDirTest::TearDown();
    }
};

TEST_F(OnvifFleet, ProbedDevicesAnswerAtTheirXAddrAndMoveWhenReaddressed) {
    devsim::Fleet fleet;
    std::string error;
    ASSERT_TRUE(devsim::LoadFleetFile(kFleets + "/onvif.xml", fleet, error)) << error;
    ASSERT_EQ(fleet.onvifDevices.size(), 4u);
    for (devsim::DeviceProfile& device : fleet.devices) device.record.privatePort = 0;
    for (OnvifProfile& device : fleet.onvifDevices) device.httpPort = 0;
    devsim::ServerOptions options;
    options.discoveryPort = 0;
    options.onvifDiscoveryPort = 0;
    options.saveFile = (dir() / "saved.xml").string();
    auto server = devsim::FleetServer::Start(fleet, options, error);
    ASSERT_NE(server, nullptr) << error;
    ASSERT_NE(server->onvifDiscoveryPort(), 0);

    // Each device by serial number, its XAddr from the snapshot.
    std::map<std::string, OnvifProfile> bySerial;
    std::map<std::string, std::string> serialAt;  // XAddr -> serial number
    for (const OnvifProfile& device : server->Snapshot().onvifDevices) {
        ASSERT_GT(device.httpPort, 0);
        bySerial[device.serialNumber] = device;
        serialAt[XAddr(device.network.address, device.httpPort)] = device.serialNumber;
    }
    const auto xaddrOf = [&](const std::string& sn, const std::string& address = "") {
        const OnvifProfile& d = bySerial.at(sn);
        return XAddr(address.empty() ? d.network.address : address, d.httpPort);
    };
    const std::set<std::string> all = {"ON-CAM-0001", "ON-NVR-0002", "ON-XVR-0003", "ON-CAM-0004"};

    Prober prober(server->onvifDiscoveryPort());
    const struct {
        const char* name;
        std::optional<o::ProbeType> type;
        std::set<std::string> answering;
    } probes[] = {
        {"NetworkVideoTransmitter", o::ProbeType::NetworkVideoTransmitter, all},
        {"Device", o::ProbeType::Device, {"ON-CAM-0001", "ON-NVR-0002", "ON-CAM-0004"}},
        {"no type", std::nullopt, all},
    };
    for (const auto& p : probes) {
        SCOPED_TRACE(p.name);
        std::set<std::string> answered;
        for (const auto& [xaddr, matches] : prober.Probe(p.type, p.answering.size())) {
            ASSERT_EQ(serialAt.count(xaddr), 1u) << xaddr;
            const std::string& sn = serialAt[xaddr];
            EXPECT_EQ(matches.size(), 1u) << sn << " answered more than once";
            answered.insert(sn);
            const o::ProbeMatch& match = matches.front();
            EXPECT_EQ(match.address, devsim::EndpointAddress(sn));
            EXPECT_EQ(match.types, (std::vector<o::QName>{{o::ns::kNetwork, "NetworkVideoTransmitter"},
                                                           {o::ns::kDevice, "Device"}}));
            std::string model = bySerial[sn].model;
            for (std::size_t at; (at = model.find(' ')) != std::string::npos;) model.replace(at, 1, "%20");
            EXPECT_NE(std::find(match.scopes.begin(), match.scopes.end(), "onvif://www.onvif.org/hardware/" + model),
                      match.scopes.end());
        }
        EXPECT_EQ(answered, p.answering);
    }

    // Every XAddr serves the device that announced it; the Digest-only one
    // refuses a UsernameToken however right it is.
    for (const auto& [sn, device] : bySerial) {
        SCOPED_TRACE(sn);
        const Reply info = Ask(device, xaddrOf(sn), Plain(o::DeviceRequest::GetDeviceInformation));
        ASSERT_EQ(info.status, 200) << info.body;
        o::DeviceInformation parsed;
        ASSERT_EQ(o::ParseDeviceInformation(info.body, parsed), o::ParseStatus::Ok);
        EXPECT_EQ(parsed.serialNumber, sn);
        EXPECT_EQ(parsed.model, device.model);
        if (device.behaviour.digestOnly) {
            EXPECT_EQ(ClockOffset(xaddrOf(sn)) / 60, 7200 / 60);
            EXPECT_EQ(Post(xaddrOf(sn), WithToken(xaddrOf(sn), Plain(o::DeviceRequest::GetDeviceInformation))).status,
                      401);
        }
    }

    auto setAddress = [](const std::string& address) {
        return [address](const o::UsernameToken* token) {
            return o::BuildSetNetworkInterfaces("eth0", address, 24, token);
        };
    };
    bool rebootNeeded = true;

    // The camera moves as soon as it has answered.
    Reply set = Ask(bySerial["ON-CAM-0001"], xaddrOf("ON-CAM-0001"), setAddress("127.0.2.101"));
    ASSERT_EQ(o::ParseSetNetworkInterfaces(set.body, rebootNeeded), o::ParseStatus::Ok) << set.body;
    EXPECT_FALSE(rebootNeeded);
    ASSERT_TRUE(Eventually([&] { return server->counters().onvifMoves == 1; }));
    EXPECT_EQ(Ask(bySerial["ON-CAM-0001"], xaddrOf("ON-CAM-0001", "127.0.2.101"),
                  Plain(o::DeviceRequest::GetDeviceInformation)).status, 200);
    EXPECT_EQ(Post(xaddrOf("ON-CAM-0001"), o::BuildRequest(o::DeviceRequest::GetSystemDateAndTime, nullptr)).status,
              0);

    // The recorder needs a reboot: it keeps serving at the old address until then.
    set = Ask(bySerial["ON-NVR-0002"], xaddrOf("ON-NVR-0002"), setAddress("127.0.2.102"));
    ASSERT_EQ(o::ParseSetNetworkInterfaces(set.body, rebootNeeded), o::ParseStatus::Ok) << set.body;
    EXPECT_TRUE(rebootNeeded);
    EXPECT_EQ(Ask(bySerial["ON-NVR-0002"], xaddrOf("ON-NVR-0002"), Plain(o::DeviceRequest::GetDNS)).status, 200);
    EXPECT_EQ(server->counters().onvifMoves, 1u);
    EXPECT_EQ(Ask(bySerial["ON-NVR-0002"], xaddrOf("ON-NVR-0002"), Plain(o::DeviceRequest::SystemReboot)).status, 200);
    ASSERT_TRUE(Eventually([&] { return server->counters().onvifMoves == 2; }));
    EXPECT_EQ(Ask(bySerial["ON-NVR-0002"], xaddrOf("ON-NVR-0002", "127.0.2.102"),
                  Plain(o::DeviceRequest::GetDeviceInformation)).status, 200);

    // An address this host does not have cannot be bound: the device goes quiet.
    set = Ask(bySerial["ON-XVR-0003"], xaddrOf("ON-XVR-0003"), setAddress("192.0.2.10"));
    ASSERT_EQ(set.status, 200) << set.body;
    const std::set<std::string> expected = {xaddrOf("ON-CAM-0001", "127.0.2.101"), xaddrOf("ON-NVR-0002", "127.0.2.102"),
                                            xaddrOf("ON-CAM-0004")};
    std::set<std::string> seen;
    EXPECT_TRUE(Eventually([&] {
        seen.clear();
        for (const auto& [xaddr, matches] : prober.Probe(o::ProbeType::NetworkVideoTransmitter, 3)) seen.insert(xaddr);
        return seen == expected;
    }));
    EXPECT_EQ(seen, expected);

    // The snapshot and the saved file hold the new addresses.
    const std::map<std::string, std::string> moved = {
        {"ON-CAM-0001", "127.0.2.101"}, {"ON-NVR-0002", "127.0.2.102"}, {"ON-XVR-0003", "192.0.2.10"},
        {"ON-CAM-0004", "127.0.2.4"}};
    auto addresses = [](const devsim::Fleet& f) {
        std::map<std::string, std::string> out;
        for (const OnvifProfile& d : f.onvifDevices) out[d.serialNumber] = d.network.address;
        return out;
    };
    EXPECT_EQ(addresses(server->Snapshot()), moved);
    EXPECT_TRUE(Eventually([&] {
        devsim::Fleet saved;
        std::string ignored;
        return devsim::LoadFleetFile(options.saveFile, saved, ignored) && addresses(saved) == moved;
    }));
    server->Stop();
}

}  // namespace
