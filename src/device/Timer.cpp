#include "device/Timer.h"

namespace tkan {

void CTimer::Start(std::uint32_t durationMs)
{
    startTick_ = ticks_.TickCount();
    duration_ = durationMs;
    expired_ = false;
}

bool CTimer::Expired()
{
    if (!expired_) {
        std::uint32_t elapsed = ticks_.TickCount() - startTick_;
        expired_ = duration_ < elapsed;
    }
    return expired_;
}

std::uint32_t CTimer::Remaining()
{
    if (Expired())
        return 0;
    std::uint32_t elapsed = ticks_.TickCount() - startTick_;
    return duration_ - elapsed + 1;
}

void Delay(TickSource& ticks, std::uint32_t durationMs)
{
    CTimer timer(ticks);
    timer.Start(durationMs);
    while (!timer.Expired())
        ticks.Sleep(timer.Remaining());
}

}  // namespace tkan
