// The cryptography the protocol needs, behind one small interface so that
// the library behind it can change per platform.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace wire::crypto {

inline constexpr std::size_t kMacSize = 32;
using MacBytes = std::array<std::uint8_t, kMacSize>;

// Fills `out` from the system's cryptographic random source.
bool RandomBytes(std::span<std::uint8_t> out);
// HMAC-SHA-256 of `data` under `key`.
MacBytes HmacSha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data);
// Overwrites secret bytes in a way the compiler may not optimise out.
void CleanseBytes(void* data, std::size_t size);
template <typename T>
void Cleanse(T& secret) {
    CleanseBytes(&secret, sizeof secret);
}

// Comparison whose time does not depend on where the inputs differ.
bool EqualConstantTime(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b);

}  // namespace wire::crypto
