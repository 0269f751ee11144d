// Fixed layouts that cross the device SDK boundary. Byte-packed and
// little-endian; every size and offset below is part of the contract.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "the device record layouts are little-endian");

#pragma pack(push, 1)

// Addresses of one network interface of a device.
struct NetBlock {
    char ip[16];    // dotted-quad address text
    char mask[16];  // dotted-quad netmask text
    char gw[16];    // dotted-quad gateway text
    char dns1[16];  // dotted-quad first DNS server text
    char dns2[16];  // dotted-quad second DNS server text
    std::uint8_t mac[6];  // hardware address, first octet first
    std::uint8_t reserved[14];
};

// One device as the SDK reports it and as the tool keeps it.
struct DeviceRecord {
    NetBlock eth0;  // wired interface
    NetBlock wifi;  // wireless interface
    NetBlock g3;    // mobile (3G) interface
    std::uint16_t privatePort;  // control port, also the camera login port
    std::uint16_t httpPort;
    std::uint16_t rtspPort;
    std::uint8_t reserved1[2];
    char sn[48];        // serial number text
    char user[32];      // login user name
    char password[16];  // login password
    char model[32];     // model text; its first three bytes name the class
    std::uint32_t softwareVersion;  // major in bits 16-31, minor in bits 0-15
    std::uint32_t buildDate;        // year in bits 16-31, month 8-15, day 0-7
    std::uint8_t reserved2[24];
};

// One name/value pair of a camera's sensor configuration (command 533).
struct SensorConfigEntry {
    char name[48];
    char value[256];
};

#pragma pack(pop)

static_assert(sizeof(NetBlock) == 100);
static_assert(offsetof(NetBlock, ip) == 0);
static_assert(offsetof(NetBlock, mask) == 16);
static_assert(offsetof(NetBlock, gw) == 32);
static_assert(offsetof(NetBlock, dns1) == 48);
static_assert(offsetof(NetBlock, dns2) == 64);
static_assert(offsetof(NetBlock, mac) == 80);
static_assert(offsetof(NetBlock, reserved) == 86);

static_assert(sizeof(DeviceRecord) == 468);
static_assert(offsetof(DeviceRecord, eth0) == 0);
static_assert(offsetof(DeviceRecord, wifi) == 100);
static_assert(offsetof(DeviceRecord, g3) == 200);
static_assert(offsetof(DeviceRecord, privatePort) == 300);
static_assert(offsetof(DeviceRecord, httpPort) == 302);
static_assert(offsetof(DeviceRecord, rtspPort) == 304);
static_assert(offsetof(DeviceRecord, reserved1) == 306);
static_assert(offsetof(DeviceRecord, sn) == 308);
static_assert(offsetof(DeviceRecord, user) == 356);
static_assert(offsetof(DeviceRecord, password) == 388);
static_assert(offsetof(DeviceRecord, model) == 404);
static_assert(offsetof(DeviceRecord, softwareVersion) == 436);
static_assert(offsetof(DeviceRecord, buildDate) == 440);
static_assert(offsetof(DeviceRecord, reserved2) == 444);

static_assert(sizeof(SensorConfigEntry) == 304);
static_assert(offsetof(SensorConfigEntry, name) == 0);
static_assert(offsetof(SensorConfigEntry, value) == 48);

// Configuration command 533 fills this many consecutive entries.
inline constexpr int kSensorConfigEntries = 10;
inline constexpr std::uint32_t kSensorConfigBlockSize =
    kSensorConfigEntries * sizeof(SensorConfigEntry);
static_assert(kSensorConfigBlockSize == 3040);

// The two halves of softwareVersion and the three parts of buildDate.
constexpr unsigned VersionMajor(std::uint32_t softwareVersion) { return softwareVersion >> 16; }
constexpr unsigned VersionMinor(std::uint32_t softwareVersion) { return softwareVersion & 0xFFFFu; }
constexpr unsigned BuildYear(std::uint32_t buildDate) { return buildDate >> 16; }
constexpr unsigned BuildMonth(std::uint32_t buildDate) { return (buildDate >> 8) & 0xFFu; }
constexpr unsigned BuildDay(std::uint32_t buildDate) { return buildDate & 0xFFu; }

constexpr std::uint32_t MakeVersion(unsigned major, unsigned minor) {
    return (static_cast<std::uint32_t>(major & 0xFFFFu) << 16) | (minor & 0xFFFFu);
}
constexpr std::uint32_t MakeBuildDate(unsigned year, unsigned month, unsigned day) {
    return (static_cast<std::uint32_t>(year & 0xFFFFu) << 16) | ((month & 0xFFu) << 8) | (day & 0xFFu);
}
