// One discovered device of the current run: its record and its list row.
#pragma once

#include <cstdint>

#include "sdk/device_record.h"

struct DeviceSlot {
    DeviceRecord record;
    std::int32_t rowIndex;
};
