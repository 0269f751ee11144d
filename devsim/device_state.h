// A running device: its description plus what changes while it runs.
#pragma once

#include <optional>
#include <vector>

#include "devsim/auth_limiter.h"
#include "devsim/fleet.h"
#include "netsdk/wire/messages.h"

namespace devsim {

struct PendingModify {
    wire::Token token{};
    wire::Nonce nonce{};
    SimClock::time_point expires{};
};

// The answer to the last modify request, sent again if the request repeats.
struct CompletedModify {
    wire::Token token{};
    wire::Nonce nonce{};
    wire::Bytes reply;
};

struct DeviceState {
    explicit DeviceState(DeviceProfile s, LimiterPolicy policy = {}) : profile(std::move(s)), limiter(policy) {}

    DeviceProfile profile;
    AuthLimiter limiter;
    int loginAttempts = 0;
    bool gone = false;
    std::optional<PendingModify> pendingModify;
    std::optional<CompletedModify> completedModify;

    wire::DeviceId Id() const;
};

}  // namespace devsim
