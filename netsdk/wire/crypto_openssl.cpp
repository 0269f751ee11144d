// libcrypto backend of the crypto interface.
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <climits>

#include "netsdk/wire/crypto.h"

namespace wire::crypto {

bool RandomBytes(std::span<std::uint8_t> out) {
    if (out.size() > static_cast<std::size_t>(INT_MAX)) return false;
    return RAND_bytes(out.data(), static_cast<int>(out.size())) == 1;
}

MacBytes HmacSha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data) {
    MacBytes mac{};
    unsigned int length = 0;
    static const std::uint8_t kEmpty = 0;
    const std::uint8_t* keyData = key.empty() ? &kEmpty : key.data();
    const std::uint8_t* msgData = data.empty() ? &kEmpty : data.data();
    if (key.size() > static_cast<std::size_t>(INT_MAX) ||
        HMAC(EVP_sha256(), keyData, static_cast<int>(key.size()), msgData, data.size(), mac.data(),
             &length) == nullptr ||
        length != mac.size()) {
        // A failed computation must never match a real proof: fill with a
        // fresh random value instead of a predictable one.
        RandomBytes(mac);
    }
    return mac;
}

void CleanseBytes(void* data, std::size_t size) { OPENSSL_cleanse(data, size); }

bool EqualConstantTime(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    if (a.size() != b.size()) return false;
    if (a.empty()) return true;
    return CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace wire::crypto
