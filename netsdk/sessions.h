// Login sessions: one TCP connection per handle, each used by one request
// at a time, any number of handles in use at once.
#pragma once

#include <cstdint>

#include "netsdk/settings.h"

namespace netsdk {

// Returns a new handle, or -1. `deviceInfo`, when not null, receives 80
// bytes: the device's serial number (48) and model text (32).
std::int32_t Login(const Settings& settings, const char* address, std::uint32_t port,
                   const char* user, const char* password, void* deviceInfo);
bool GetConfig(const Settings& settings, std::int32_t handle, std::uint32_t command,
               std::int32_t channel, void* buffer, std::uint32_t bufferSize,
               std::uint32_t* bytesReturned);
bool Logout(std::int32_t handle);
// Handles currently open.
int OpenSessionCount();

}  // namespace netsdk
