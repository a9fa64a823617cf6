#include "device/Timer.h"

#include <chrono>
#include <thread>

namespace tkan {

std::uint32_t SteadyTickSource::TickCount()
{
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(ms);
}

void SteadyTickSource::Sleep(std::uint32_t durationMs)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(durationMs));
}

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

void MessagePump::PumpWaitingMessages()
{
    // A handler may replace the hook while it runs (a dialog closing during a
    // read); run a copy so the one executing stays alive.
    Hook step = hook_;
    if (step)
        step();
}

}  // namespace tkan
