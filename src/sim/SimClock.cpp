#include "sim/SimClock.h"

#include <chrono>

namespace tkan {

std::int64_t SteadySimClock::NowMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace tkan
