// The Device Management responses.
#include "netsdk/onvif/envelope.h"
#include "netsdk/onvif/namespaces.h"

namespace onvif {
namespace {

using ns::kDevice;
using ns::kSchema;

// Parses the body and opens the {device namespace, local} response element.
template <typename Read>
ParseStatus ReadResponse(std::string_view body, std::string_view local, Fault* fault, Read read) {
    const XmlDocument doc(body, kBodyLimit);
    const XmlNode* payload = nullptr;
    const ParseStatus status = OpenResponse(doc, kDevice, local, payload, fault);
    if (status != ParseStatus::Ok) return status;
    return read(payload) ? ParseStatus::Ok : ParseStatus::Unexpected;
}

bool ReadIpv4(const XmlNode* node, Ipv4Address& out) {
    out.address = Text(Child(node, kSchema, "Address"));
    const auto prefix = Integer(Child(node, kSchema, "PrefixLength"), 0, 32);
    if (out.address.empty() || !prefix) return false;
    out.prefixLength = *prefix;
    return true;
}

std::vector<Ipv4Address> ReadIpv4List(const XmlNode* config, std::string_view local) {
    std::vector<Ipv4Address> out;
    for (const XmlNode* node : Children(config, kSchema, local)) {
        Ipv4Address entry;
        if (ReadIpv4(node, entry)) out.push_back(entry);
    }
    return out;
}

bool ReadInterface(const XmlNode* node, NetworkInterface& out) {
    out.token = Attribute(node, "token");
    out.enabled = Boolean(Child(node, kSchema, "Enabled")).value_or(false);
    out.hwAddress = Text(Child(Child(node, kSchema, "Info"), kSchema, "HwAddress"));
    const XmlNode* ipv4 = Child(node, kSchema, "IPv4");
    out.ipv4Enabled = Boolean(Child(ipv4, kSchema, "Enabled")).value_or(false);
    const XmlNode* config = Child(ipv4, kSchema, "Config");
    out.dhcp = Boolean(Child(config, kSchema, "DHCP")).value_or(false);
    out.manual = ReadIpv4List(config, "Manual");
    out.fromDhcp = ReadIpv4List(config, "FromDHCP");
    return !out.token.empty();
}

// The IPv4 servers of DNSManual or DNSFromDHCP entries.
std::vector<std::string> ReadDnsServers(const XmlNode* info, std::string_view local) {
    std::vector<std::string> out;
    for (const XmlNode* node : Children(info, kSchema, local)) {
        if (Text(Child(node, kSchema, "Type")) != "IPv4") continue;
        std::string address = Text(Child(node, kSchema, "IPv4Address"));
        if (!address.empty()) out.push_back(std::move(address));
    }
    return out;
}

bool ReadDate(const XmlNode* utc, DateTime& out) {
    const XmlNode* date = Child(utc, kSchema, "Date");
    const XmlNode* time = Child(utc, kSchema, "Time");
    const auto year = Integer(Child(date, kSchema, "Year"), 1970, 9999);
    const auto month = Integer(Child(date, kSchema, "Month"), 1, 12);
    const auto day = Integer(Child(date, kSchema, "Day"), 1, 31);
    const auto hour = Integer(Child(time, kSchema, "Hour"), 0, 23);
    const auto minute = Integer(Child(time, kSchema, "Minute"), 0, 59);
    const auto second = Integer(Child(time, kSchema, "Second"), 0, 60);
    if (!year || !month || !day || !hour || !minute || !second) return false;
    out = DateTime{*year, *month, *day, *hour, *minute, *second};
    return true;
}

}  // namespace

ParseStatus ParseFault(std::string_view body, Fault& out) {
    out = Fault{};
    const XmlDocument doc(body, kBodyLimit);
    const XmlNode* payload = nullptr;
    return OpenBody(doc, payload, &out);
}

std::int64_t UnixSeconds(const DateTime& utc) {
    // Days from the civil date (proleptic Gregorian calendar).
    const std::int64_t y = utc.year - (utc.month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t mp = (utc.month + 9) % 12;
    const std::int64_t doy = (153 * mp + 2) / 5 + utc.day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int64_t days = era * 146097 + doe - 719468;
    return days * 86400 + utc.hour * 3600 + utc.minute * 60 + utc.second;
}

ParseStatus ParseSystemDateAndTime(std::string_view body, DateTime& utc, Fault* fault) {
    return ReadResponse(body, "GetSystemDateAndTimeResponse", fault, [&](const XmlNode* payload) {
        const XmlNode* info = Child(payload, kDevice, "SystemDateAndTime");
        return ReadDate(Child(info, kSchema, "UTCDateTime"), utc);
    });
}

ParseStatus ParseDeviceInformation(std::string_view body, DeviceInformation& out, Fault* fault) {
    return ReadResponse(body, "GetDeviceInformationResponse", fault, [&](const XmlNode* payload) {
        out.manufacturer = Text(Child(payload, kDevice, "Manufacturer"));
        out.model = Text(Child(payload, kDevice, "Model"));
        out.firmwareVersion = Text(Child(payload, kDevice, "FirmwareVersion"));
        out.serialNumber = Text(Child(payload, kDevice, "SerialNumber"));
        out.hardwareId = Text(Child(payload, kDevice, "HardwareId"));
        return !out.model.empty() || !out.serialNumber.empty();
    });
}

ParseStatus ParseNetworkInterfaces(std::string_view body, std::vector<NetworkInterface>& out, Fault* fault) {
    out.clear();
    return ReadResponse(body, "GetNetworkInterfacesResponse", fault, [&](const XmlNode* payload) {
        for (const XmlNode* node : Children(payload, kDevice, "NetworkInterfaces")) {
            NetworkInterface entry;
            if (ReadInterface(node, entry)) out.push_back(std::move(entry));
        }
        return !out.empty();
    });
}

ParseStatus ParseNetworkDefaultGateway(std::string_view body, std::vector<std::string>& ipv4, Fault* fault) {
    ipv4.clear();
    return ReadResponse(body, "GetNetworkDefaultGatewayResponse", fault, [&](const XmlNode* payload) {
        const XmlNode* gateway = Child(payload, kDevice, "NetworkGateway");
        for (const XmlNode* node : Children(gateway, kSchema, "IPv4Address")) {
            std::string address = Text(node);
            if (!address.empty()) ipv4.push_back(std::move(address));
        }
        return gateway != nullptr;
    });
}

ParseStatus ParseDNS(std::string_view body, DnsInformation& out, Fault* fault) {
    out = DnsInformation{};
    return ReadResponse(body, "GetDNSResponse", fault, [&](const XmlNode* payload) {
        const XmlNode* info = Child(payload, kDevice, "DNSInformation");
        out.fromDhcp = Boolean(Child(info, kSchema, "FromDHCP")).value_or(false);
        out.manual = ReadDnsServers(info, "DNSManual");
        out.dhcp = ReadDnsServers(info, "DNSFromDHCP");
        return info != nullptr;
    });
}

ParseStatus ParseNetworkProtocols(std::string_view body, std::vector<NetworkProtocol>& out, Fault* fault) {
    out.clear();
    return ReadResponse(body, "GetNetworkProtocolsResponse", fault, [&](const XmlNode* payload) {
        for (const XmlNode* node : Children(payload, kDevice, "NetworkProtocols")) {
            NetworkProtocol protocol;
            protocol.name = Text(Child(node, kSchema, "Name"));
            protocol.enabled = Boolean(Child(node, kSchema, "Enabled")).value_or(false);
            for (const XmlNode* port : Children(node, kSchema, "Port")) {
                if (const auto value = Integer(port, 1, 65535)) protocol.ports.push_back(*value);
            }
            if (!protocol.name.empty()) out.push_back(std::move(protocol));
        }
        return true;
    });
}

ParseStatus ParseServices(std::string_view body, std::vector<Service>& out, Fault* fault) {
    out.clear();
    return ReadResponse(body, "GetServicesResponse", fault, [&](const XmlNode* payload) {
        for (const XmlNode* node : Children(payload, kDevice, "Service")) {
            Service service{Text(Child(node, kDevice, "Namespace")), Text(Child(node, kDevice, "XAddr"))};
            if (!service.ns.empty()) out.push_back(std::move(service));
        }
        return true;
    });
}

ParseStatus ParseSetNetworkInterfaces(std::string_view body, bool& rebootNeeded, Fault* fault) {
    rebootNeeded = false;
    return ReadResponse(body, "SetNetworkInterfacesResponse", fault, [&](const XmlNode* payload) {
        rebootNeeded = Boolean(Child(payload, kDevice, "RebootNeeded")).value_or(false);
        return true;
    });
}

ParseStatus ParseSetNetworkDefaultGateway(std::string_view body, Fault* fault) {
    return ReadResponse(body, "SetNetworkDefaultGatewayResponse", fault, [](const XmlNode*) { return true; });
}

ParseStatus ParseSystemReboot(std::string_view body, std::string& message, Fault* fault) {
    message.clear();
    return ReadResponse(body, "SystemRebootResponse", fault, [&](const XmlNode* payload) {
        message = Text(Child(payload, kDevice, "Message"));
        return true;
    });
}

}  // namespace onvif
