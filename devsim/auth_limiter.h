// Slows down password guessing per source address: after a few failed
// authentications from one address, that address waits, longer after each
// further failure. Other addresses are not affected, so a stranger's wrong
// guesses never lock the administrator out.
//
// An exchange tests its guess when the device answers the client's share,
// but its outcome is known only later; so a source may have only a few
// exchanges open at once, and each counts as a failure unless it ends
// proven.
#pragma once

#include <chrono>
#include <cstdint>
#include <unordered_map>

namespace devsim {

using SimClock = std::chrono::steady_clock;

struct LimiterPolicy {
    int freeFailures = 5;                        // failures allowed before a source must wait
    std::chrono::milliseconds forgetAfter{60000};  // a quiet source starts afresh
    std::chrono::milliseconds firstBackoff{30000};
    std::chrono::milliseconds maxBackoff{15 * 60000};
    std::size_t maxSources = 1024;  // table bound; the stalest source goes first
    int maxOpen = 16;               // exchanges open at once per source
};

class AuthLimiter {
public:
    explicit AuthLimiter(LimiterPolicy policy = {}) : policy_(policy) {}
    // False while `source` must wait.
    bool Allowed(std::uint32_t source, SimClock::time_point now) const;
    // Opens an exchange for `source`; false while it must wait or has too
    // many open. Every true is matched by one End.
    bool Begin(std::uint32_t source, SimClock::time_point now);
    // A proven exchange forgives its source; any other counts as a failure.
    void End(std::uint32_t source, SimClock::time_point now, bool proven);

    void RecordFailure(std::uint32_t source, SimClock::time_point now);
    void RecordSuccess(std::uint32_t source) { sources_.erase(source); }

private:
    struct Source {
        int failures = 0;
        SimClock::time_point lastFailure{};
        SimClock::time_point waitUntil{};
    };

    void MakeRoom(SimClock::time_point now);

    LimiterPolicy policy_;
    std::unordered_map<std::uint32_t, Source> sources_;
    std::unordered_map<std::uint32_t, int> open_;  // bounded by the open exchanges
};

}  // namespace devsim
