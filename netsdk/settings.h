// The SDK's own settings: where discovery probes go, how long a window
// lasts, the credentials it logs in with and its timeouts. They come from
// the key=value file named by TARNWICK_NETSDK_SETTINGS (see PROTOCOL.md).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace netsdk {

inline constexpr const char* kSettingsVariable = "TARNWICK_NETSDK_SETTINGS";

struct Target {
    std::uint32_t address = 0;  // host byte order
    std::uint16_t port = 0;     // 0: the discovery port
    bool operator==(const Target&) const = default;
};

struct Settings {
    std::uint16_t discoveryPort = 39300;
    // Without explicit targets, probes go to the broadcast address of every
    // up IPv4 interface and to 127.0.0.1.
    bool autoTargets = true;
    std::vector<Target> targets;
    std::uint32_t bindAddress = 0;  // local address of the SDK's UDP sockets
    // ONVIF devices are looked for in the same window: by multicast
    // WS-Discovery on every interface with automatic targets, otherwise by
    // a directed probe to each target's address on onvifPort.
    bool onvif = true;
    std::uint16_t onvifPort = 3702;
    int windowMs = 3000;
    int probeRepeats = 3;
    int receiveBufferBytes = 4 * 1024 * 1024;
    // New devices accepted per run from one source address: a burst, then
    // so many per second. A whole simulated fleet answers from one address.
    int sourceBurst = 1536;
    int sourceRate = 256;
    std::string user = "admin";
    std::string password = "tarnwick";
    int connectTimeoutMs = 2000;
    int ioTimeoutMs = 3000;
    int modifyTimeoutMs = 3000;
};

// Reads settings text over the defaults. On failure `error` names the line
// and what is wrong with it, never the line's text, and nothing changes.
bool ParseSettings(std::string_view text, Settings& settings, std::string& error);

// Reads a settings file over `settings`: a readable regular file of at
// most 64 KiB that parses and names its targets. On failure `error` names
// the file and says why.
bool LoadSettingsFile(const char* path, Settings& settings, std::string& error);

// The settings that Q9_NET_DVR_Init loads: the defaults when the variable is
// unset; the file's settings when LoadSettingsFile takes it; otherwise the
// defaults with no discovery targets at all, so that a broken file never
// leads to probing every interface.
Settings LoadSettingsFromEnvironment(std::string& error);

}  // namespace netsdk
