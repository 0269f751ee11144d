#include "devsim/onvif/device_service.h"

#include <arpa/inet.h>

#include <cctype>

#include "devsim/onvif/soap_answers.h"
#include "netsdk/onvif/envelope.h"
#include "netsdk/onvif/namespaces.h"

namespace devsim {

namespace {

namespace ns = onvif::ns;
using onvif::XmlNode;


HttpResponse Fault(int status, std::string_view code, std::string_view subcode, std::string_view reason) {
    return SoapAnswer(status, SoapFault(code, subcode, reason));
}

HttpResponse InvalidArg(std::string_view reason) { return Fault(400, "Sender", "InvalidArgVal", reason); }

}  // namespace

std::string_view HeaderValue(const HttpHeaders& headers, std::string_view name) {
    for (const auto& [key, value] : headers) {
        if (key.size() != name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < key.size() && same; ++i) {
            same = std::tolower(static_cast<unsigned char>(key[i])) == std::tolower(static_cast<unsigned char>(name[i]));
        }
        if (same) return value;
    }
    return {};
}

HttpResponse SoapAnswer(int status, std::string envelope) {
    return HttpResponse{status, {{"Content-Type", "application/soap+xml; charset=utf-8"}}, std::move(envelope)};
}

bool UsableIpv4(const std::string& text) {
    in_addr address{};
    if (text.size() > 15 || inet_pton(AF_INET, text.c_str(), &address) != 1) return false;
    const std::uint32_t host = ntohl(address.s_addr);
    return host != 0 && host != 0xFFFFFFFFu && (host >> 28) != 0xE;
}

OnvifDeviceService::OnvifDeviceService(OnvifProfile profile, std::string serviceAddress,
                                       HttpDigest::NonceSource nonces)
    : profile_(std::move(profile)), serviceAddress_(std::move(serviceAddress)),
      digest_("device@" + profile_.serialNumber, std::move(nonces)) {}

HttpResponse OnvifDeviceService::Handle(const HttpRequest& request, std::int64_t trueUtc) {
    const std::int64_t deviceNow = trueUtc + profile_.behaviour.clockOffset;
    const std::string_view path = std::string_view(request.path).substr(0, request.path.find('?'));
    if (path != kDeviceServicePath) return HttpResponse{404, {}, {}};
    if (request.method != "POST") return HttpResponse{405, {{"Allow", "POST"}}, {}};
    if (request.body.size() > kRequestBodyLimit) return HttpResponse{413, {}, {}};

    const onvif::XmlDocument doc(request.body, kRequestBodyLimit);
    const XmlNode* payload = nullptr;
    const onvif::ParseStatus status = onvif::OpenBody(doc, payload, nullptr);
    if (status != onvif::ParseStatus::Ok || payload == nullptr || !onvif::Is(doc.root(), ns::kSoap12, "Envelope")) {
        // HTTP clients probe Digest with an empty body first: without valid
        // HTTP credentials an unreadable request gets the challenge.
        const Auth auth = Authenticate(request, nullptr, deviceNow);
        if (auth != Auth::Ok) return Refusal(auth == Auth::TokenRefused ? Auth::NoCredentials : auth, deviceNow);
        return Fault(400, "Sender", "WellFormed", "Not a SOAP 1.2 request");
    }
    if (onvif::Is(payload, ns::kDevice, "GetSystemDateAndTime")) {
        return SoapAnswer(200, SystemDateAndTimeAnswer(deviceNow));
    }
    const Auth auth = Authenticate(request, onvif::EnvelopeHeader(doc), deviceNow);
    if (auth != Auth::Ok) return Refusal(auth, deviceNow);
    return Operation(payload, deviceNow);
}

OnvifDeviceService::Auth OnvifDeviceService::Authenticate(const HttpRequest& request, const onvif::XmlNode* header,
                                                          std::int64_t deviceNow) {
    // A Digest-only device reads no UsernameToken: without HTTP credentials
    // the request gets the challenge, whatever token it carries.
    const TokenCheck token = profile_.behaviour.digestOnly
                                 ? TokenCheck::Absent
                                 : CheckUsernameToken(header, profile_.user, profile_.password, deviceNow, nonces_);
    if (token == TokenCheck::Refused) return Auth::TokenRefused;
    if (token == TokenCheck::Ok) return profile_.behaviour.refuseLogins ? Auth::TokenRefused : Auth::Ok;
    const DigestCheck digest = digest_.Check(request.method, request.path, HeaderValue(request.headers, "Authorization"),
                                             profile_.user, profile_.password, deviceNow);
    switch (digest) {
        case DigestCheck::Absent: return Auth::NoCredentials;
        case DigestCheck::Stale: return Auth::DigestStale;
        case DigestCheck::Refused: return Auth::DigestRefused;
        case DigestCheck::Ok: return profile_.behaviour.refuseLogins ? Auth::DigestRefused : Auth::Ok;
    }
    return Auth::DigestRefused;
}

HttpResponse OnvifDeviceService::Refusal(Auth auth, std::int64_t deviceNow) {
    // A refused UsernameToken is a SOAP matter (400); missing or refused HTTP
    // credentials get a new Digest challenge (401).
    if (auth == Auth::TokenRefused) return Fault(400, "Sender", "NotAuthorized", "Sender not authorized");
    HttpResponse response = Fault(401, "Sender", "NotAuthorized", "Sender not authorized");
    for (std::string& challenge : digest_.Challenge(deviceNow, auth == Auth::DigestStale)) {
        response.headers.emplace_back("WWW-Authenticate", std::move(challenge));
    }
    return response;
}

HttpResponse OnvifDeviceService::Operation(const onvif::XmlNode* payload, std::int64_t) {

    auto is = [&](std::string_view local) { return onvif::Is(payload, ns::kDevice, local); };
    if (is("GetDeviceInformation")) return SoapAnswer(200, DeviceInformationAnswer(profile_));
    if (is("GetServices")) return SoapAnswer(200, ServicesAnswer(serviceAddress_, profile_.kind));
    if (is("GetCapabilities")) return Capabilities(payload);
    if (is("GetNetworkInterfaces")) return SoapAnswer(200, NetworkInterfacesAnswer(profile_));
    if (is("GetNetworkDefaultGateway")) return SoapAnswer(200, NetworkDefaultGatewayAnswer(profile_));
    if (is("GetDNS")) return SoapAnswer(200, DnsAnswer(profile_));
    if (is("GetNetworkProtocols")) return SoapAnswer(200, NetworkProtocolsAnswer(profile_));
    if (is("SetNetworkInterfaces")) return SetNetworkInterfaces(payload);
    if (is("SetNetworkDefaultGateway")) return SetNetworkDefaultGateway(payload);
    if (is("SystemReboot")) {
        ++reboots_;
        return SoapAnswer(200, SystemRebootAnswer());
    }
    return Fault(400, "Receiver", "ActionNotSupported", "Operation not supported");
}

HttpResponse OnvifDeviceService::Capabilities(const onvif::XmlNode* payload) {
    // Clients that predate GetServices, or fall back when it fails, ask here
    // for the service addresses. Categories of services the device lacks
    // are refused as a whole.
    for (const XmlNode* category : onvif::Children(payload, ns::kDevice, "Category")) {
        const std::string name = onvif::Text(category);
        if (name != "All" && name != "Device") {
            return SoapAnswer(400, SoapFault("Receiver", "ActionNotSupported", "No such service", "NoSuchService"));
        }
    }
    return SoapAnswer(200, CapabilitiesAnswer(serviceAddress_));
}

HttpResponse OnvifDeviceService::SetNetworkInterfaces(const onvif::XmlNode* payload) {

    const XmlNode* iface = onvif::Child(payload, ns::kDevice, "NetworkInterface");
    const XmlNode* ipv4 = onvif::Child(iface, ns::kSchema, "IPv4");
    const XmlNode* manual = onvif::Child(ipv4, ns::kSchema, "Manual");
    const std::string address = onvif::Text(onvif::Child(manual, ns::kSchema, "Address"));
    const auto prefix = onvif::Integer(onvif::Child(manual, ns::kSchema, "PrefixLength"), 1, 32);
    const auto dhcp = onvif::Boolean(onvif::Child(ipv4, ns::kSchema, "DHCP"));
    if (onvif::Text(onvif::Child(payload, ns::kDevice, "InterfaceToken")) != profile_.network.token) {
        return InvalidArg("Unknown interface token");
    }
    if (!UsableIpv4(address) || !prefix || dhcp.value_or(true)) return InvalidArg("Invalid IPv4 configuration");
    profile_.network.address = address;
    profile_.network.prefixLength = *prefix;
    profile_.network.dhcp = false;
    return SoapAnswer(200, SetNetworkInterfacesAnswer(profile_.behaviour.rebootNeeded));
}

HttpResponse OnvifDeviceService::SetNetworkDefaultGateway(const onvif::XmlNode* p) {
    const std::vector<const XmlNode*> entries = onvif::Children(p, ns::kDevice, "IPv4Address");
    if (entries.size() != 1 || !UsableIpv4(onvif::Text(entries.front()))) return InvalidArg("Invalid gateway");
    profile_.gateway = onvif::Text(entries.front());
    return SoapAnswer(200, SetNetworkDefaultGatewayAnswer());
}

}  // namespace devsim
