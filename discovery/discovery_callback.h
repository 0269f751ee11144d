// The SDK's discovery callback: every answer of a run arrives here, and an
// accepted one becomes a slot, a record node and a list row.
#pragma once

#include "discovery/discovery_control.h"
#include "sdk/q9_netsdk.h"

// `control` is the DiscoveryControl given at registration. The four class
// tests run in the order IPC, DVR, DEC, NVR, each asking its type box.
void Q9_CALLCONV OnDeviceDiscovered(const DeviceRecord* record, void* control);

// Writes the row of `slot` with `modelText` in the Model column, under listLock.
void AddDeviceRow(DiscoveryControl& control, const DiscoveryRun& run, DeviceSlot slot, const char* modelText);

// The ten column texts of a device's row.
DeviceRowTexts DeviceRowTextsOf(const DeviceRecord& record, const char* modelText);

// The catalogue key of a device: the first four characters of its serial
// number (all of a shorter one) and `sensorType`.
ModelKey ModelKeyOf(const DeviceRecord& record, std::string sensorType);
