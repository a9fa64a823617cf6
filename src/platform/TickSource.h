#pragma once

#include <cstdint>

namespace tkan {

// The millisecond tick count the transports measure their time-outs with, and
// the sleep that Delay uses. The application makes one steady-clock source;
// tests pass a clock they move themselves, so time-outs of seconds run in no
// time.
class TickSource {
public:
    virtual ~TickSource() = default;

    // Milliseconds since an arbitrary start; wraps after about 49.7 days.
    virtual std::uint32_t TickCount() = 0;
    virtual void Sleep(std::uint32_t durationMs) = 0;
};

class SteadyTickSource : public TickSource {
public:
    std::uint32_t TickCount() override;
    void Sleep(std::uint32_t durationMs) override;
};

}  // namespace tkan
