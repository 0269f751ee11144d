// Slows down password guessing: after too many failed authentications in
// a short time, a device refuses every attempt for a while.
#pragma once

#include <chrono>
#include <deque>

namespace devsim {

using SimClock = std::chrono::steady_clock;

struct LimiterPolicy {
    int maxFailures = 5;
    std::chrono::milliseconds window{60000};
    std::chrono::milliseconds lockout{30000};
};

class AuthLimiter {
public:
    explicit AuthLimiter(LimiterPolicy policy = {}) : policy_(policy) {}
    // False while locked out.
    bool Allowed(SimClock::time_point now);
    void RecordFailure(SimClock::time_point now);
    void RecordSuccess() { failures_.clear(); }

private:
    LimiterPolicy policy_;
    std::deque<SimClock::time_point> failures_;
    SimClock::time_point lockedUntil_{};
};

}  // namespace devsim
