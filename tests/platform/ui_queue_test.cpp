// The queue from background threads to the UI thread: order across drains
// that stop on their time budget, and one wake per batch.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/ui_queue.h"

namespace {

using namespace std::chrono_literals;

TEST(UiQueue, ABudgetedDrainLeavesTheRestInOrderAndWakesAgain) {
    platform::UiQueue queue;
    int wakes = 0;
    queue.SetWake([&] { ++wakes; });
    std::vector<int> ran;
    for (int i = 1; i <= 5; ++i) {
        queue.Post([&, i] {
            ran.push_back(i);
            std::this_thread::sleep_for(2ms);
        });
    }
    EXPECT_EQ(wakes, 1);  // one drain for the whole batch

    EXPECT_EQ(queue.Drain(1ms), 1u);  // stops after the first operation
    EXPECT_EQ(wakes, 2);              // and asks for the next drain itself
    queue.Post([&] { ran.push_back(6); });
    EXPECT_EQ(wakes, 2);  // already scheduled
    EXPECT_EQ(queue.Drain(), 5u);
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3, 4, 5, 6}));

    // Detached: what is posted is dropped.
    queue.SetWake({});
    queue.Post([&] { ran.push_back(7); });
    EXPECT_EQ(queue.Drain(), 0u);
}

}  // namespace
