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
// The simulated ONVIF device: the first line is the Authorization header
// (empty for none), the rest the request body.
int OnvifDeviceRequest(const std::uint8_t* data, std::size_t size);
// A WS-Discovery Probe as the simulated devices read it, and their answers.
int OnvifProbe(const std::uint8_t* data, std::size_t size);

// The device OnvifDeviceRequest talks to, at a fixed time, having issued one
// Digest nonce.
inline constexpr std::int64_t kOnvifNow = 1796718624;
inline constexpr char kOnvifUser[] = "admin";
inline constexpr char kOnvifPassword[] = "tarnwick";
inline constexpr char kOnvifDigestNonce[] = "0123456789abcdef";
inline constexpr char kOnvifPath[] = "/onvif/device_service";

struct Target {
    const char* name;  // also the corpus folder's name
    Body body;
};

inline constexpr Target kTargets[] = {
    {"sdk_datagram", SdkDatagram}, {"sdk_frame", SdkFrame},         {"sdk_settings", SdkSettings},
    {"device_datagram", DeviceDatagram}, {"device_stream", DeviceStream}, {"key_exchange", KeyExchange},
    {"fleet_xml", FleetXml}, {"onvif_probe_matches", OnvifProbeMatches}, {"onvif_response", OnvifResponse},
    {"onvif_device_request", OnvifDeviceRequest}, {"onvif_probe", OnvifProbe},
};

}  // namespace fuzz
