#include "devsim/source_budget.h"

#include <algorithm>
#include <iterator>

namespace devsim {
namespace {

// A full table is swept at most this often, so a flood from ever new
// addresses costs one pass over the table per interval, not per datagram.
constexpr std::chrono::milliseconds kSweepInterval{250};

}  // namespace

void SourceBudget::Refill(Bucket& bucket, SimClock::time_point now) const {
    const std::chrono::duration<double> elapsed = now - bucket.updated;
    bucket.tokens = std::min(policy_.burst, bucket.tokens + std::max(0.0, elapsed.count()) * policy_.perSecond);
    bucket.updated = now;
}

// A bucket that has refilled completely says nothing a missing one does not.
void SourceBudget::ForgetFullBuckets(SimClock::time_point now) {
    if (now < nextSweep_) return;
    nextSweep_ = now + kSweepInterval;
    for (auto it = buckets_.begin(); it != buckets_.end();) {
        Refill(it->second, now);
        it = it->second.tokens >= policy_.burst ? buckets_.erase(it) : std::next(it);
    }
}

SourceBudget::Bucket* SourceBudget::Find(std::uint32_t address, SimClock::time_point now) {
    auto it = buckets_.find(address);
    if (it == buckets_.end()) {
        if (buckets_.size() >= policy_.sources) ForgetFullBuckets(now);
        if (buckets_.size() >= policy_.sources) return nullptr;
        it = buckets_.emplace(address, Bucket{policy_.burst, now}).first;
    }
    Refill(it->second, now);
    return &it->second;
}

bool SourceBudget::Available(std::uint32_t address, SimClock::time_point now) {
    const Bucket* bucket = Find(address, now);
    return bucket != nullptr && bucket->tokens >= 1;
}

bool SourceBudget::Take(std::uint32_t address, SimClock::time_point now) {
    Bucket* bucket = Find(address, now);
    if (bucket == nullptr || bucket->tokens < 1) return false;
    bucket->tokens -= 1;
    return true;
}

}  // namespace devsim
