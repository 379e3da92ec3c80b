#pragma once

#include "sim/sim_board_clock.h"

#include <atomic>

// A clock that only moves when told to: by Advance() from a test, or by the
// waits of the firmware's algorithms, which then take no real time.
class CSimBoardManualClock final : public CSimBoardClock {
public:
    uint64_t NowMicros() override { return now_.load(); }
    void Wait(uint64_t micros) override { now_ += micros; }
    void Advance(uint64_t micros) { now_ += micros; }

private:
    std::atomic<uint64_t> now_{0};
};
