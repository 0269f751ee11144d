#include "devsim/address_rules.h"

#include <arpa/inet.h>

#include <cstring>

namespace devsim {
namespace {

bool Parse(const char* text, std::uint32_t& out) {
    in_addr parsed{};
    if (text == nullptr || strnlen(text, 16) > 15 || inet_pton(AF_INET, text, &parsed) != 1) return false;
    out = ntohl(parsed.s_addr);
    return true;
}

bool ContiguousPrefix(std::uint32_t mask, int& prefix) {
    const std::uint32_t inverted = ~mask;
    if ((inverted & (inverted + 1)) != 0) return false;  // ones must lead, zeros trail
    prefix = 0;
    for (std::uint32_t bit = 0x80000000u; bit != 0 && (mask & bit) != 0; bit >>= 1) ++prefix;
    return true;
}

bool UsableHost(std::uint32_t address, std::uint32_t mask, bool allowLoopback) {
    const std::uint8_t first = static_cast<std::uint8_t>(address >> 24);
    if (first == 0 || first >= 224) return false;
    if (IsLoopback(address) && !allowLoopback) return false;
    const std::uint32_t host = address & ~mask;
    return host != 0 && host != ~mask;
}

}  // namespace

bool IsLoopback(std::uint32_t address) { return (address >> 24) == 127; }

bool ValidNetworkSettings(const char* ip, const char* mask, const char* gw, bool allowLoopback) {
    std::uint32_t address = 0, netmask = 0, gateway = 0;
    int prefix = 0;
    if (!Parse(ip, address) || !Parse(mask, netmask) || !Parse(gw, gateway)) return false;
    if (!ContiguousPrefix(netmask, prefix) || prefix < 1 || prefix > 30) return false;
    if (!UsableHost(address, netmask, allowLoopback)) return false;
    if (gateway == 0) return true;
    return gateway != address && (gateway & netmask) == (address & netmask) &&
           UsableHost(gateway, netmask, allowLoopback);
}

}  // namespace devsim
