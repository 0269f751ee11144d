// How many datagrams the discovery port may still send to a source address:
// a token bucket per address, in a table of bounded size. Anyone can put
// any source address on a probe, so this is what bounds the traffic one
// forged address draws from the fleet.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "devsim/auth_limiter.h"
#include "devsim/server_limits.h"

namespace devsim {

class SourceBudget {
public:
    explicit SourceBudget(AnswerBudget policy) : policy_(policy) {}

    // True if `address` may be sent one more datagram now.
    bool Available(std::uint32_t address, SimClock::time_point now);
    // Spends one datagram of `address`'s budget; false if none is left, or
    // if the table is full of addresses that are still spending.
    bool Take(std::uint32_t address, SimClock::time_point now);

private:
    struct Bucket {
        double tokens = 0;
        SimClock::time_point updated{};
    };

    Bucket* Find(std::uint32_t address, SimClock::time_point now);
    void Refill(Bucket& bucket, SimClock::time_point now) const;
    void ForgetFullBuckets(SimClock::time_point now);

    AnswerBudget policy_;
    std::unordered_map<std::uint32_t, Bucket> buckets_;
    SimClock::time_point nextSweep_{};
};

}  // namespace devsim
