#pragma once

#include "common/clock.h"

// A clock that moves only when told to, or by a fixed step on every reading,
// so that a poll loop against a minutes-long timeout ends in microseconds.
class CManualClock final : public CClock {
public:
    explicit CManualClock(uint64_t stepPerReadMs = 0) : step_(stepPerReadMs) {}
    uint64_t NowMs() override
    {
        const uint64_t t = now_;
        now_ += step_;
        return t;
    }
    void SleepMs(uint32_t ms) override
    {
        now_ += ms;
        slept += ms;
    }
    void Advance(uint64_t ms) { now_ += ms; }
    void SetStep(uint64_t ms) { step_ = ms; }

    uint64_t slept = 0;

private:
    uint64_t now_ = 1000;
    uint64_t step_;
};
