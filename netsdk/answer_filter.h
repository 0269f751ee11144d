// Decides whether a datagram received during a discovery run is an answer
// to that run: well-formed, of the answer type, carrying the run's token
// and a serial number.
#pragma once

#include <span>

#include "netsdk/wire/messages.h"

namespace netsdk {

bool ParseRunAnswer(std::span<const std::uint8_t> datagram, const wire::Token& token, DeviceRecord& record);

}  // namespace netsdk
