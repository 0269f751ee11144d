#include "fuzz_bodies.h"

#include <array>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "devsim/control_session.h"
#include "devsim/discovery_responder.h"
#include "devsim/fleet_generator.h"
#include "devsim/fleet_xml.h"
#include "devsim/onvif/device_service.h"
#include "devsim/onvif/ws_discovery_responder.h"
#include "netsdk/answer_filter.h"
#include "netsdk/onvif/probe.h"
#include "netsdk/onvif/responses.h"
#include "netsdk/onvif/rules.h"
#include "netsdk/settings.h"
#include "netsdk/wire/header.h"
#include "netsdk/wire/messages.h"
#include "sdk/device_record.h"

namespace fuzz {
namespace {

// The all-zero token: seeds carry it so that answers get past the token check.
const wire::Token kToken{};

template <typename Message>
void DecodeAs(std::span<const std::uint8_t> body) {
    Message message;
    wire::Decode(body, message);
}

// Two devices whose verifiers are derived once: the key derivation is slow
// on purpose and would otherwise dominate every run.
const devsim::Fleet& TwoProfiles() {
    static const devsim::Fleet fleet = [] {
        devsim::GeneratorOptions options;
        options.count = 2;
        options.password = "tarnwick";
        devsim::Fleet made = devsim::GenerateFleet(options);
        for (devsim::DeviceProfile& profile : made.devices) {
            devsim::StoredVerifier verifier;
            if (devsim::MakeStoredVerifier(profile.user, profile.password, verifier)) profile.verifier = verifier;
        }
        return made;
    }();
    return fleet;
}

std::vector<devsim::DeviceState> TwoDevices() {
    std::vector<devsim::DeviceState> devices;
    for (const auto& profile : TwoProfiles().devices) devices.emplace_back(profile);
    return devices;
}

std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// What the record will hold must fit it, whatever the device sent.
void CheckRecordModel(const onvif::ClassEvidence& evidence) {
    if (onvif::RecordModel(evidence).size() >= sizeof(DeviceRecord::model)) __builtin_trap();
}

void CheckInterfaces(const std::vector<onvif::NetworkInterface>& interfaces) {
    for (const onvif::NetworkInterface& entry : interfaces) {
        std::array<std::uint8_t, 6> mac;
        onvif::ParseMac(entry.hwAddress, mac);
        for (const auto& address : entry.manual) {
            if (onvif::NetmaskToPrefix(onvif::PrefixToNetmask(address.prefixLength)) != address.prefixLength) {
                __builtin_trap();
            }
        }
    }
}

void CheckPorts(const std::vector<onvif::NetworkProtocol>& protocols) {
    for (const onvif::NetworkProtocol& protocol : protocols) {
        for (const int port : protocol.ports) {
            if (port < 1 || port > 65535) __builtin_trap();
        }
    }
}

// One entry per response parser, in the order of the seeds' selector bytes;
// the last one reads Faults.
using ResponseBody = void (*)(std::string_view body, onvif::Fault& fault);
namespace on = onvif;
constexpr ResponseBody kResponseBodies[] = {
    [](std::string_view b, on::Fault& f) {
        on::DateTime v;
        if (on::ParseSystemDateAndTime(b, v, &f) == on::ParseStatus::Ok) on::UnixSeconds(v);
    },
    [](std::string_view b, on::Fault& f) {
        on::DeviceInformation v;
        if (on::ParseDeviceInformation(b, v, &f) != on::ParseStatus::Ok) return;
        on::FirmwareVersion(v.firmwareVersion);
        CheckRecordModel({v.model, {}, {}, {}});
    },
    [](std::string_view b, on::Fault& f) {
        std::vector<on::NetworkInterface> v;
        if (on::ParseNetworkInterfaces(b, v, &f) == on::ParseStatus::Ok) CheckInterfaces(v);
    },
    [](std::string_view b, on::Fault& f) {
        std::vector<std::string> v;
        on::ParseNetworkDefaultGateway(b, v, &f);
    },
    [](std::string_view b, on::Fault& f) {
        on::DnsInformation v;
        on::ParseDNS(b, v, &f);
    },
    [](std::string_view b, on::Fault& f) {
        std::vector<on::NetworkProtocol> v;
        if (on::ParseNetworkProtocols(b, v, &f) == on::ParseStatus::Ok) CheckPorts(v);
    },
    [](std::string_view b, on::Fault& f) {
        std::vector<on::Service> v;
        if (on::ParseServices(b, v, &f) == on::ParseStatus::Ok) CheckRecordModel({"", {}, {}, v});
    },
    [](std::string_view b, on::Fault& f) {
        bool v = false;
        on::ParseSetNetworkInterfaces(b, v, &f);
    },
    [](std::string_view b, on::Fault& f) { on::ParseSetNetworkDefaultGateway(b, &f); },
    [](std::string_view b, on::Fault& f) {
        std::string v;
        on::ParseSystemReboot(b, v, &f);
    },
    [](std::string_view b, on::Fault& f) { on::ParseFault(b, f); },
};

}  // namespace

int SdkDatagram(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> datagram(data, size);
    DeviceRecord record;
    if (netsdk::ParseRunAnswer(datagram, kToken, record) && strnlen(record.sn, sizeof record.sn) == sizeof record.sn) {
        __builtin_trap();  // every accepted text must be terminated
    }
    wire::Header header;
    std::span<const std::uint8_t> body;
    if (wire::OpenDatagram(datagram, header, body)) {
        DecodeAs<wire::ModifyParams>(body);
        DecodeAs<wire::ModifyConfirm>(body);
        DecodeAs<wire::ModifyResult>(body);
    }
    return 0;
}

int SdkFrame(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> frame(data, size);
    wire::Header header;
    if (!wire::DecodeHeader(frame, header) || frame.size() - wire::kHeaderSize < header.bodyLength) return 0;
    const auto body = frame.subspan(wire::kHeaderSize, header.bodyLength);
    DecodeAs<wire::LoginParams>(body);
    DecodeAs<wire::LoginConfirm>(body);
    DecodeAs<wire::LoginResult>(body);
    wire::ConfigResult result;
    if (wire::Decode(body, result) && result.count > wire::kMaxConfigEntries) __builtin_trap();
    return 0;
}

int SdkSettings(const std::uint8_t* data, std::size_t size) {
    netsdk::Settings settings;
    std::string error;
    netsdk::ParseSettings(std::string_view(reinterpret_cast<const char*>(data), size), settings, error);
    return 0;
}

int DeviceDatagram(const std::uint8_t* data, std::size_t size) {
    std::vector<devsim::DeviceState> devices = TwoDevices();
    devsim::DiscoveryResponder responder(devices, [](std::size_t, const wire::ModifyRequest&) { return true; });
    std::vector<devsim::Outgoing> out;
    // The input may hold several datagrams, each preceded by a two-byte
    // length, so that a hello, its share and its request can meet in one run.
    std::size_t pos = 0;
    const auto now = devsim::SimClock::now();
    while (pos + 2 <= size) {
        const std::size_t length = std::min<std::size_t>(data[pos] | (data[pos + 1] << 8), size - pos - 2);
        responder.Handle({data + pos + 2, length}, 0x7F000001u, 4000, now, out);
        pos += 2 + length;
    }
    responder.Handle({data, size}, 0x7F000001u, 4000, now, out);
    return 0;
}

int DeviceStream(const std::uint8_t* data, std::size_t size) {
    std::vector<devsim::DeviceState> devices = TwoDevices();
    devsim::ControlSession session(devices[0], 0x7F000001u);
    devsim::ControlSession::Output out;
    // Feed in pieces of varying size, as a socket would deliver them.
    std::size_t pos = 0;
    std::size_t piece = 1;
    while (pos < size) {
        const std::size_t length = std::min(piece, size - pos);
        session.OnBytes({data + pos, length}, devsim::SimClock::now(), out);
        pos += length;
        piece = piece * 3 % 97 + 1;
    }
    return 0;
}

int KeyExchange(const std::uint8_t* data, std::size_t size) {
    // Any 65 bytes as the peer's share, on both sides of the exchange.
    wire::spake2::Share share{};
    if (size != share.size()) return 0;
    std::memcpy(share.data(), data, share.size());
    const devsim::StoredVerifier& stored = *TwoProfiles().devices[0].verifier;
    const std::uint8_t context[] = {'f'};
    const wire::spake2::Binding binding{context, "admin", ""};
    wire::spake2::Share shareV;
    wire::spake2::Keys keys;
    wire::spake2::Respond(stored.verifier, binding, share, shareV, keys);
    static const wire::spake2::ProverSecret secret = [] {
        wire::spake2::ProverSecret made;
        wire::spake2::DeriveProverSecret("tarnwick", "admin", "", {}, made);
        return made;
    }();
    wire::spake2::Prover prover;
    wire::spake2::Share shareP;
    if (prover.Start(secret, shareP)) prover.Finish(binding, share, keys);
    return 0;
}

int FleetXml(const std::uint8_t* data, std::size_t size) {
    devsim::Fleet fleet;
    std::string error;
    devsim::ParseFleetXml(std::string_view(reinterpret_cast<const char*>(data), size), fleet, error);
    return 0;
}

int OnvifProbeMatches(const std::uint8_t* data, std::size_t size) {
    onvif::ProbeMatches answer;
    if (onvif::ParseProbeMatches(AsText(data, size), answer) != onvif::ParseStatus::Ok) return 0;
    if (answer.relatesTo.empty()) __builtin_trap();
    for (const onvif::ProbeMatch& match : answer.matches) {
        if (match.address.empty()) __builtin_trap();
        CheckRecordModel({match.address, match.types, match.scopes, {}});
    }
    return 0;
}

int OnvifResponse(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    onvif::Fault fault;
    kResponseBodies[data[0] % std::size(kResponseBodies)](AsText(data + 1, size - 1), fault);
    return 0;
}

namespace {

// Every answer is one the SDK can read: a SOAP body on success, a Fault on
// 400 and 401, nothing else but the plain HTTP refusals.
void CheckDeviceAnswer(const devsim::HttpResponse& r) {
    onvif::Fault fault;
    const onvif::ParseStatus status = onvif::ParseFault(r.body, fault);
    if (r.status == 200 && status != onvif::ParseStatus::Ok) __builtin_trap();
    if ((r.status == 400 || r.status == 401) && status != onvif::ParseStatus::Fault) __builtin_trap();
    if (r.status != 200 && r.status != 400 && r.status != 401 && r.status != 413) __builtin_trap();
}

}  // namespace

int OnvifDeviceRequest(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = AsText(data, size);
    const std::size_t eol = input.find('\n');
    if (eol == std::string_view::npos) return 0;
    devsim::OnvifProfile profile;
    profile.model = "Cam";
    profile.serialNumber = "SN1";
    profile.user = kOnvifUser;
    profile.password = kOnvifPassword;
    profile.network = {"eth0", "00:11:22:33:44:55", "127.0.0.9", 24, false};
    devsim::OnvifDeviceService device(profile, "http://127.0.0.9/onvif/device_service",
                                      [] { return std::string(kOnvifDigestNonce); });
    device.Handle(devsim::HttpRequest{"POST", kOnvifPath, {}, ""}, kOnvifNow);  // issues the nonce

    devsim::HttpRequest request{"POST", kOnvifPath, {}, std::string(input.substr(eol + 1))};
    if (eol > 0) request.headers.emplace_back("Authorization", std::string(input.substr(0, eol)));
    const devsim::HttpResponse first = device.Handle(request, kOnvifNow);
    CheckDeviceAnswer(first);
    // The same credentials never pass twice (the clock request needs none).
    const devsim::HttpResponse again = device.Handle(request, kOnvifNow);
    CheckDeviceAnswer(again);
    const bool clockRequest = request.body.find("GetSystemDateAndTime") != std::string::npos;
    if (first.status == 200 && again.status == 200 && !clockRequest) __builtin_trap();
    return 0;
}

// Whatever MessageID a readable probe carries, the answer a device makes of
// it is one the SDK reads back and relates to that probe.
int OnvifProbe(const std::uint8_t* data, std::size_t size) {
    onvif::Probe probe;
    if (onvif::ParseProbe(AsText(data, size), probe) != onvif::ParseStatus::Ok) return 0;
    if (probe.messageId.empty()) __builtin_trap();
    devsim::OnvifProfile profile;
    profile.model = "Cam <1> & \"2\"";
    profile.manufacturer = "Maker";
    profile.serialNumber = "SN1";
    const devsim::DiscoverableDevice devices[] = {{&profile, "127.0.0.9", 8080}};
    for (const devsim::ProbeAnswer& answer : devsim::AnswerProbe(probe, devices, [] { return "urn:uuid:1"; })) {
        onvif::ProbeMatches matches;
        const std::string ids[] = {probe.messageId};
        if (onvif::ParseProbeMatches(answer.datagram, matches) != onvif::ParseStatus::Ok ||
            !onvif::AnswersProbe(matches, ids) || matches.matches.size() != 1) {
            __builtin_trap();
        }
    }
    return 0;
}

}  // namespace fuzz
