#include "netsdk/run_budget.h"

#include <algorithm>
#include <chrono>

namespace netsdk {

void RunBudget::Refill(Bucket& bucket, net::Clock::time_point now) const {
    if (now <= bucket.refilled) return;
    const double seconds = std::chrono::duration<double>(now - bucket.refilled).count();
    bucket.tokens = std::min(burst_, bucket.tokens + seconds * rate_);
    bucket.refilled = now;
}

Admission RunBudget::Admit(std::uint32_t source, net::Clock::time_point now) {
    if (admitted_ >= kMaxDevicesPerRun) {
        ++overCap_;
        return Admission::kOverCap;
    }
    auto found = buckets_.find(source);
    if (found == buckets_.end()) found = buckets_.emplace(source, Bucket{burst_, now}).first;
    Bucket& bucket = found->second;
    Refill(bucket, now);
    if (bucket.tokens < 1) {
        ++rateLimited_;
        return Admission::kRateLimited;
    }
    bucket.tokens -= 1;
    ++admitted_;
    return Admission::kAdmitted;
}

}  // namespace netsdk
