#pragma once

#include <cstdint>
#include <functional>
#include <utility>

namespace tkan {

class TickSource;

// Lets the window handlers run while a transport waits for the instrument, so
// that Abort, Stop and the relay buttons act during a read. The Qt program
// sets the hook to process its pending events; tests set it to play clicks.
// Without a hook, pumping does nothing.
class MessagePump {
public:
    using Hook = std::function<void()>;
    // Dispatches what is pending, or blocks until something arrives and
    // dispatches that, but never for longer than timeoutMs.
    using WaitHook = std::function<void(std::uint32_t timeoutMs)>;

    void SetHook(Hook hook) { hook_ = std::move(hook); }
    void SetWaitHook(WaitHook hook) { waitHook_ = std::move(hook); }
    void PumpWaitingMessages();
    // Waits until durationMs have passed on `ticks`, or until `done` says so,
    // dispatching window messages as they arrive. Without a wait hook it
    // sleeps in short slices and pumps between them.
    void WaitDispatching(TickSource& ticks, std::uint32_t durationMs, const std::function<bool()>& done = {});

private:
    Hook hook_;
    WaitHook waitHook_;
};

}  // namespace tkan
