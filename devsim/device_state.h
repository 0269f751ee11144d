// A running device: its description plus what changes while it runs.
#pragma once

#include <deque>
#include <optional>
#include <vector>

#include "devsim/auth_limiter.h"
#include "devsim/fleet.h"
#include "netsdk/wire/messages.h"

namespace devsim {

// One modify key exchange in progress, named by the client's token.
struct PendingModify {
    wire::Token token{};
    std::uint32_t source = 0;
    bool knownUser = false;
    wire::spake2::PbkdfParams params;
    bool shared = false;  // the client's share arrived and was answered
    wire::spake2::Share shareP{};
    wire::spake2::Share shareV{};
    wire::spake2::Keys keys;
    wire::Bytes confirmReply;
    SimClock::time_point expires{};
};

// The answer to the last modify request, sent again if the request repeats.
struct CompletedModify {
    wire::Token token{};
    wire::Proof requestMac{};
    wire::Bytes reply;
};

// Exchanges that a device keeps at once; a new one pushes out the oldest.
inline constexpr std::size_t kMaxPendingModifies = 4;

struct DeviceState {
    // Turns the profile's password into a verifier and forgets the password.
    explicit DeviceState(DeviceProfile s, LimiterPolicy policy = {});
    ~DeviceState();
    DeviceState(DeviceState&&) = default;
    DeviceState& operator=(DeviceState&&) = default;

    DeviceProfile profile;
    AuthLimiter limiter;
    int loginAttempts = 0;
    bool gone = false;
    bool usable = false;  // false if the verifier could not be made
    std::deque<PendingModify> pendingModifies;
    std::optional<CompletedModify> completedModify;

    wire::DeviceId Id() const;
    // The parameters the device gives for `user`. An unknown user gets
    // parameters derived from it under a key of the device's own, the same
    // at every ask, so that they do not tell which users exist.
    wire::spake2::PbkdfParams ParamsFor(std::string_view user, bool& known) const;
    PendingModify* FindModify(const wire::Token& token);

private:
    wire::spake2::Key decoyKey_{};
};

}  // namespace devsim
