// The record a modification starts from, for a program without the window.
#pragma once

#include "sdk/device_record.h"

// The record the window's Modify would send for a device discovered as
// `discovered` before its new addresses go in: the device's node as
// Discovery.Xml holds it, read back (fields a node does not carry are 0).
// False when memory for the node ran out.
bool ModifyRecordOf(const DeviceRecord& discovered, DeviceRecord& modifyRecord);
