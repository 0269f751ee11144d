#include "devsim/fleet_generator.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

namespace devsim {
namespace {

struct Kind {
    const char* prefix;  // first four characters of the serial number
    const char* model;
    const char* sensor;  // cameras only
};

// Matches devsim/fleets/Config.xml.
constexpr Kind kKinds[] = {
    {"IC2A", "IPC-B210", "IMX291"}, {"NV08", "NVR-0804", ""},  {"IC4B", "IPC-D440", "OS04A10"},
    {"DV04", "DVR-0410", ""},       {"IC2A", "IPC-B210", "SC2336"}, {"DE16", "DEC-1602", ""},
};

std::uint32_t NthAddress(std::uint32_t first, int index) {
    std::uint32_t address = first;
    for (int i = 0; i <= index;) {
        const std::uint32_t host = address & 0xFFu;
        if (host != 0 && host != 255) {
            if (i == index) break;
            ++i;
        }
        ++address;
    }
    return address;
}

void Put(char* field, std::size_t capacity, const std::string& text) {
    std::memset(field, 0, capacity);
    std::memcpy(field, text.data(), std::min(text.size(), capacity - 1));
}

const Kind& KindOf(const GeneratorOptions& options, int index) {
    static constexpr int kCameraKinds[] = {0, 2, 4};
    if (options.camerasOnly) return kKinds[kCameraKinds[index % 3]];
    return kKinds[index % 6];
}

}  // namespace

std::string GeneratedSerial(const GeneratorOptions& options, int index) {
    char serial[48];
    std::snprintf(serial, sizeof serial, "%s%08d", KindOf(options, index).prefix, index);
    return serial;
}

Fleet GenerateFleet(const GeneratorOptions& options) {
    Fleet fleet;
    for (int i = 0; i < options.count; ++i) {
        const Kind& kind = KindOf(options, i);
        DeviceProfile device;
        DeviceRecord& r = device.record;
        Put(r.sn, sizeof r.sn, GeneratedSerial(options, i));
        Put(r.model, sizeof r.model, kind.model);
        in_addr address{htonl(NthAddress(options.firstAddress, i))};
        char ip[16];
        inet_ntop(AF_INET, &address, ip, sizeof ip);
        Put(r.eth0.ip, sizeof r.eth0.ip, ip);
        Put(r.eth0.mask, sizeof r.eth0.mask, "255.0.0.0");
        Put(r.eth0.gw, sizeof r.eth0.gw, "127.0.0.1");
        Put(r.eth0.dns1, sizeof r.eth0.dns1, "127.0.0.53");
        Put(r.eth0.dns2, sizeof r.eth0.dns2, "0.0.0.0");
        const std::uint8_t mac[6] = {0x02, 0x54, 0x57, static_cast<std::uint8_t>((i >> 16) & 0xFF),
                                     static_cast<std::uint8_t>((i >> 8) & 0xFF), static_cast<std::uint8_t>(i & 0xFF)};
        std::memcpy(r.eth0.mac, mac, sizeof mac);
        r.privatePort = options.controlPort;
        r.httpPort = 80;
        r.rtspPort = 554;
        r.softwareVersion = MakeVersion(2, 3);
        r.buildDate = MakeBuildDate(2016, 2, 29);
        device.user = options.user;
        device.password = options.password;
        device.sensorModel = kind.sensor;
        fleet.devices.push_back(std::move(device));
    }
    return fleet;
}

}  // namespace devsim
