#pragma once

#include "common/clock.h"

#include <atomic>
#include <cstdint>
#include <functional>

// The host's steady clock (the same time as CSystemClock), with waits kept on
// account. A flash word programs in microseconds, far below what a thread can
// sleep or a busy machine's scheduler can grant, so a short wait moves the
// board's time on at once and the thread sleeps only when the board has run
// 2 ms or more ahead of the wall clock; a late wake-up is then credited to the
// waits that follow. The board's time never runs behind the wall clock, nor
// more than the last wait ahead of it, and no wait spins: programming on a
// loaded machine takes the simulated time, not one scheduler slice per word.
class CSimBoardSteadyClock final : public CClock {
public:
    static constexpr uint64_t kSleepAheadMicros = 2000;

    // How the thread sleeps (a test counts the sleeps); the default sleeps.
    using Sleep = std::function<void(uint64_t micros)>;
    explicit CSimBoardSteadyClock(Sleep sleep = {});
    uint64_t NowMicros() override;
    void Wait(uint64_t micros) override;

private:
    static uint64_t WallMicros();

    Sleep sleep_;
    std::atomic<uint64_t> board_{0}; // the board's time; at or ahead of the wall clock while waits are owed
};
