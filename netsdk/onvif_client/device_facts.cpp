#include "netsdk/onvif_client/device_facts.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "netsdk/net/socket_io.h"
#include "netsdk/onvif/rules.h"

namespace netsdk::onvif_client {
namespace {

using onvif::DeviceRequest;
using onvif::ParseStatus;

template <std::size_t N>
void Put(char (&field)[N], std::string_view text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

// Dotted-quad text only, so that the record never holds anything else.
template <std::size_t N>
void PutAddress(char (&field)[N], const std::string& text) {
    std::uint32_t address = 0;
    if (text.size() < N && net::ParseIPv4(text.c_str(), address)) Put(field, text);
}

const std::vector<onvif::Ipv4Address>& Addresses(const onvif::NetworkInterface& network) {
    return network.dhcp && !network.fromDhcp.empty() ? network.fromDhcp : network.manual;
}

// The model the ProbeMatch's scopes name (onvif://www.onvif.org/hardware/<model>).
std::string ScopeModel(const std::vector<std::string>& scopes) {
    constexpr std::string_view kHardware = "onvif://www.onvif.org/hardware/";
    for (const std::string& scope : scopes) {
        if (scope.starts_with(kHardware) && scope.size() > kHardware.size()) return scope.substr(kHardware.size());
    }
    return {};
}

std::uint16_t FirstPort(const std::vector<onvif::NetworkProtocol>& protocols, std::string_view name) {
    for (const onvif::NetworkProtocol& protocol : protocols) {
        if (protocol.name == name && protocol.enabled && !protocol.ports.empty() && protocol.ports.front() > 0 &&
            protocol.ports.front() <= 65535) {
            return static_cast<std::uint16_t>(protocol.ports.front());
        }
    }
    return 0;
}

}  // namespace

DeviceFacts ReadDeviceFacts(DeviceClient& client, Deadline deadline) {
    DeviceFacts facts;
    client.MeasureClock(deadline);
    const CallResult information =
        client.Call("GetDeviceInformation", Request(DeviceRequest::GetDeviceInformation), deadline);
    if (information.status != CallStatus::Ok ||
        onvif::ParseDeviceInformation(information.body, facts.information) != ParseStatus::Ok) {
        facts.information = {};
        return facts;
    }
    facts.loggedIn = true;
    auto read = [&](std::string_view operation, DeviceRequest request, auto parse) {
        const CallResult result = client.Call(operation, Request(request), deadline);
        if (result.status == CallStatus::Ok) parse(result.body);
    };
    read("GetNetworkInterfaces", DeviceRequest::GetNetworkInterfaces, [&](const std::string& body) {
        if (onvif::ParseNetworkInterfaces(body, facts.interfaces) != ParseStatus::Ok) facts.interfaces.clear();
    });
    read("GetNetworkDefaultGateway", DeviceRequest::GetNetworkDefaultGateway, [&](const std::string& body) {
        if (onvif::ParseNetworkDefaultGateway(body, facts.gateways) != ParseStatus::Ok) facts.gateways.clear();
    });
    read("GetDNS", DeviceRequest::GetDNS, [&](const std::string& body) {
        if (onvif::ParseDNS(body, facts.dns) != ParseStatus::Ok) facts.dns = {};
    });
    read("GetNetworkProtocols", DeviceRequest::GetNetworkProtocols, [&](const std::string& body) {
        if (onvif::ParseNetworkProtocols(body, facts.protocols) != ParseStatus::Ok) facts.protocols.clear();
    });
    read("GetServices", DeviceRequest::GetServices, [&](const std::string& body) {
        if (onvif::ParseServices(body, facts.services) != ParseStatus::Ok) facts.services.clear();
    });
    return facts;
}

const onvif::NetworkInterface* ServiceInterface(const std::vector<onvif::NetworkInterface>& interfaces,
                                                const std::string& serviceHost) {
    const onvif::NetworkInterface* first = nullptr;
    for (const onvif::NetworkInterface& network : interfaces) {
        if (!network.enabled || !network.ipv4Enabled || Addresses(network).empty()) continue;
        for (const onvif::Ipv4Address& address : Addresses(network)) {
            if (address.address == serviceHost) return &network;
        }
        if (first == nullptr) first = &network;
    }
    return first;
}

DeviceRecord MakeRecord(const ServiceAddress& service, const onvif::ProbeMatch& match, const DeviceFacts& facts) {
    DeviceRecord record{};
    const std::string host = net::FormatIPv4(service.host);
    Put(record.eth0.ip, host);
    record.privatePort = service.port;
    record.httpPort = service.port;

    const std::string model = facts.information.model.empty() ? ScopeModel(match.scopes) : facts.information.model;
    const onvif::ClassEvidence evidence{model, match.types, match.scopes, facts.services};
    Put(record.model, onvif::RecordModel(evidence));
    if (!facts.loggedIn) return record;

    Put(record.sn, facts.information.serialNumber);
    record.softwareVersion = onvif::FirmwareVersion(facts.information.firmwareVersion);
    if (const onvif::NetworkInterface* network = ServiceInterface(facts.interfaces, host)) {
        const auto& addresses = Addresses(*network);
        const auto own = std::find_if(addresses.begin(), addresses.end(),
                                      [&](const onvif::Ipv4Address& a) { return a.address == host; });
        const onvif::Ipv4Address& address = own != addresses.end() ? *own : addresses.front();
        PutAddress(record.eth0.ip, address.address);
        PutAddress(record.eth0.mask, onvif::PrefixToNetmask(address.prefixLength));
        std::array<std::uint8_t, 6> mac{};
        if (onvif::ParseMac(network->hwAddress, mac)) std::memcpy(record.eth0.mac, mac.data(), mac.size());
    }
    if (!facts.gateways.empty()) PutAddress(record.eth0.gw, facts.gateways.front());
    const std::vector<std::string>& dns = facts.dns.fromDhcp ? facts.dns.dhcp : facts.dns.manual;
    if (!dns.empty()) PutAddress(record.eth0.dns1, dns[0]);
    if (dns.size() > 1) PutAddress(record.eth0.dns2, dns[1]);
    // A server the device does not have (or names other than by an IPv4
    // address) is 0.0.0.0, as our own devices say it: Modify checks both
    // DNS fields, and an empty one would keep the device from ever being
    // changed.
    if (record.eth0.dns1[0] == '\0') Put(record.eth0.dns1, "0.0.0.0");
    if (record.eth0.dns2[0] == '\0') Put(record.eth0.dns2, "0.0.0.0");
    if (const std::uint16_t http = FirstPort(facts.protocols, "HTTP")) record.httpPort = http;
    record.rtspPort = FirstPort(facts.protocols, "RTSP");
    return record;
}

std::vector<SensorConfigEntry> SensorEntries(const onvif::DeviceInformation& information) {
    const std::pair<const char*, const std::string*> items[] = {
        {"SensorModel", information.hardwareId.empty() ? &information.model : &information.hardwareId},
        {"Manufacturer", &information.manufacturer},
        {"Model", &information.model},
        {"FirmwareVersion", &information.firmwareVersion},
        {"SerialNumber", &information.serialNumber},
    };
    std::vector<SensorConfigEntry> entries;
    for (const auto& [name, value] : items) {
        SensorConfigEntry entry{};
        Put(entry.name, name);
        Put(entry.value, *value);
        entries.push_back(entry);
    }
    return entries;
}

}  // namespace netsdk::onvif_client
