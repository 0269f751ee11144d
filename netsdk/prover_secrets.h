// The client's w0 and w1 per account and device parameters, derived once
// and kept for later logins and modifies: the key derivation is made slow
// on purpose, and a run may log in to hundreds of devices.
#pragma once

#include <string_view>

#include "netsdk/wire/spake2plus.h"

namespace netsdk {

// False when the parameters are out of bounds or the derivation fails.
bool ProverSecretFor(std::string_view user, std::string_view password, const wire::spake2::PbkdfParams& params,
                     wire::spake2::ProverSecret& out);
// Wipes every kept secret (at Cleanup).
void ForgetProverSecrets();
// Derivations done since start, for tests and benchmarks.
long ProverSecretDerivations();

}  // namespace netsdk
