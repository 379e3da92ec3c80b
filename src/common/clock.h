#pragma once

#include <cstdint>

// Milliseconds and sleeping, behind an interface so that erase timeouts of
// minutes can be tested in milliseconds of real time.
class CClock {
public:
    virtual ~CClock() = default;
    // A monotonic millisecond count (its zero is arbitrary).
    virtual uint64_t NowMs() = 0;
    virtual void SleepMs(uint32_t ms) = 0;
};

// The host's steady clock.
class CSystemClock final : public CClock {
public:
    uint64_t NowMs() override;
    void SleepMs(uint32_t ms) override;
    static CSystemClock& Instance();
};
