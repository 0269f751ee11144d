#include "discovery/discovery_callback.h"

void Q9_CALLCONV OnDeviceDiscovered(const DeviceRecord* /*record*/, void* /*dialog*/) {}
