#include "discovery/discovery_callback.h"

// Registered at start-up so that the SDK has its receiver from the first run
// on. The dialog does not start runs yet, so no answer reaches this point and
// none is listed.
void Q9_CALLCONV OnDeviceDiscovered(const DeviceRecord* /*record*/, void* /*dialog*/) {}
