// Changing a device's wired address, netmask and gateway over UDP.
#pragma once

#include "netsdk/settings.h"
#include "sdk/device_record.h"

namespace netsdk {

// Sends the record's eth0 ip, mask and gateway to the device that its serial
// number and MAC identify, authenticated with the record's user and
// password. True only when the device confirmed the change with a valid proof.
bool ModifyDevice(const Settings& settings, const DeviceRecord& record);

}  // namespace netsdk
