#pragma once

#include <functional>

namespace tkan {

class MessagePump;

// Makes the pump dispatch the pending Qt events, so that the buttons of a
// dialog act while a transport waits for the instrument, and makes its waits
// sleep in Qt's event dispatcher, handling each event as it arrives. `alsoRun`
// runs after the events on every pump and every step of a wait (the tests
// move their clock there).
void InstallQtPump(MessagePump& pump, std::function<void()> alsoRun = {});

// True when pumping delivers a Qt event posted just before. The test dialogs'
// loops end only on a click, so a pump that dispatches nothing would leave
// them running for ever.
bool PumpDispatchesQtEvents(MessagePump& pump);

}  // namespace tkan
