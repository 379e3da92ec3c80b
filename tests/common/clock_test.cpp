// The system clock's wait for something outside the program: bounded by the
// time left, ended by the deadline.

#include "common/clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

TEST(SystemClock, AWaitPollsForTheTimeLeftAndEndsAtTheDeadline)
{
    CSystemClock& clock = CSystemClock::Instance();
    const uint64_t deadline = clock.NowMicros() + 3000;
    std::vector<uint64_t> asked;
    // Each poll gives up early, as a signal would make it.
    const bool came = clock.WaitUntil(deadline, [&](uint64_t micros) {
        asked.push_back(micros);
        clock.Wait(std::min<uint64_t>(micros, 700));
        return false;
    });
    EXPECT_FALSE(came);
    EXPECT_GE(clock.NowMicros(), deadline);
    ASSERT_GE(asked.size(), 2u);
    EXPECT_LE(asked.front(), 3000u);
    EXPECT_TRUE(std::is_sorted(asked.rbegin(), asked.rend())) << "never more than the time left";
    EXPECT_EQ(asked.back(), 0u) << "one last look without blocking";
}

TEST(SystemClock, AWaitEndsWhenThePollSaysSo)
{
    CSystemClock& clock = CSystemClock::Instance();
    int polls = 0;
    EXPECT_TRUE(clock.WaitUntil(clock.NowMicros() + 60000000, [&](uint64_t) { return ++polls == 2; }));
    EXPECT_EQ(polls, 2);

    // A deadline already past still looks once.
    std::vector<uint64_t> asked;
    EXPECT_FALSE(clock.WaitUntil(0, [&](uint64_t micros) {
        asked.push_back(micros);
        return false;
    }));
    EXPECT_EQ(asked, std::vector<uint64_t>{0});
}

} // namespace
