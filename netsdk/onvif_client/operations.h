// Login and change of address for a device that discovery found by ONVIF.
#pragma once

#include <optional>

#include "netsdk/onvif/responses.h"
#include "netsdk/onvif_client/known_devices.h"
#include "netsdk/settings.h"
#include "sdk/device_record.h"

namespace netsdk::onvif_client {

// An authenticated GetDeviceInformation (after the clock offset is
// measured); nothing when the device refuses or does not answer.
std::optional<onvif::DeviceInformation> Login(const Settings& settings, const KnownDevice& device,
                                              const char* user, const char* password);

// Sets the record's eth0 address and netmask (as a manual IPv4 address and
// prefix, DHCP off) and its gateway, then reboots the device if it says it
// must. True only when the device confirmed every step. A netmask whose one
// bits are not contiguous, or an address that is no dotted quad, is refused
// before anything is sent.
bool Modify(const Settings& settings, const KnownDevice& device, const DeviceRecord& record);

}  // namespace netsdk::onvif_client
