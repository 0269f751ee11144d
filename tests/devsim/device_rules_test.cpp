// What a device accepts as new settings, and how it slows down guessing.
#include <gtest/gtest.h>

#include "devsim/address_rules.h"
#include "devsim/auth_limiter.h"

namespace {

TEST(AddressRules, AcceptsRealUnicastSettings) {
    EXPECT_TRUE(devsim::ValidNetworkSettings("192.168.1.10", "255.255.255.0", "192.168.1.1", false));
    EXPECT_TRUE(devsim::ValidNetworkSettings("10.1.2.3", "255.0.0.0", "0.0.0.0", false));
    EXPECT_TRUE(devsim::ValidNetworkSettings("172.16.0.2", "255.255.255.252", "172.16.0.1", false));
    EXPECT_TRUE(devsim::ValidNetworkSettings("127.0.1.5", "255.0.0.0", "127.0.0.1", true));
}

TEST(AddressRules, RefusesWhatIsNoUsableAddress) {
    struct Case {
        const char* ip;
        const char* mask;
        const char* gw;
    };
    const Case cases[] = {
        {"192.168.1.256", "255.255.255.0", "192.168.1.1"},
        {"001.002.003.004", "255.0.0.0", "0.0.0.0"},  // leading zeros are ambiguous
        {".1.2.3", "255.0.0.0", "0.0.0.0"},
        {"192.168.1.0", "255.255.255.0", "192.168.1.1"},    // network address
        {"192.168.1.255", "255.255.255.0", "192.168.1.1"},  // broadcast address
        {"0.1.2.3", "255.0.0.0", "0.0.0.0"},
        {"224.0.0.5", "255.0.0.0", "0.0.0.0"},
        {"240.0.0.5", "255.0.0.0", "0.0.0.0"},
        {"255.255.255.255", "255.0.0.0", "0.0.0.0"},
        {"192.168.1.10", "255.255.0.255", "192.168.1.1"},   // not contiguous
        {"192.168.1.10", "0.0.0.0", "0.0.0.0"},
        {"192.168.1.10", "255.255.255.255", "0.0.0.0"},
        {"192.168.1.10", "255.255.255.254", "0.0.0.0"},
        {"192.168.1.10", "255.255.255.0", "192.168.2.1"},   // gateway elsewhere
        {"192.168.1.10", "255.255.255.0", "192.168.1.10"},  // gateway is itself
        {"192.168.1.10", "255.255.255.0", "192.168.1.255"},
        {"127.0.1.5", "255.0.0.0", "127.0.0.1"},            // loopback on a real network
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(devsim::ValidNetworkSettings(c.ip, c.mask, c.gw, false)) << c.ip << " " << c.mask << " " << c.gw;
    }
}

TEST(AuthLimiter, EachSourceWaitsAloneAndIsForgivenByQuietOrSuccess) {
    using namespace std::chrono_literals;
    devsim::AuthLimiter limiter;
    const auto t0 = devsim::SimClock::time_point{} + 1h;
    constexpr std::uint32_t a = 1, b = 2;
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(limiter.Allowed(a, t0 + i * 1s));
        limiter.RecordFailure(a, t0 + i * 1s);
    }
    EXPECT_FALSE(limiter.Allowed(a, t0 + 5s));
    EXPECT_TRUE(limiter.Allowed(b, t0 + 5s));
    EXPECT_TRUE(limiter.Allowed(a, t0 + 35s));

    // Four failures, then quiet for longer than the window: a fresh start.
    for (int i = 0; i < 4; ++i) limiter.RecordFailure(b, t0);
    limiter.RecordFailure(b, t0 + 61s);
    EXPECT_TRUE(limiter.Allowed(b, t0 + 62s));
    // Four more and a success: forgiven.
    for (int i = 0; i < 3; ++i) limiter.RecordFailure(b, t0 + 62s);
    limiter.RecordSuccess(b);
    limiter.RecordFailure(b, t0 + 63s);
    EXPECT_TRUE(limiter.Allowed(b, t0 + 63s));
}

}  // namespace
