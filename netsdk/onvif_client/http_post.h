// One SOAP request over HTTP with libcurl: a POST to a device's service
// address, bounded in time and size, never through a proxy, never following
// a redirect, plain http only. With Digest credentials libcurl answers the
// device's challenge itself; nothing else (no Basic) is ever offered.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>

namespace netsdk::onvif_client {

// The largest answer body read; a longer one fails the request.
inline constexpr std::size_t kMaxAnswerBytes = 1024 * 1024;

struct HttpAnswer {
    bool transferred = false;  // a whole HTTP answer arrived
    long status = 0;
    bool digestChallenge = false;  // a WWW-Authenticate: Digest header came with it
    std::string body;
};

struct DigestCredentials {
    std::string user;
    std::string password;
};

// A connection to one service address, kept alive between requests.
class HttpPost {
public:
    // `stop`, when given, cuts a request short as soon as it turns true.
    explicit HttpPost(std::string url, const std::atomic<bool>* stop = nullptr);
    ~HttpPost();
    HttpPost(const HttpPost&) = delete;
    HttpPost& operator=(const HttpPost&) = delete;

    // Posts `envelope` as application/soap+xml with its SOAP action and
    // waits until `deadline` at most.
    HttpAnswer Post(std::string_view envelope, std::string_view action,
                    std::chrono::steady_clock::time_point deadline, const DigestCredentials* digest);

    const std::string& url() const { return url_; }

private:
    struct Handle;
    std::string url_;
    const std::atomic<bool>* stop_;
    std::unique_ptr<Handle> handle_;
};

}  // namespace netsdk::onvif_client
