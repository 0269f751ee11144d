#include "netsdk/onvif_client/device_client.h"

#include <openssl/crypto.h>

#include <charconv>
#include <ctime>

#include "netsdk/net/socket_io.h"
#include "netsdk/onvif/namespaces.h"
#include "netsdk/onvif/responses.h"

namespace netsdk::onvif_client {
namespace {

void Wipe(std::string& text) {
    if (!text.empty()) OPENSSL_cleanse(text.data(), text.size());
    text.clear();
}

std::string Action(std::string_view operation) {
    return std::string(onvif::ns::kDevice) + "/" + std::string(operation);
}

bool IsNotAuthorized(std::string_view body) {
    onvif::Fault fault;
    return onvif::ParseFault(body, fault) == onvif::ParseStatus::Fault &&
           fault.subcode.ns == onvif::ns::kError && fault.subcode.local == "NotAuthorized";
}

bool SafePathCharacter(char c) { return c > ' ' && c < 0x7F && c != '#' && c != '\\'; }

}  // namespace

bool ParseServiceAddress(std::string_view url, ServiceAddress& out) {
    constexpr std::string_view kScheme = "http://";
    if (url.size() > 1024 || !url.starts_with(kScheme)) return false;
    url.remove_prefix(kScheme.size());
    const std::size_t slash = url.find('/');
    std::string_view authority = url.substr(0, slash);
    std::string_view path = slash == std::string_view::npos ? std::string_view("/") : url.substr(slash);
    ServiceAddress result;
    const std::size_t colon = authority.find(':');
    if (colon != std::string_view::npos) {
        const std::string_view portText = authority.substr(colon + 1);
        unsigned port = 0;
        const auto [end, error] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
        if (error != std::errc{} || end != portText.data() + portText.size() || port == 0 || port > 65535) {
            return false;
        }
        result.port = static_cast<std::uint16_t>(port);
        authority = authority.substr(0, colon);
    }
    if (authority.size() > 15) return false;
    const std::string host(authority);
    if (!net::ParseIPv4(host.c_str(), result.host) || result.host == 0) return false;
    for (const char c : path) {
        if (!SafePathCharacter(c)) return false;
    }
    result.path = std::string(path);
    out = std::move(result);
    return true;
}

std::string ServiceUrl(const ServiceAddress& address) {
    return "http://" + net::FormatIPv4(address.host) + ":" + std::to_string(address.port) + address.path;
}

DeviceClient::DeviceClient(std::string url, std::string user, std::string password, const std::atomic<bool>* stop)
    : http_(std::move(url), stop), user_(std::move(user)), password_(std::move(password)) {}

DeviceClient::~DeviceClient() { Wipe(password_); }

bool DeviceClient::MeasureClock(Deadline deadline) {
    const CallResult result = CallAnonymous("GetSystemDateAndTime", Request(onvif::DeviceRequest::GetSystemDateAndTime),
                                            deadline);
    onvif::DateTime utc;
    if (result.status != CallStatus::Ok ||
        onvif::ParseSystemDateAndTime(result.body, utc) != onvif::ParseStatus::Ok) {
        return false;
    }
    clockOffset_ = onvif::UnixSeconds(utc) - static_cast<std::int64_t>(std::time(nullptr));
    return true;
}

CallResult DeviceClient::Classify(const HttpAnswer& answer) const {
    CallResult result;
    if (!answer.transferred) return result;
    if (answer.status == 401 || answer.status == 403 || IsNotAuthorized(answer.body)) {
        result.status = CallStatus::Refused;
        return result;
    }
    // SOAP 1.2 sends Faults with 400 or 500: the body says what went wrong.
    if ((answer.status >= 200 && answer.status < 300) || answer.status == 400 || answer.status == 500) {
        result.status = CallStatus::Ok;
        result.body = answer.body;
    }
    return result;
}

CallResult DeviceClient::CallAnonymous(std::string_view operation, const Envelope& envelope, Deadline deadline) {
    const std::string body = envelope(nullptr);
    if (body.empty()) return {};
    return Classify(http_.Post(body, Action(operation), deadline, nullptr));
}

CallResult DeviceClient::Call(std::string_view operation, const Envelope& envelope, Deadline deadline) {
    if (!digest_) {
        onvif::UsernameToken token;
        token.user = user_;
        token.password = password_;
        token.created = onvif::CreatedTime(std::time(nullptr), clockOffset_);
        std::string body;
        if (onvif::FreshNonce(token.nonce) && !token.created.empty()) body = envelope(&token);
        Wipe(token.password);
        if (body.empty()) return {};
        const HttpAnswer answer = http_.Post(body, Action(operation), deadline, nullptr);
        // A device that wants HTTP Digest says so with its challenge; the
        // request is sent again with Digest alone, without the token.
        if (!(answer.transferred && answer.status == 401 && answer.digestChallenge)) return Classify(answer);
        digest_ = true;
    }
    const std::string body = envelope(nullptr);
    if (body.empty()) return {};
    DigestCredentials credentials{user_, password_};
    CallResult result = Classify(http_.Post(body, Action(operation), deadline, &credentials));
    Wipe(credentials.password);
    return result;
}

Envelope Request(onvif::DeviceRequest request) {
    return [request](const onvif::UsernameToken* token) { return onvif::BuildRequest(request, token); };
}

}  // namespace netsdk::onvif_client
