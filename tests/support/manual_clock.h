#pragma once

#include "common/clock.h"

#include <atomic>
#include <cstdint>

// A clock that moves only when told to: by Advance, by the waits of the code
// under test (which then take no real time), or by a fixed step on every
// reading, so that a poll loop against a minutes-long timeout ends in
// microseconds. One clock may be shared by the threads of a test (the link
// and the simulated probe).
//
// A wait for something outside the program (a reply on a socket) gives the
// outside a short grace of real time to answer; what has not come by then
// counts as not coming before the deadline, and the clock moves to it. So a
// reply that never comes times out at once, and a peer that answers within
// the grace is seen at once.
class CManualClock final : public CClock {
public:
    static constexpr uint64_t kDefaultGraceMicros = 250000;

    explicit CManualClock(uint64_t stepPerReadMs = 0) : step_(stepPerReadMs * 1000) {}

    uint64_t NowMicros() override { return now_.fetch_add(step_.load()); }
    void Wait(uint64_t micros) override
    {
        now_ += micros;
        sleptMicros_ += micros;
        slept = sleptMicros_ / 1000;
    }
    bool WaitUntil(uint64_t deadlineMicros, const FPoll& poll) override
    {
        if (poll(0))
            return true;
        if (now_.load() >= deadlineMicros)
            return false;
        if (poll(grace_))
            return true;
        MoveTo(deadlineMicros);
        return false;
    }

    void Advance(uint64_t ms) { now_ += ms * 1000; }
    void AdvanceMicros(uint64_t micros) { now_ += micros; }
    void SetStep(uint64_t ms) { step_ = ms * 1000; }
    // Real time the outside gets in a wait before the clock jumps to its deadline.
    void SetGrace(uint64_t micros) { grace_ = micros; }

    // Milliseconds let pass by the waits of the code under test.
    uint64_t slept = 0;

private:
    // Moves on to `micros` unless another thread has moved further already.
    void MoveTo(uint64_t micros)
    {
        uint64_t now = now_.load();
        while (now < micros && !now_.compare_exchange_weak(now, micros)) {
        }
    }

    std::atomic<uint64_t> now_{1000000};
    std::atomic<uint64_t> step_;
    std::atomic<uint64_t> sleptMicros_{0};
    uint64_t grace_ = kDefaultGraceMicros;
};
