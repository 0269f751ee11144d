// Challenge-response proofs. The key is the account's password; the device
// supplies a fresh nonce per attempt, so a proof is useless for any other
// attempt and the password itself never travels.
#pragma once

#include <string_view>

#include "netsdk/wire/messages.h"

namespace wire {

// Client's login proof: HMAC(password, "login" | device nonce | client nonce | user).
Proof MakeLoginProof(std::string_view password, const Nonce& deviceNonce, const Token& clientNonce,
                     std::string_view user);
// Device's answer that it knows the password too:
// HMAC(password, "login-ok" | device nonce | client nonce).
Proof MakeLoginAcceptProof(std::string_view password, const Nonce& deviceNonce,
                           const Token& clientNonce);
// Covers every field of the request but the proof itself.
Proof MakeModifyRequestProof(std::string_view password, const ModifyRequest& request);
// Covers the result's token, device and status, bound to the challenge nonce.
Proof MakeModifyResultProof(std::string_view password, const ModifyResult& result,
                            const Nonce& nonce);

bool ProofMatches(const Proof& expected, const Proof& received);

// The text held in a fixed array, up to its first NUL or its end.
template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
    std::size_t length = 0;
    while (length < N && field[length] != '\0') ++length;
    return std::string_view(field, length);
}

}  // namespace wire
