// One discovery run of the device SDK for tarnwick-cli: the records of the
// chosen classes, in the order their answers arrived.
#pragma once

#include <array>
#include <vector>

#include "sdk/device_record.h"

// Initialises the SDK (its settings file is read here) and runs one
// discovery window. `classes` is indexed as kDeviceClasses. False when the
// SDK could not start or run a discovery.
bool DiscoverDevices(const std::array<bool, 4>& classes, std::vector<DeviceRecord>& records);
