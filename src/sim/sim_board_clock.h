#pragma once

#include <cstdint>

// The time base of the simulated board: flash devices are busy until their
// erase or program time has passed, and the firmware's algorithms wait for
// them. The simulator runs on the steady clock; tests inject a manual clock
// so that a busy device stays busy until the test moves time on.
class CSimBoardClock {
public:
    virtual ~CSimBoardClock() = default;

    // Microseconds since an arbitrary start; never goes back.
    virtual uint64_t NowMicros() = 0;
    // Lets `micros` microseconds pass (a manual clock just moves on).
    virtual void Wait(uint64_t micros) = 0;
};
