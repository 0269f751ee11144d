// WS-Security UsernameToken with a password digest:
// Base64(SHA-1(nonce + created + password)), nonce sent in Base64.
#pragma once

#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace onvif {

struct UsernameToken {
    std::string user;
    std::string password;
    std::vector<std::uint8_t> nonce;  // raw bytes, 16 from FreshNonce()
    std::string created;              // UTC, "YYYY-MM-DDThh:mm:ssZ"
};

// Base64 of raw bytes, no line breaks.
std::string Base64(std::span<const std::uint8_t> bytes);

// Base64(SHA-1(nonce + created + password)); empty if hashing fails.
std::string PasswordDigest(std::span<const std::uint8_t> nonce, std::string_view created,
                           std::string_view password);

// Sixteen random bytes; false if the random source fails.
bool FreshNonce(std::vector<std::uint8_t>& nonce);

// The creation time as the device's clock reads it: our UTC time plus the
// offset measured with GetSystemDateAndTime (device minus local, seconds).
std::string CreatedTime(std::time_t localUtc, std::int64_t deviceOffset);

// The <wsse:Security> header element for one token; empty if hashing fails.
std::string SecurityHeader(const UsernameToken& token);

}  // namespace onvif
