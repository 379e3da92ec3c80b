#pragma once

#include <cstdint>
#include <functional>

// The one time source of the core, the link and the simulator, behind an
// interface so that timeouts of seconds or minutes can be tested in
// microseconds of real time: a test hands every part the same manual clock.
class CClock {
public:
    // Blocks at most `micros` microseconds of real time for something
    // outside the program (a descriptor becoming ready); true when it came.
    using FPoll = std::function<bool(uint64_t micros)>;

    virtual ~CClock() = default;

    // Microseconds since an arbitrary start; never goes back.
    virtual uint64_t NowMicros() = 0;
    // Lets `micros` microseconds pass.
    virtual void Wait(uint64_t micros) = 0;
    // Waits for `poll` to say that what it waits for has come, until
    // `deadlineMicros`: true when it came, false when the deadline came first.
    // A real clock polls for exactly the time left (and once more without
    // blocking when none is left).
    virtual bool WaitUntil(uint64_t deadlineMicros, const FPoll& poll);

    uint64_t NowMs() { return NowMicros() / 1000; }
    void SleepMs(uint32_t ms) { Wait(uint64_t(ms) * 1000); }
};

// The host's steady clock.
class CSystemClock final : public CClock {
public:
    uint64_t NowMicros() override;
    void Wait(uint64_t micros) override;
    static CSystemClock& Instance();
};
