#pragma once

#include <cstdint>
#include <functional>
#include <utility>

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

// Lets the window handlers run while a transport waits for the instrument, so
// that Abort, Stop and the relay buttons act during a read. The Qt program
// sets the hook to process its pending events; tests set it to play clicks.
// Without a hook, pumping does nothing.
class MessagePump {
public:
    using Hook = std::function<void()>;

    void SetHook(Hook hook) { hook_ = std::move(hook); }
    void PumpWaitingMessages();

private:
    Hook hook_;
};

}  // namespace tkan
