#include "sim/sim_board_steady_clock.h"

#include <algorithm>

CSimBoardSteadyClock::CSimBoardSteadyClock(Sleep sleep) : sleep_(std::move(sleep))
{
    if (!sleep_)
        sleep_ = [](uint64_t micros) { CSystemClock::Instance().Wait(micros); };
}

uint64_t CSimBoardSteadyClock::WallMicros()
{
    return CSystemClock::Instance().NowMicros();
}

uint64_t CSimBoardSteadyClock::NowMicros()
{
    return std::max(WallMicros(), board_.load());
}

void CSimBoardSteadyClock::Wait(uint64_t micros)
{
    if (micros == 0)
        return; // no time passes: the clock is not read
    const uint64_t wall = WallMicros();
    const uint64_t until = std::max(wall, board_.load()) + micros;
    board_ = until;
    if (until - wall >= kSleepAheadMicros)
        sleep_(until - wall);
}
