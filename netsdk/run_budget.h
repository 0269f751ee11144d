// What one discovery run admits, whatever arrives: at most
// kMaxDevicesPerRun devices in all, and from any one source address a burst
// of new devices followed by a steady rate (a token bucket per address).
// The table of addresses grows only when a device is admitted (a fresh
// bucket always holds a token), so it is bounded by the same cap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "netsdk/net/socket_io.h"

namespace netsdk {

inline constexpr std::size_t kMaxDevicesPerRun = 4096;

enum class Admission { kAdmitted, kOverCap, kRateLimited };

class RunBudget {
public:
    // `burst` at least 1; `ratePerSecond` 0 means the burst is all.
    RunBudget(int burst, int ratePerSecond) : burst_(burst), rate_(ratePerSecond) {}

    // Decides on a device not seen before in this run, answering from `source`.
    Admission Admit(std::uint32_t source, net::Clock::time_point now);

    std::size_t admitted() const { return admitted_; }
    int overCap() const { return overCap_; }
    int rateLimited() const { return rateLimited_; }

private:
    struct Bucket {
        double tokens = 0;
        net::Clock::time_point refilled;
    };
    void Refill(Bucket& bucket, net::Clock::time_point now) const;

    double burst_;
    double rate_;
    std::unordered_map<std::uint32_t, Bucket> buckets_;
    std::size_t admitted_ = 0;
    int overCap_ = 0;
    int rateLimited_ = 0;
};

}  // namespace netsdk
