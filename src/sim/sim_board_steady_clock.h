#pragma once

#include "common/clock.h"

// The host's steady clock (the same time as CSystemClock) with the waits a
// simulated flash needs: short waits spin, because sleeping costs far more
// than a flash word's program time; long ones sleep.
class CSimBoardSteadyClock final : public CClock {
public:
    uint64_t NowMicros() override;
    void Wait(uint64_t micros) override;
};
