// Reading the SDK's settings file with limits: only a regular file, at most
// kMaxSettingsFileBytes, never more read than that (plus one byte to notice
// a file that grew), and never a wait on a FIFO or a device.
#pragma once

#include <cstddef>
#include <string>

namespace netsdk {

inline constexpr std::size_t kMaxSettingsFileBytes = 64 * 1024;

// The file's bytes; false with `error` saying why (without its content).
bool ReadSettingsFile(const char* path, std::string& text, std::string& error);

}  // namespace netsdk
