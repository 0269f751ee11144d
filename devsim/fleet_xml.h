// The fleet file: XML read and written through TinyXML. The layout is
// described in netsdk/PROTOCOL.md under "Fleet files".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "devsim/fleet.h"

namespace devsim {

// Largest fleet file read: 4096 devices of 2 KiB each. A generated device
// takes about 310 bytes, one with ten configuration entries about 1 KiB.
inline constexpr std::size_t kMaxFleetFileBytes = 8u << 20;

bool ParseFleetXml(std::string_view text, Fleet& fleet, std::string& error);
bool LoadFleetFile(const std::string& path, Fleet& fleet, std::string& error);
std::string FleetToXml(const Fleet& fleet);
// Replaces `path` whole through a synced temporary file beside it, so a
// reader sees the old file or the new one, never a part. Fleet files hold
// passwords: the file and its temporary are 0600 whatever the umask
// (record/atomic_file.h).
bool SaveFleetFile(const std::string& path, const Fleet& fleet, std::string& error);

}  // namespace devsim
