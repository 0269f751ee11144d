// One discovered device of the current run: its record and its list row.
#pragma once

#include <cstdint>

#include "sdk/device_record.h"

struct DeviceSlot {
    DeviceRecord record;
    std::int32_t rowIndex;
};

// Rows (and slots, and camera workers) one run can hold.
inline constexpr int kMaxDevices = 250;
