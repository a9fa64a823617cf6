#include "platform/MessagePump.h"

namespace tkan {

void MessagePump::PumpWaitingMessages()
{
    // A handler may replace the hook while it runs (a dialog closing during a
    // read); run a copy so the one executing stays alive.
    Hook step = hook_;
    if (step)
        step();
}

}  // namespace tkan
