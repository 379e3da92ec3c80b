#include "common/clock.h"

#include <chrono>
#include <thread>

uint64_t CSystemClock::NowMs()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void CSystemClock::SleepMs(uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

CSystemClock& CSystemClock::Instance()
{
    static CSystemClock clock;
    return clock;
}
