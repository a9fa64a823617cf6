#pragma once

#include <cstdint>

#include "platform/MessagePump.h"
#include "platform/TickSource.h"

namespace tkan {

// A countdown on the tick count. Created fresh for every read.
class CTimer {
public:
    explicit CTimer(TickSource& ticks) : ticks_(ticks) {}
    virtual ~CTimer() = default;

    void Start(std::uint32_t durationMs);
    // True once strictly more than the duration has passed, and from then on.
    // Unsigned arithmetic keeps a wrap of the tick counter harmless.
    bool Expired();
    // Milliseconds until Expired() turns true (at least 1 until it has).
    std::uint32_t Remaining();

private:
    TickSource& ticks_;
    std::uint32_t startTick_ = 0;
    std::uint32_t duration_ = 0;
    bool expired_ = false;
};

// Waits the given time, sleeping, without letting window handlers run: it is
// used where the instrument needs a pause between two things we send, and a
// handler running then could send something in between.
void Delay(TickSource& ticks, std::uint32_t durationMs);

}  // namespace tkan
