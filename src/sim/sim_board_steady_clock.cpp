#include "sim/sim_board_steady_clock.h"

#include <thread>

uint64_t CSimBoardSteadyClock::NowMicros()
{
    return CSystemClock::Instance().NowMicros();
}

void CSimBoardSteadyClock::Wait(uint64_t micros)
{
    const uint64_t spinLimit = 2000;
    if (micros >= spinLimit) {
        CSystemClock::Instance().Wait(micros);
        return;
    }
    const uint64_t until = NowMicros() + micros;
    while (NowMicros() < until)
        std::this_thread::yield();
}
