// What both ends of a key exchange agree on besides SPAKE2+ itself: the
// context each exchange is bound to, and the MACs made with its keys.
#pragma once

#include <string_view>

#include "netsdk/wire/messages.h"
#include "sdk/field_text.h"

namespace wire {

// The transcript's context: the purpose, then the device's key-derivation
// parameters and, for modify, the exchange's token and the device's id, so
// that an exchange cannot be moved to another purpose, device or run, and a
// tampered parameter makes the confirmations fail.
Bytes LoginContext(const spake2::PbkdfParams& params);
Bytes ModifyContext(const spake2::PbkdfParams& params, const Token& token, const DeviceId& id);

// HMAC-SHA-256 under a key of the exchange.
Proof MacOf(const spake2::Key& key, const Bytes& bytes);
bool ProofMatches(const Proof& expected, const Proof& received);

}  // namespace wire
