#include "netsdk/onvif_client/known_devices.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>

namespace netsdk::onvif_client {
namespace {

std::mutex g_mutex;
std::deque<KnownDevice> g_devices;  // oldest first

bool SameDevice(const KnownDevice& a, const KnownDevice& b) {
    return (a.service.host == b.service.host && a.service.port == b.service.port) ||
           (!a.serial.empty() && a.serial == b.serial && a.mac == b.mac);
}

}  // namespace

void RememberDevice(const KnownDevice& device) {
    std::lock_guard lock(g_mutex);
    std::erase_if(g_devices, [&](const KnownDevice& known) { return SameDevice(known, device); });
    if (g_devices.size() >= kMaxKnownDevices) g_devices.pop_front();
    g_devices.push_back(device);
}

std::optional<KnownDevice> FindDeviceAt(std::uint32_t host, std::uint16_t port) {
    std::lock_guard lock(g_mutex);
    for (auto it = g_devices.rbegin(); it != g_devices.rend(); ++it) {
        if (it->service.host == host && it->service.port == port) return *it;
    }
    return std::nullopt;
}

std::optional<KnownDevice> FindDevice(std::string_view serial, const std::uint8_t (&mac)[6]) {
    std::array<std::uint8_t, 6> wanted{};
    std::memcpy(wanted.data(), mac, wanted.size());
    if (serial.empty() && wanted == std::array<std::uint8_t, 6>{}) return std::nullopt;
    std::lock_guard lock(g_mutex);
    for (auto it = g_devices.rbegin(); it != g_devices.rend(); ++it) {
        if (it->serial == serial && it->mac == wanted) return *it;
    }
    return std::nullopt;
}

void DeviceMoved(const KnownDevice& device, std::uint32_t host) {
    KnownDevice moved = device;
    moved.service.host = host;
    std::lock_guard lock(g_mutex);
    std::erase_if(g_devices, [&](const KnownDevice& known) { return SameDevice(known, device); });
    g_devices.push_back(std::move(moved));
}

void ForgetDevices() {
    std::lock_guard lock(g_mutex);
    g_devices.clear();
}

}  // namespace netsdk::onvif_client
