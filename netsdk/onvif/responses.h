// Parsers of what devices send back: ProbeMatches datagrams, SOAP Faults and
// the Device Management responses. Each returns Ok only for a document of the
// expected shape; a Fault is reported with its code, subcode and reason.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace onvif {

enum class ParseStatus { Ok, TooLarge, TooDeep, DocumentType, Malformed, NotSoap, Fault, Unexpected };

// A qualified name with its prefix resolved.
struct QName {
    std::string ns;
    std::string local;
    bool operator==(const QName&) const = default;
};

struct Fault {
    QName code;     // e.g. {soap-envelope, "Sender"}
    QName subcode;  // e.g. {onvif error, "NotAuthorized"}; empty if absent
    std::string reason;
};

struct ProbeMatch {
    std::string address;  // EndpointReference Address, usually urn:uuid:...
    std::vector<QName> types;
    std::vector<std::string> scopes;
    std::vector<std::string> xaddrs;  // service URLs
};

struct ProbeMatches {
    std::string messageId;
    std::string relatesTo;
    std::vector<ProbeMatch> matches;
};

ParseStatus ParseProbeMatches(std::string_view datagram, ProbeMatches& out);
// True if the answer relates to one of our probes' MessageIDs.
bool AnswersProbe(const ProbeMatches& answer, std::span<const std::string> probeIds);

struct DateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
// Seconds since 1970-01-01 UTC.
std::int64_t UnixSeconds(const DateTime& utc);

struct DeviceInformation {
    std::string manufacturer, model, firmwareVersion, serialNumber, hardwareId;
};

struct Ipv4Address {
    std::string address;
    int prefixLength = 0;
};

struct NetworkInterface {
    std::string token;
    bool enabled = false;
    std::string hwAddress;
    bool ipv4Enabled = false;
    bool dhcp = false;
    std::vector<Ipv4Address> manual;
    std::vector<Ipv4Address> fromDhcp;
};

struct DnsInformation {
    bool fromDhcp = false;
    std::vector<std::string> manual;  // IPv4 servers set by hand
    std::vector<std::string> dhcp;    // IPv4 servers learned by DHCP
};

struct NetworkProtocol {
    std::string name;  // HTTP, HTTPS, RTSP
    bool enabled = false;
    std::vector<int> ports;
};

struct Service {
    std::string ns;
    std::string xaddr;
};

// The body parsers; fault, if given, is filled when the answer is a Fault.
ParseStatus ParseFault(std::string_view body, Fault& out);
ParseStatus ParseSystemDateAndTime(std::string_view body, DateTime& utc, Fault* fault = nullptr);
ParseStatus ParseDeviceInformation(std::string_view body, DeviceInformation& out, Fault* fault = nullptr);
ParseStatus ParseNetworkInterfaces(std::string_view body, std::vector<NetworkInterface>& out,
                                   Fault* fault = nullptr);
ParseStatus ParseNetworkDefaultGateway(std::string_view body, std::vector<std::string>& ipv4,
                                       Fault* fault = nullptr);
ParseStatus ParseDNS(std::string_view body, DnsInformation& out, Fault* fault = nullptr);
ParseStatus ParseNetworkProtocols(std::string_view body, std::vector<NetworkProtocol>& out,
                                  Fault* fault = nullptr);
ParseStatus ParseServices(std::string_view body, std::vector<Service>& out, Fault* fault = nullptr);
ParseStatus ParseSetNetworkInterfaces(std::string_view body, bool& rebootNeeded, Fault* fault = nullptr);
ParseStatus ParseSetNetworkDefaultGateway(std::string_view body, Fault* fault = nullptr);
ParseStatus ParseSystemReboot(std::string_view body, std::string& message, Fault* fault = nullptr);

}  // namespace onvif
