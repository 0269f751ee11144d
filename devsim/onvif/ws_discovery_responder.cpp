#include "devsim/onvif/ws_discovery_responder.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

#include "devsim/onvif/device_service.h"
#include "netsdk/onvif/namespaces.h"
#include "netsdk/onvif/xml_escape.h"

namespace devsim {
namespace {

namespace ns = onvif::ns;

constexpr char kProbeMatchesAction[] = "http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches";
constexpr char kScopeRoot[] = "onvif://www.onvif.org/";

// Sixteen bytes as a urn:uuid:, with the version in the high nibble of byte 6
// and the RFC 4122 variant in byte 8.
std::string UuidText(std::uint8_t (&bytes)[16], unsigned version) {
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | (version << 4));
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    char text[64];
    std::snprintf(text, sizeof text,
                  "urn:uuid:%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9],
                  bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}

// A scope path segment: unreserved characters as they are, the rest as %XX,
// so that a model or maker with spaces stays one scope.
std::string ScopeSegment(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 || c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
    }
    return out;
}

bool AnswersType(OnvifProbeAnswer answer, const onvif::QName& type) {
    if (type.ns == ns::kNetwork && type.local == "NetworkVideoTransmitter") {
        return answer != OnvifProbeAnswer::DeviceOnly;
    }
    if (type.ns == ns::kDevice && type.local == "Device") return answer != OnvifProbeAnswer::NetworkVideoTransmitterOnly;
    return false;
}

}  // namespace

std::string EndpointAddress(std::string_view serialNumber) {
    // Name-based (version 5): SHA-1 over a fixed namespace and the serial.
    static const std::uint8_t kNamespace[16] = {0x74, 0x61, 0x72, 0x6e, 0x77, 0x69, 0x63, 0x6b,
                                                0x2d, 0x6f, 0x6e, 0x76, 0x69, 0x66, 0x00, 0x01};
    std::uint8_t hash[EVP_MAX_MD_SIZE];
    unsigned size = 0;
    std::string input(reinterpret_cast<const char*>(kNamespace), sizeof kNamespace);
    input += serialNumber;
    std::uint8_t bytes[16] = {};
    if (EVP_Digest(input.data(), input.size(), hash, &size, EVP_sha1(), nullptr) == 1 && size >= 16) {
        std::copy_n(hash, 16, bytes);
    }
    return UuidText(bytes, 5);
}

std::string RandomMessageId() {
    std::uint8_t bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1) return {};
    return UuidText(bytes, 4);
}

bool MatchesProbeTypes(OnvifProbeAnswer answer, std::span<const onvif::QName> types) {
    return std::all_of(types.begin(), types.end(), [&](const onvif::QName& type) { return AnswersType(answer, type); });
}

std::string ProbeMatchesEnvelope(const DiscoverableDevice& device, std::string_view relatesTo,
                                 std::string_view messageId) {
    const OnvifProfile& p = *device.profile;
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    out += std::string("<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"") + ns::kSoap12 + "\" xmlns:wsa=\"" + ns::kAddressing +
           "\" xmlns:d=\"" + ns::kDiscovery + "\" xmlns:dn=\"" + ns::kNetwork + "\" xmlns:tds=\"" + ns::kDevice +
           "\">";
    out += "<SOAP-ENV:Header><wsa:MessageID>" + onvif::XmlEscape(messageId) + "</wsa:MessageID>";
    out += "<wsa:RelatesTo>" + onvif::XmlEscape(relatesTo) + "</wsa:RelatesTo>";
    out += std::string("<wsa:To SOAP-ENV:mustUnderstand=\"true\">") + ns::kAnonymous + "</wsa:To>";
    out += std::string("<wsa:Action SOAP-ENV:mustUnderstand=\"true\">") + kProbeMatchesAction + "</wsa:Action>";
    out += "</SOAP-ENV:Header><SOAP-ENV:Body><d:ProbeMatches><d:ProbeMatch>";
    out += "<wsa:EndpointReference><wsa:Address>" + EndpointAddress(p.serialNumber) +
           "</wsa:Address></wsa:EndpointReference>";
    out += "<d:Types>dn:NetworkVideoTransmitter tds:Device</d:Types>";
    const std::string root = kScopeRoot;
    const std::string scopes = root + "type/video_encoder " + root + "type/Network_Video_Transmitter " + root +
                               "hardware/" + ScopeSegment(p.model) + " " + root + "name/" +
                               ScopeSegment(p.manufacturer);
    out += "<d:Scopes>" + onvif::XmlEscape(scopes) + "</d:Scopes>";
    out += "<d:XAddrs>" +
           onvif::XmlEscape("http://" + device.address + ":" + std::to_string(device.httpPort) + kDeviceServicePath) +
           "</d:XAddrs>";
    out += "<d:MetadataVersion>1</d:MetadataVersion>";
    out += "</d:ProbeMatch></d:ProbeMatches></SOAP-ENV:Body></SOAP-ENV:Envelope>";
    return out;
}

std::vector<ProbeAnswer> AnswerProbe(const onvif::Probe& probe, std::span<const DiscoverableDevice> devices,
                                     const std::function<std::string()>& messageIds) {
    std::vector<ProbeAnswer> answers;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (!MatchesProbeTypes(devices[i].profile->behaviour.probeAnswer, probe.types)) continue;
        const std::string messageId = messageIds();
        if (messageId.empty()) continue;
        answers.push_back({i, ProbeMatchesEnvelope(devices[i], probe.messageId, messageId)});
    }
    return answers;
}

}  // namespace devsim
