// One body per parser of the protocol, SDK side and device side. The
// libFuzzer targets call one each; the corpus replay test calls them all.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz {

using Body = int (*)(const std::uint8_t* data, std::size_t size);

int SdkDatagram(const std::uint8_t* data, std::size_t size);
int SdkFrame(const std::uint8_t* data, std::size_t size);
int SdkSettings(const std::uint8_t* data, std::size_t size);
int DeviceDatagram(const std::uint8_t* data, std::size_t size);
int DeviceStream(const std::uint8_t* data, std::size_t size);
int KeyExchange(const std::uint8_t* data, std::size_t size);
int FleetXml(const std::uint8_t* data, std::size_t size);
int OnvifProbeMatches(const std::uint8_t* data, std::size_t size);
// The first byte picks the response parser; the rest is the body.
int OnvifResponse(const std::uint8_t* data, std::size_t size);

struct Target {
    const char* name;  // also the corpus folder's name
    Body body;
};

inline constexpr Target kTargets[] = {
    {"sdk_datagram", SdkDatagram}, {"sdk_frame", SdkFrame},         {"sdk_settings", SdkSettings},
    {"device_datagram", DeviceDatagram}, {"device_stream", DeviceStream}, {"key_exchange", KeyExchange},
    {"fleet_xml", FleetXml}, {"onvif_probe_matches", OnvifProbeMatches}, {"onvif_response", OnvifResponse},
};

}  // namespace fuzz
