#include "devsim/auth_limiter.h"

namespace devsim {

bool AuthLimiter::Allowed(SimClock::time_point now) { return now >= lockedUntil_; }

void AuthLimiter::RecordFailure(SimClock::time_point now) {
    while (!failures_.empty() && now - failures_.front() > policy_.window) failures_.pop_front();
    failures_.push_back(now);
    if (static_cast<int>(failures_.size()) >= policy_.maxFailures) {
        lockedUntil_ = now + policy_.lockout;
        failures_.clear();
    }
}

}  // namespace devsim
