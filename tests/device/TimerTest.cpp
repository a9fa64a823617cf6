#include "device/Timer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/ManualClock.h"

namespace tkan {
namespace {

using test::ManualClock;

TEST(CTimerTest, ExpiresOnlyAfterMoreThanItsDurationAndStaysExpired)
{
    ManualClock clock(1000);
    CTimer timer(clock);
    timer.Start(3000);
    clock.now += 3000;
    EXPECT_FALSE(timer.Expired());
    EXPECT_EQ(timer.Remaining(), 1u);
    clock.now += 1;
    EXPECT_TRUE(timer.Expired());
    EXPECT_EQ(timer.Remaining(), 0u);
    clock.now -= 2000;  // once seen, expiry is not taken back
    EXPECT_TRUE(timer.Expired());

    timer.Start(10);  // a restart forgets it
    EXPECT_FALSE(timer.Expired());
}

TEST(CTimerTest, TickCounterWrapDoesNotExpireEarlyOrLate)
{
    ManualClock clock(0xFFFFFF00u);
    CTimer timer(clock);
    timer.Start(0x200);
    clock.now += 0x200;  // wraps past zero
    EXPECT_FALSE(timer.Expired());
    clock.now += 1;
    EXPECT_TRUE(timer.Expired());
}

TEST(MessagePumpTest, HookThatReplacesItselfWhileRunningStaysAlive)
{
    MessagePump pump;
    pump.PumpWaitingMessages();  // no hook yet: nothing to run

    auto seen = std::make_shared<std::string>();
    int replacementRuns = 0;
    pump.SetHook([&pump, &replacementRuns, state = std::make_shared<std::string>("dialog"), seen] {
        pump.SetHook([&replacementRuns] { ++replacementRuns; });
        *seen = *state;  // the captures must still be there after SetHook
    });
    pump.PumpWaitingMessages();
    pump.PumpWaitingMessages();
    EXPECT_EQ(*seen, "dialog");
    EXPECT_EQ(replacementRuns, 1);
}

}  // namespace
}  // namespace tkan
