#include "platform/qt/QtMessagePump.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>

#include "platform/MessagePump.h"

namespace tkan {

namespace {

class DeliveryProbe : public QObject {
public:
    bool delivered = false;

protected:
    void customEvent(QEvent* event) override
    {
        if (event->type() == ProbeEvent())
            delivered = true;
    }

public:
    static QEvent::Type ProbeEvent()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
};

}  // namespace

void InstallQtPump(MessagePump& pump, std::function<void()> alsoRun)
{
    pump.SetHook([alsoRun] {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (alsoRun)
            alsoRun();
    });
    pump.SetWaitHook([alsoRun](std::uint32_t timeoutMs) {
        // Sleeps in the event dispatcher until an event comes; the timer's
        // own event ends the sleep when none does in time.
        QTimer deadline;
        deadline.setSingleShot(true);
        deadline.start(std::chrono::milliseconds(timeoutMs));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (alsoRun)
            alsoRun();
    });
}

bool PumpDispatchesQtEvents(MessagePump& pump)
{
    DeliveryProbe probe;
    QCoreApplication::postEvent(&probe, new QEvent(DeliveryProbe::ProbeEvent()));
    pump.PumpWaitingMessages();
    // The probe dies here; Qt drops whatever is still posted to it.
    return probe.delivered;
}

}  // namespace tkan
