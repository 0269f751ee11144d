// Runs one discovery with the settings named by TARNWICK_NETSDK_SETTINGS and
// prints each device found ("found SN IP"), then logs into the first one
// and reads its configuration ("login SN ok"). Used inside a network
// namespace by the namespace test.
#include <cstdio>
#include <mutex>
#include <vector>

#include "sdk/q9_netsdk.h"

namespace {

std::mutex g_mutex;
std::vector<DeviceRecord> g_found;

void Q9_CALLCONV OnDevice(const DeviceRecord* record, void*) {
    std::lock_guard lock(g_mutex);
    g_found.push_back(*record);
    std::printf("found %s %s\n", record->sn, record->eth0.ip);
}

}  // namespace

int main() {
    Q9_NET_DVR_Init();
    Q9_NET_DVR_SetDiscoveryCallBack(&OnDevice, nullptr);
    Q9_NET_DVR_StartDiscoveryIPC();
    std::lock_guard lock(g_mutex);
    if (g_found.empty()) return 1;
    const DeviceRecord& first = g_found.front();
    const std::int32_t handle = Q9_NET_DVR_Login(first.eth0.ip, first.privatePort, first.user, first.password, nullptr);
    SensorConfigEntry entries[10];
    std::uint32_t bytes = 0;
    if (handle != -1 && Q9_NET_DVR_GetDVRConfig(handle, Q9_GET_SENSOR_CONFIG, 0, entries, sizeof entries, &bytes)) {
        std::printf("login %s ok\n", first.sn);
    }
    if (handle != -1) Q9_NET_DVR_Logout(handle);
    std::fflush(stdout);
    return 0;
}
