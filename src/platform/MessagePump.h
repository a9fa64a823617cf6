#pragma once

#include <functional>
#include <utility>

namespace tkan {

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
