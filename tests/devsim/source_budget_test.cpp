// The answer budget per source address: burst, refill, independence of
// addresses and the bound on the table, on a clock the test moves.
#include <gtest/gtest.h>

#include "devsim/source_budget.h"

namespace {

using namespace std::chrono_literals;
using devsim::SimClock;

constexpr std::uint32_t kA = 0x7F000001u, kB = 0x7F000002u;

// How many of `count` datagrams to `address` the budget lets through at `now`.
int Taken(devsim::SourceBudget& budget, std::uint32_t address, int count, SimClock::time_point now) {
    int taken = 0;
    for (int i = 0; i < count; ++i) taken += budget.Take(address, now) ? 1 : 0;
    return taken;
}

TEST(SourceBudget, ABurstThenTheRefillRatePerAddress) {
    devsim::SourceBudget budget({10, 5, 8});
    const auto start = SimClock::now();
    EXPECT_EQ(Taken(budget, kA, 15, start), 10);
    EXPECT_FALSE(budget.Available(kA, start));
    EXPECT_EQ(Taken(budget, kB, 15, start), 10);  // another address has its own budget
    EXPECT_EQ(Taken(budget, kA, 15, start + 1s), 5);
    EXPECT_EQ(Taken(budget, kA, 15, start + 1h), 10);  // never more than the burst
}

TEST(SourceBudget, AFullTableRefusesNewAddressesUntilOldOnesAreQuiet) {
    devsim::SourceBudget budget({10, 5, 4});
    const auto start = SimClock::now();
    for (std::uint32_t i = 0; i < 4; ++i) ASSERT_TRUE(budget.Take(kA + i, start));
    EXPECT_FALSE(budget.Take(kA + 4, start));
    EXPECT_TRUE(budget.Take(kA + 3, start));  // addresses in the table go on
    // Once an address has refilled completely its entry can go.
    EXPECT_TRUE(budget.Take(kA + 4, start + 2s));
}

TEST(SourceBudget, TheDefaultLetsFourThousandDevicesAnswerThreeProbesInAWindow) {
    devsim::SourceBudget budget{devsim::AnswerBudget{}};
    const auto start = SimClock::now();
    int taken = 0;
    for (int probe = 0; probe < 3; ++probe) taken += Taken(budget, kA, 4096, start + probe * 750ms);
    EXPECT_EQ(taken, 3 * 4096);
}

}  // namespace
