#include "devsim/auth_limiter.h"

#include <algorithm>

namespace devsim {

bool AuthLimiter::Allowed(std::uint32_t source, SimClock::time_point now) const {
    const auto it = sources_.find(source);
    return it == sources_.end() || now >= it->second.waitUntil;
}

bool AuthLimiter::Begin(std::uint32_t source, SimClock::time_point now) {
    if (!Allowed(source, now)) return false;
    int& open = open_[source];
    if (open >= policy_.maxOpen) return false;
    ++open;
    return true;
}

void AuthLimiter::End(std::uint32_t source, SimClock::time_point now, bool proven) {
    const auto it = open_.find(source);
    if (it != open_.end() && --it->second <= 0) open_.erase(it);
    if (proven) {
        RecordSuccess(source);
    } else {
        RecordFailure(source, now);
    }
}

void AuthLimiter::RecordFailure(std::uint32_t source, SimClock::time_point now) {
    auto it = sources_.find(source);
    if (it == sources_.end()) {
        MakeRoom(now);
        it = sources_.emplace(source, Source{}).first;
    }
    Source& s = it->second;
    if (s.failures > 0 && now - s.lastFailure > policy_.forgetAfter && now >= s.waitUntil) s.failures = 0;
    ++s.failures;
    s.lastFailure = now;
    const int excess = s.failures - policy_.freeFailures;
    if (excess < 0) return;
    // Doubles with each failure past the free ones, up to the cap.
    auto backoff = policy_.firstBackoff;
    for (int i = 0; i < excess && backoff < policy_.maxBackoff; ++i) backoff *= 2;
    s.waitUntil = now + std::min(backoff, policy_.maxBackoff);
}

void AuthLimiter::MakeRoom(SimClock::time_point now) {
    // Sources that are quiet and not waiting carry nothing worth keeping.
    std::erase_if(sources_, [&](const auto& entry) {
        return now - entry.second.lastFailure > policy_.forgetAfter && now >= entry.second.waitUntil;
    });
    if (sources_.size() < policy_.maxSources) return;
    const auto stalest = std::min_element(sources_.begin(), sources_.end(), [](const auto& a, const auto& b) {
        return a.second.lastFailure < b.second.lastFailure;
    });
    sources_.erase(stalest);
}

}  // namespace devsim
