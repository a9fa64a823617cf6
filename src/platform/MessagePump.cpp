#include "platform/MessagePump.h"

#include <algorithm>

#include "platform/TickSource.h"

namespace tkan {

namespace {

// Without a wait hook, the longest a message waits to be dispatched.
constexpr std::uint32_t kWaitSliceMs = 10;

}  // namespace

void MessagePump::PumpWaitingMessages()
{
    // A handler may replace the hook while it runs (a dialog closing during a
    // read); run a copy so the one executing stays alive.
    Hook step = hook_;
    if (step)
        step();
}

void MessagePump::WaitDispatching(TickSource& ticks, std::uint32_t durationMs, const std::function<bool()>& done)
{
    const std::uint32_t start = ticks.TickCount();
    for (;;) {
        // Unsigned, so a wrap of the tick counter does no harm.
        const std::uint32_t elapsed = ticks.TickCount() - start;
        if (elapsed >= durationMs || (done && done()))
            return;
        const std::uint32_t left = durationMs - elapsed;
        if (WaitHook wait = waitHook_) {
            wait(left);
            continue;
        }
        PumpWaitingMessages();
        if (done && done())
            return;
        ticks.Sleep(std::min(left, kWaitSliceMs));
    }
}

}  // namespace tkan
