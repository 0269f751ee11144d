// The ONVIF devices that discovery delivered, so that a later login or
// modify for one of them speaks ONVIF to its service address. Found by the
// address and port a record names (login) or by its serial number and MAC
// (modify: the record then carries the new address). Bounded: the oldest
// entry goes when a new one would pass the limit.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "netsdk/onvif_client/device_client.h"

namespace netsdk::onvif_client {

inline constexpr std::size_t kMaxKnownDevices = 4096;

struct KnownDevice {
    ServiceAddress service;
    std::string serial;
    std::array<std::uint8_t, 6> mac{};
    std::string interfaceToken;  // the interface that holds the service's address
    std::string recordModel;     // the record's model text
};

void RememberDevice(const KnownDevice& device);
std::optional<KnownDevice> FindDeviceAt(std::uint32_t host, std::uint16_t port);
// Needs a serial number or a MAC to go by; both must match.
std::optional<KnownDevice> FindDevice(std::string_view serial, const std::uint8_t (&mac)[6]);
// After a change of address: the device's service is now on `host`.
void DeviceMoved(const KnownDevice& device, std::uint32_t host);
void ForgetDevices();

}  // namespace netsdk::onvif_client
