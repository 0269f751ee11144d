#include "cli/device_discovery.h"

#include <cstddef>
#include <iterator>
#include <mutex>

#include "discovery/device_class.h"
#include "sdk/q9_netsdk.h"

namespace {

struct Collection {
    std::array<bool, 4> classes;
    std::mutex mutex;
    std::vector<DeviceRecord> records;
};

// The window's class filter: classes tested in the order of kDeviceClasses.
void Q9_CALLCONV OnDevice(const DeviceRecord* record, void* user) {
    if (record == nullptr || user == nullptr) return;
    auto& collection = *static_cast<Collection*>(user);
    try {
        for (std::size_t k = 0; k < std::size(kDeviceClasses); ++k) {
            if (!collection.classes[k] || !IsOfClass(*record, kDeviceClasses[k])) continue;
            std::lock_guard lock(collection.mutex);
            collection.records.push_back(*record);
        }
    } catch (...) {
        // Out of memory: the answer is dropped, and nothing reaches the SDK.
    }
}

}  // namespace

bool DiscoverDevices(const std::array<bool, 4>& classes, std::vector<DeviceRecord>& records) {
    if (Q9_NET_DVR_Init() == 0) return false;
    Collection collection{classes, {}, {}};
    Q9_NET_DVR_SetDiscoveryCallBack(&OnDevice, &collection);
    const bool ran = Q9_NET_DVR_StartDiscoveryIPC() != 0;
    Q9_NET_DVR_SetDiscoveryCallBack(nullptr, nullptr);
    std::lock_guard lock(collection.mutex);
    records = std::move(collection.records);
    return ran;
}
