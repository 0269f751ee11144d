// The device's HTTP Digest authentication (qop=auth, MD5 or SHA-256): the
// challenge it sends and the check of an Authorization header. Server nonces
// live for a fixed time; a nonce's count must grow, so a captured request
// cannot be replayed. The state is bounded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace devsim {

enum class DigestCheck { Absent, Ok, Refused, Stale };

// The name="value" (or name=token) pairs of a Digest header; false if it is
// not a Digest header or does not parse.
bool ParseDigestFields(std::string_view header, std::map<std::string, std::string>& fields);

// Lowercase hex of MD5 or SHA-256 ("MD5", "SHA-256"); empty for another name.
std::string DigestHex(std::string_view algorithm, std::string_view text);

class HttpDigest {
public:
    using NonceSource = std::function<std::string()>;

    static constexpr std::int64_t kNonceLifetime = 300;  // seconds
    static constexpr std::size_t kNonceLimit = 256;

    // `nonces` makes fresh server nonces; by default 16 random bytes in hex.
    explicit HttpDigest(std::string realm, NonceSource nonces = {});

    // The WWW-Authenticate values of a new challenge (SHA-256 first, then
    // MD5), issued at `now`; `stale` tells the client to retry with the
    // new nonce without asking the user again.
    std::vector<std::string> Challenge(std::int64_t now, bool stale = false);

    DigestCheck Check(std::string_view method, std::string_view uri, std::string_view authorization,
                      const std::string& user, const std::string& password, std::int64_t now);

private:
    struct Issued {
        std::int64_t at = 0;
        unsigned long lastCount = 0;
    };
    void Forget(std::int64_t now);

    std::string realm_;
    NonceSource source_;
    std::map<std::string, Issued> issued_;
};

}  // namespace devsim
