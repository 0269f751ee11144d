// What a device accepts as new wired settings.
#pragma once

#include <cstdint>

namespace devsim {

// Accepts a strict dotted-quad unicast address with a contiguous netmask of
// /1 to /30 and a gateway inside the same subnet (or 0.0.0.0 for none).
// Refused: 0.0.0.0/8, multicast and reserved space, the subnet's network and
// broadcast addresses, a gateway equal to the address. Loopback addresses
// are accepted only when `allowLoopback` is set (a fleet living on loopback).
bool ValidNetworkSettings(const char* ip, const char* mask, const char* gw, bool allowLoopback);

bool IsLoopback(std::uint32_t address);

}  // namespace devsim
