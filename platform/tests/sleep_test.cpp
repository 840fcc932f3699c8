#include "platform/sleep.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

TEST(Sleep, ObserverSeesPausesWithoutWaitingThenRealSleepReturns) {
    std::vector<int> seen;
    platform::set_sleep_observer([&](int ms) { seen.push_back(ms); });
    const auto start = std::chrono::steady_clock::now();
    platform::sleep_ms(5000);
    platform::sleep_ms(50);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    platform::set_sleep_observer({});
    EXPECT_EQ(seen, (std::vector<int>{5000, 50}));
    EXPECT_LT(elapsed, std::chrono::seconds(2));

    // With the observer removed the pause is real (loosely checked).
    const auto before = std::chrono::steady_clock::now();
    platform::sleep_ms(20);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(15));
    platform::sleep_ms(0);
    platform::sleep_ms(-3);
    EXPECT_EQ(seen.size(), 2u);
}

}  // namespace
