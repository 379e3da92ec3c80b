#pragma once

#include "sim/sim_board_clock.h"

#include <chrono>

// Wall-clock time from the steady clock. Short waits spin (sleeping costs far
// more than a flash word's program time); long ones sleep.
class CSimBoardSteadyClock final : public CSimBoardClock {
public:
    CSimBoardSteadyClock();
    uint64_t NowMicros() override;
    void Wait(uint64_t micros) override;

private:
    std::chrono::steady_clock::time_point start_;
};
