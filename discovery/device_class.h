// The four device classes: the first three bytes of a record's model name
// the class, and each class has a type box in the window.
#pragma once

#include <cstring>

#include "res/resource_ids.h"
#include "sdk/device_record.h"

struct DeviceClass {
    const char* name;  // the first three bytes of the record's model
    int box;           // its type box
    bool camera;       // logged into for its sensor model
};

// The order in which an answer is tested.
inline constexpr DeviceClass kDeviceClasses[] = {
    {"IPC", IDC_TYPE_IPC, true},
    {"DVR", IDC_TYPE_DVR, false},
    {"DEC", IDC_TYPE_DEC, false},
    {"NVR", IDC_TYPE_NVR, false},
};

inline bool IsOfClass(const DeviceRecord& record, const DeviceClass& deviceClass) {
    return std::memcmp(record.model, deviceClass.name, 3) == 0;
}
