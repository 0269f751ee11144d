// The SDK's discovery callback: every answer of a run arrives here.
#pragma once

#include "sdk/q9_netsdk.h"

void Q9_CALLCONV OnDeviceDiscovered(const DeviceRecord* record, void* dialog);
