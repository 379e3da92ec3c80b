#include "sim/sim_board_steady_clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

// Programming a flash word waits a few microseconds. Those waits move the
// board's time on exactly and are paid by one sleep per 2 ms owed, never by a
// trip through the scheduler per word: on a busy machine each such trip costs
// a time slice and stretches a megabyte's programming past the host's timeout.
TEST(SimBoardSteadyClock, ShortWaitsAddUpExactlyAndArePaidInFewSleeps)
{
    int sleeps = 0;
    CSimBoardSteadyClock clock([&](uint64_t micros) {
        ++sleeps;
        std::this_thread::sleep_for(std::chrono::microseconds(micros));
    });
    const auto wallStart = std::chrono::steady_clock::now();
    const uint64_t boardStart = clock.NowMicros();
    const int words = 20000;
    const uint64_t perWord = 10;
    for (int i = 0; i < words; ++i)
        clock.Wait(perWord);
    const uint64_t wall = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - wallStart).count());

    EXPECT_GE(clock.NowMicros() - boardStart, words * perWord);
    EXPECT_LE(sleeps, static_cast<int>(words * perWord / CSimBoardSteadyClock::kSleepAheadMicros) + 1);
    EXPECT_GT(sleeps, 0);
    // The board never runs more than one sleep's worth ahead of the wall clock.
    EXPECT_GE(wall + CSimBoardSteadyClock::kSleepAheadMicros, words * perWord);
}

TEST(SimBoardSteadyClock, TheBoardsTimeNeverRunsBehindTheWallClock)
{
    int sleeps = 0;
    CSimBoardSteadyClock clock([&](uint64_t) { ++sleeps; });
    clock.Wait(500);
    const uint64_t ahead = clock.NowMicros();
    EXPECT_GE(ahead, 500u);
    EXPECT_EQ(sleeps, 0);
    const auto wallStart = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - wallStart < std::chrono::milliseconds(3)) {
    }
    EXPECT_GE(clock.NowMicros(), ahead + 2000);
}
