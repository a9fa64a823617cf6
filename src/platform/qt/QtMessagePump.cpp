#include "platform/qt/QtMessagePump.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <utility>

#include "device/Timer.h"

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
    pump.SetHook([alsoRun = std::move(alsoRun)] {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
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
