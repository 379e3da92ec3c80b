#include "sim/sim_board_steady_clock.h"

#include <algorithm>
#include <thread>

CSimBoardSteadyClock::CSimBoardSteadyClock(Sleep sleep)
    : start_(std::chrono::steady_clock::now()), sleep_(std::move(sleep))
{
    if (!sleep_)
        sleep_ = [](uint64_t micros) { std::this_thread::sleep_for(std::chrono::microseconds(micros)); };
}

uint64_t CSimBoardSteadyClock::WallMicros() const
{
    auto elapsed = std::chrono::steady_clock::now() - start_;
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count());
}

uint64_t CSimBoardSteadyClock::NowMicros()
{
    return std::max(WallMicros(), board_.load());
}

void CSimBoardSteadyClock::Wait(uint64_t micros)
{
    const uint64_t wall = WallMicros();
    const uint64_t until = std::max(wall, board_.load()) + micros;
    board_ = until;
    if (until - wall >= kSleepAheadMicros)
        sleep_(until - wall);
}
