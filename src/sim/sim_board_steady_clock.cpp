#include "sim/sim_board_steady_clock.h"

#include <thread>

CSimBoardSteadyClock::CSimBoardSteadyClock() : start_(std::chrono::steady_clock::now()) {}

uint64_t CSimBoardSteadyClock::NowMicros()
{
    auto elapsed = std::chrono::steady_clock::now() - start_;
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count());
}

void CSimBoardSteadyClock::Wait(uint64_t micros)
{
    const uint64_t spinLimit = 2000;
    if (micros >= spinLimit) {
        std::this_thread::sleep_for(std::chrono::microseconds(micros));
        return;
    }
    uint64_t until = NowMicros() + micros;
    while (NowMicros() < until)
        std::this_thread::yield();
}
