#pragma once

#include <string>

#include "testing/ReentrantLock.h"
#include "testing/TestRunSupport.h"

namespace tkan {

struct TestingContext;

// What both test dialogs' windows do alike.
class TestRunView {
public:
    virtual ~TestRunView() = default;

    virtual void SetTimer(int id, int milliseconds) = 0;
    virtual void KillTimer(int id) = 0;
    // Ends the dialog with its cancel result.
    virtual void EndDialog() = 0;
};

// What the dynamic and the static test dialogs' logic do alike: the start-up
// timer that enters the poll loop, the whole exchanges (Start, Save) that a
// click starts while a read waits, which run when the poll loop comes round,
// and the exit and the close.
class TestRunDialog {
public:
    explicit TestRunDialog(TestingContext& context) : context_(context) {}
    virtual ~TestRunDialog() = default;
    TestRunDialog(const TestRunDialog&) = delete;
    TestRunDialog& operator=(const TestRunDialog&) = delete;

    virtual int StartTest() = 0;
    virtual void StopTest() = 0;
    virtual void SaveTest() = 0;
    virtual void PollDevice() = 0;

    // The start-up timer's tick: the poll loop runs inside it.
    void OnTimer(int id);
    // Exit: asks before unsaved data are given up.
    void ExitTest();
    // The close box, Esc, and the end of Exit and Save: the header is kept
    // for next time, a running test stopped, the dialog ended.
    void CloseTest();

    // What the main window opens once the dialog has ended; empty when
    // nothing was saved.
    std::string FileToOpen() const { return saved_ ? savedPath_ : std::string(); }
    bool Ended() const { return ended_; }
    bool ExitRequested() const { return exitRequested_; }

protected:
    virtual void ReadBack() = 0;
    virtual const HeaderTexts& Header() const = 0;
    // Data on the instrument or in the table that an exit would lose.
    virtual bool HoldsUnsavedData() const = 0;

    // The opening: the window, and the start-up timer that will enter the
    // poll loop once the window is on screen.
    void AttachView(TestRunView& view) { runView_ = &view; }
    void StartPollTimer();

    // True when the click came while an exchange waits, and the command will
    // run from the poll loop instead.
    bool DeferStart() { return Defer(Deferred::Start); }
    bool DeferSave() { return Defer(Deferred::Save); }
    bool HasDeferred() const { return deferred_ != Deferred::None; }
    void RunDeferred();

    TestingContext& context_;
    bool saved_ = false;
    bool exitRequested_ = false;
    bool ended_ = false;
    std::string savedPath_;
    ReentrantLock lock_;

private:
    enum class Deferred { None, Start, Save };
    bool Defer(Deferred what);

    Deferred deferred_ = Deferred::None;
    TestRunView* runView_ = nullptr;
};

}  // namespace tkan
