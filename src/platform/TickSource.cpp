#include "platform/TickSource.h"

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

}  // namespace tkan
