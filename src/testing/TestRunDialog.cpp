#include "testing/TestRunDialog.h"

#include <utility>

#include "testing/TestRunStatus.h"
#include "testing/TestingContext.h"

namespace tkan {

void TestRunDialog::StartPollTimer()
{
    if (runView_)
        runView_->SetTimer(kStartTimer, kStartTimerMs);
}

void TestRunDialog::OnTimer(int id)
{
    if (id != kStartTimer || !runView_)
        return;
    // The timer fires once: the poll loop lives inside this tick.
    runView_->KillTimer(kStartTimer);
    PollDevice();
}

void TestRunDialog::ExitTest()
{
    ReadBack();
    exitRequested_ = true;
    StopTest();
    if (HoldsUnsavedData() && !saved_ && KeepUnsavedTest(context_.prompter)) {
        // The dialog stays, and so does its watch on the instrument.
        exitRequested_ = false;
        return;
    }
    CloseTest();
}

void TestRunDialog::CloseTest()
{
    if (ended_)
        return;
    ReadBack();
    StoreHeaderTexts(context_.store, Header());
    exitRequested_ = true;
    StopTest();
    ended_ = true;
    if (runView_)
        runView_->EndDialog();
}

// Start and Save are whole exchanges of their own. Clicked while a read
// waits, they would interleave with it on the wire, so they wait for the
// poll loop to come round.
bool TestRunDialog::Defer(Deferred what)
{
    if (!InsideExchange(lock_, context_.device))
        return false;
    deferred_ = what;
    return true;
}

void TestRunDialog::RunDeferred()
{
    Deferred what = std::exchange(deferred_, Deferred::None);
    if (what == Deferred::Start)
        StartTest();
    else if (what == Deferred::Save)
        SaveTest();
}

}  // namespace tkan
