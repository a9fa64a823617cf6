#include "platform/qt/QtMessagePump.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/MessagePump.h"
#include "platform/TickSource.h"

namespace tkan::test {
namespace {

// An idle test dialog waits through the pump: what arrives meanwhile (a
// click, a repaint, a screen reader's question) is handled then, not when
// the wait is over; and a handler that gives the dialog work ends the wait.
TEST(QtMessagePump, EventsArrivingDuringAWaitAreHandledBeforeItEnds)
{
    MessagePump pump;
    InstallQtPump(pump);
    SteadyTickSource ticks;
    std::vector<std::string> order;
    // Timers of the test's own, so none outlives it.
    auto after = [](int ms, auto act) {
        auto timer = std::make_unique<QTimer>();
        timer->setSingleShot(true);
        QObject::connect(timer.get(), &QTimer::timeout, act);
        timer->start(ms);
        return timer;
    };

    {
        auto event = after(20, [&] { order.push_back("event"); });
        pump.WaitDispatching(ticks, 200);
        order.push_back("wait over");
    }
    EXPECT_EQ(order, (std::vector<std::string>{"event", "wait over"}));

    order.clear();
    bool started = false;
    auto start = after(20, [&] {
        started = true;
        order.push_back("start clicked");
    });
    auto later = after(300, [&] { order.push_back("later event"); });
    pump.WaitDispatching(ticks, 60'000, [&] { return started; });
    order.push_back("wait over");
    EXPECT_EQ(order, (std::vector<std::string>{"start clicked", "wait over"}));
}

}  // namespace
}  // namespace tkan::test
