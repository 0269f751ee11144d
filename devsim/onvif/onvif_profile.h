// What a simulated ONVIF device is: its identity, its one network interface,
// its credentials and the behaviours a fleet file can give it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace devsim {

// Which multicast probe types the device answers (kept for the discovery
// responder; the HTTP side does not use it).
enum class OnvifProbeAnswer { Both, NetworkVideoTransmitterOnly, DeviceOnly };

struct OnvifBehaviour {
    std::int64_t clockOffset = 0;           // device clock minus true UTC, seconds
    bool rebootNeeded = false;              // Set* answers RebootNeeded = true
    bool refuseLogins = false;              // every authenticated request fails
    std::chrono::milliseconds answerDelay{0};  // the server waits this long before answering
    std::chrono::milliseconds moveDelay{0};    // off the network this long between its old address and its new one
    OnvifProbeAnswer probeAnswer = OnvifProbeAnswer::Both;
    bool digestOnly = false;                // UsernameTokens are ignored: only HTTP Digest logs in
    bool operator==(const OnvifBehaviour&) const = default;
};

struct OnvifInterface {
    std::string token = "eth0";
    std::string hwAddress;  // "aa:bb:cc:dd:ee:ff"
    std::string address;    // dotted IPv4
    int prefixLength = 24;
    bool dhcp = false;
    bool operator==(const OnvifInterface&) const = default;
};

// What the device is, as its services show it: a camera offers media, a
// recorder recording, search and receiver, a decoder display and receiver.
enum class OnvifKind { Camera, Recorder, Decoder };

struct OnvifProfile {
    OnvifKind kind = OnvifKind::Camera;
    std::string manufacturer, model, firmwareVersion, serialNumber, hardwareId;
    std::string user, password;  // the password itself: both digests are computed from it
    OnvifInterface network;
    std::string gateway;
    std::vector<std::string> dns;
    int httpPort = 80;
    int rtspPort = 554;
    OnvifBehaviour behaviour;
    bool operator==(const OnvifProfile&) const = default;
};

}  // namespace devsim
