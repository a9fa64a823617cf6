#pragma once

#include <cstdint>

#include "device/Timer.h"

namespace tkan::test {

// A tick count that moves only when the test (or a sleep) moves it.
class ManualClock : public TickSource {
public:
    explicit ManualClock(std::uint32_t start = 0) : now(start) {}

    std::uint32_t TickCount() override { return now; }
    void Sleep(std::uint32_t durationMs) override
    {
        now += durationMs;
        slept += durationMs;
    }

    std::uint32_t now;
    std::uint64_t slept = 0;
};

}  // namespace tkan::test
