#include "common/clock.h"

#include <chrono>
#include <thread>

bool CClock::WaitUntil(uint64_t deadlineMicros, const FPoll& poll)
{
    for (;;) {
        const uint64_t now = NowMicros();
        const uint64_t left = deadlineMicros > now ? deadlineMicros - now : 0;
        if (poll(left))
            return true;
        if (left == 0)
            return false;
        // The poll ended early (a signal, a spurious wake-up): poll again
        // for what is left.
    }
}

uint64_t CSystemClock::NowMicros()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void CSystemClock::Wait(uint64_t micros)
{
    std::this_thread::sleep_for(std::chrono::microseconds(micros));
}

CSystemClock& CSystemClock::Instance()
{
    static CSystemClock clock;
    return clock;
}
