// The device side of Device Management: one HTTP request in, one answer out.
// It opens the SOAP 1.2 envelope, authenticates (a UsernameToken or HTTP
// Digest, either one), runs the operation against the profile and answers
// with a response envelope or a SOAP Fault. No socket, no clock of its own.
#pragma once

#include <cstdint>
#include <string>

#include "devsim/onvif/http_digest.h"
#include "devsim/onvif/http_message.h"
#include "devsim/onvif/onvif_profile.h"
#include "devsim/onvif/username_check.h"

namespace devsim {

inline constexpr char kDeviceServicePath[] = "/onvif/device_service";
inline constexpr std::size_t kRequestBodyLimit = 64 * 1024;

class OnvifDeviceService {
public:
    // `serviceAddress`: the URL GetServices names for this service.
    OnvifDeviceService(OnvifProfile profile, std::string serviceAddress,
                       HttpDigest::NonceSource nonces = {});

    // `trueUtc`: seconds since 1970 by the host's clock; the device answers by
    // its own, `trueUtc + clockOffset`.
    HttpResponse Handle(const HttpRequest& request, std::int64_t trueUtc);

    const OnvifProfile& profile() const { return profile_; }
    // How many SystemReboot requests were accepted.
    int reboots() const { return reboots_; }

private:
    enum class Auth { Ok, NoCredentials, TokenRefused, DigestRefused, DigestStale };

    Auth Authenticate(const HttpRequest& request, const onvif::XmlNode* header, std::int64_t deviceNow);
    HttpResponse Refusal(Auth auth, std::int64_t deviceNow);
    HttpResponse Operation(const onvif::XmlNode* payload, std::int64_t deviceNow);
    HttpResponse Capabilities(const onvif::XmlNode* payload);
    HttpResponse SetNetworkInterfaces(const onvif::XmlNode* payload);
    HttpResponse SetNetworkDefaultGateway(const onvif::XmlNode* payload);

    OnvifProfile profile_;
    std::string serviceAddress_;
    HttpDigest digest_;
    NonceCache nonces_{1024};
    int reboots_ = 0;
};

// A SOAP answer with its status and content type.
HttpResponse SoapAnswer(int status, std::string envelope);

// True for a dotted IPv4 address a device may take as its own or its
// gateway's (not 0.0.0.0, broadcast or multicast).
bool UsableIpv4(const std::string& text);

}  // namespace devsim
