// Talking to one ONVIF device's Device Management service: the clock
// offset measured first, then authenticated requests with either a
// UsernameToken (our clock corrected by the offset) or, when the device
// challenges for it, HTTP Digest; never both in one request, and never the
// password in clear.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "netsdk/onvif/requests.h"
#include "netsdk/onvif_client/http_post.h"

namespace netsdk::onvif_client {

using Deadline = std::chrono::steady_clock::time_point;

// "http://a.b.c.d[:port]/path" with a dotted-quad host only: a name would
// send us to a resolver on the word of an unauthenticated datagram.
struct ServiceAddress {
    std::uint32_t host = 0;  // host byte order
    std::uint16_t port = 80;
    std::string path;  // begins with '/'
};
bool ParseServiceAddress(std::string_view url, ServiceAddress& out);
std::string ServiceUrl(const ServiceAddress& address);

enum class CallStatus {
    Ok,       // an HTTP 2xx answer: the body is the response (or a Fault to parse)
    Refused,  // the device did not accept our credentials
    Failed,   // no answer, a cut answer, or an error status
};

struct CallResult {
    CallStatus status = CallStatus::Failed;
    std::string body;
};

// Writes a request envelope with the given token, or without one (nullptr)
// when HTTP Digest carries the credentials.
using Envelope = std::function<std::string(const onvif::UsernameToken*)>;

class DeviceClient {
public:
    DeviceClient(std::string url, std::string user, std::string password, const std::atomic<bool>* stop = nullptr);
    ~DeviceClient();
    DeviceClient(const DeviceClient&) = delete;
    DeviceClient& operator=(const DeviceClient&) = delete;

    // GetSystemDateAndTime without credentials; keeps the device's clock
    // minus ours. False when the device does not answer it (the offset
    // stays 0).
    bool MeasureClock(Deadline deadline);
    // An authenticated request for `operation` (its name in the device
    // namespace, e.g. "GetDeviceInformation").
    CallResult Call(std::string_view operation, const Envelope& envelope, Deadline deadline);
    // A request without credentials.
    CallResult CallAnonymous(std::string_view operation, const Envelope& envelope, Deadline deadline);

    std::int64_t clockOffset() const { return clockOffset_; }
    bool usesDigest() const { return digest_; }

private:
    CallResult Classify(const HttpAnswer& answer) const;

    HttpPost http_;
    std::string user_;
    std::string password_;
    std::int64_t clockOffset_ = 0;
    bool digest_ = false;  // the device asked for Digest: every later request uses it
};

// The request envelope of a parameterless operation.
Envelope Request(onvif::DeviceRequest request);

}  // namespace netsdk::onvif_client
