// SOAP 1.2 envelopes this library sends: the multicast Probe and the Device
// Management requests. Every text that enters an envelope is escaped.
#pragma once

#include <string>
#include <string_view>

#include "netsdk/onvif/username_token.h"

namespace onvif {

// What one Probe asks for. A probe names exactly one type: devices differ in
// how they match a probe that lists several.
enum class ProbeType { NetworkVideoTransmitter, Device };

// A Probe with the given MessageID ("urn:uuid:...").
std::string BuildProbe(std::string_view messageId, ProbeType type);

// The Device Management operations without parameters.
enum class DeviceRequest {
    GetSystemDateAndTime,
    GetDeviceInformation,
    GetNetworkInterfaces,
    GetNetworkDefaultGateway,
    GetDNS,
    GetNetworkProtocols,
    GetServices,
    SystemReboot,
};

// A request with an optional UsernameToken (nullptr: none, as when the
// transport answers a Digest challenge instead). Empty if hashing fails.
std::string BuildRequest(DeviceRequest request, const UsernameToken* token);

// Sets a manual IPv4 address and prefix on one interface and turns DHCP off.
std::string BuildSetNetworkInterfaces(std::string_view interfaceToken, std::string_view address,
                                      int prefixLength, const UsernameToken* token);

std::string BuildSetNetworkDefaultGateway(std::string_view gateway, const UsernameToken* token);

}  // namespace onvif
