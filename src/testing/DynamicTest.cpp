#include "testing/DynamicTest.h"

#include <algorithm>
#include <array>
#include <climits>
#include <mutex>
#include <optional>

#include "device/InstrumentContract.h"
#include "device/RovaDevice.h"
#include "device/Timer.h"
#include "platform/Paths.h"
#include "platform/Prompter.h"
#include "platform/SettingsStore.h"
#include "records/TestRecord.h"
#include "records/TextLines.h"
#include "settings/AppInfo.h"
#include "testing/TestRunStatus.h"
#include "testing/TestRunSupport.h"
#include "testing/TestingContext.h"
#include "testing/XferDlg.h"

namespace tkan {

namespace {

constexpr char kPressRaiseLower[] = "\r   *** READY PRESS RAISE/LOWER BUTTON TO START ***";

constexpr int kPollReadMs = 500;
// The instrument's own test lengths; the chosen length ends it earlier.
constexpr int kShortTestSeconds = 120;
constexpr int kLongTestSeconds = 240;

constexpr char kTestFileExtension[] = ".tst-tkan";
constexpr char kTestFileFilter[] = "Test (*.tst-tkan) |*.tst-tkan||";

bool Contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

}  // namespace

std::vector<std::string> TestCurrentChoices(bool is40Amp)
{
    if (is40Amp)
        return {"10 AMPS", "40 AMPS"};
    return {"5 AMPS", "10 AMPS"};
}

int LeadingInteger(std::string_view text)
{
    return static_cast<int>(ReadLeadingInteger(text, 10));
}

dlgDynamicTest::dlgDynamicTest(TestingContext& context, ModalDialogs& dialogs)
    : TestRunDialog(context), dialogs_(dialogs)
{
}

// --- Controls --------------------------------------------------------------

void dlgDynamicTest::ReadBack()
{
    if (!view_)
        return;
    values_ = view_->ReadValues();
    const int lengths = static_cast<int>(kTestLengthChoices.size());
    const int currents = std::max(1, static_cast<int>(currentChoices_.size()));
    values_.lengthIndex = std::clamp(values_.lengthIndex, 0, lengths - 1);
    values_.currentIndex = std::clamp(values_.currentIndex, 0, currents - 1);
    values_.tapControl = std::clamp(values_.tapControl, 0, 2);
    values_.relayMode = std::clamp(values_.relayMode, 0, 1);
}

void dlgDynamicTest::Show()
{
    if (!view_)
        return;
    view_->ShowValues(values_);
    view_->ShowStatus(statusText_);
}

void dlgDynamicTest::SetStatus(const std::string& text)
{
    statusText_ = text;
    Refresh();
}

void dlgDynamicTest::Refresh()
{
    if (view_)
        view_->ShowStatus(statusText_);
}

void dlgDynamicTest::UpdateButtons()
{
    const bool tapped = values_.tapControl != kNoTapControl;
    buttons_.startTest = !running_;
    buttons_.stopTest = running_;
    buttons_.saveTest = ready_ && !running_;
    buttons_.latch = tapped;
    buttons_.momentary = tapped;
    buttons_.raiseLower = running_ && tapped && values_.relayMode == kMomentary && ready_;
    // The test ended or was stopped while the operator held Raise / Lower:
    // the relay must not stay energised behind a grey button, whatever the
    // view makes of the button going grey.
    if (relayHeld_ && !buttons_.raiseLower) {
        relayHeld_ = false;
        context_.device.SendRelay(RelayCommand::Release);
    }
    if (view_)
        view_->ShowButtons(buttons_);
}

void dlgDynamicTest::OnTapControlClicked()
{
    ReadBack();
    UpdateButtons();
}

// --- Opening and closing ---------------------------------------------------

void dlgDynamicTest::OnInitDialog(DynamicTestView& view)
{
    view_ = &view;
    AttachView(view);
    values_.header = LoadHeaderTexts(context_.store);
    Show();

    RovaDevice& device = context_.device;
    if (!device.Connect(1)) {
        CloseTest();
        return;
    }
    if (!device.IsTkan) {
        context_.prompter.Message(MessageStyle::Warning, "Not a TKAN device");
        CloseTest();
        return;
    }

    currentChoices_ = TestCurrentChoices(device.Is40Amp != 0);
    view.SetCurrentChoices(currentChoices_);
    values_.lengthIndex = 0;
    values_.currentIndex = 0;
    statusText_ = kPressStartText;
    StartPollTimer();
    Show();
    UpdateButtons();
}

int dlgDynamicTest::StartTest()
{
    if (DeferStart())
        return 0;
    ReadBack();
    std::lock_guard guard(lock_);
    if (running_) {
        UpdateButtons();
        return 1;
    }
    if (!context_.device.Connect(1))
        return 0;

    int started = StartExchange();
    // Closed while the start was under way: the close found no test running
    // and stopped nothing. A test that began all the same is stopped rather
    // than left driving current with nobody watching.
    if (ended_) {
        if (started) {
            running_ = true;
            StopTest();
        }
        return 0;
    }
    saved_ = false;
    if (started) {
        running_ = true;
        ready_ = false;
        blink_.Restart();
    } else {
        context_.prompter.Message(MessageStyle::Tkan, "Unable to start test, try again");
    }
    UpdateButtons();
    return started;
}

int dlgDynamicTest::StartExchange()
{
    const std::string current =
        currentChoices_.empty() ? std::string() : currentChoices_[static_cast<std::size_t>(values_.currentIndex)];
    testLength_ = LeadingInteger(kTestLengthChoices[static_cast<std::size_t>(values_.lengthIndex)]);
    const std::string_view type =
        testLength_ <= kShortTestSeconds ? instrument::kDynamicTest2000Type : instrument::kDynamicTest1000Type;
    // The dialog may close while a reply is awaited: the start goes no further.
    return context_.device.StartTkanTest(LeadingInteger(current), type, [this] { return ended_; });
}

void dlgDynamicTest::StopTest()
{
    ReadBack();
    {
        std::lock_guard guard(lock_);
        if (running_)
            context_.device.StopTest();
        running_ = false;
    }
    UpdateButtons();
    statusText_.clear();
    Show();
}

RelayCommand dlgDynamicTest::TapRelay() const
{
    return values_.tapControl == kRaiseTap ? RelayCommand::Raise : RelayCommand::Lower;
}

void dlgDynamicTest::RelayButtonEvent(int code)
{
    if (code == kRelayPressed) {
        relayHeld_ = true;
        context_.device.SendRelay(TapRelay());
    } else if (code == kRelayReleased && relayHeld_) {
        // One release per press: a relay released when its button went grey
        // is not released a second time when the view lets go of it.
        relayHeld_ = false;
        context_.device.SendRelay(RelayCommand::Release);
    }
}

void dlgDynamicTest::SaveTest()
{
    if (DeferSave())
        return;
    ReadBack();
    SaveFileRequest request;
    request.defaultExtension = kTestFileExtension;
    request.filter = kTestFileFilter;
    request.initialFolder = context_.settings.FilePath;
    std::optional<std::string> chosen = context_.prompter.ChooseSaveFile(request);
    if (!chosen || chosen->empty())
        return;
    const std::string path = WithDefaultExtension(*chosen, kTestFileExtension);

    CXferDlg transfer(context_);
    transfer.singleRecord = true;
    transfer.singleFileName = path;
    transfer.durationLimit = testLength_;
    transfer.expectedBytes = ExpectedDynamicRecordBytes(testLength_);
    transfer.headerGiven = true;
    transfer.headerTexts = values_.header;
    // A download that failed saved nothing: the dialog stays so that the
    // test, still on the instrument, can be saved again, and the main window
    // is not sent to open a file that was never written.
    if (dialogs_.RunTransfer(transfer) != 1) {
        UpdateButtons();
        return;
    }
    saved_ = true;
    savedPath_ = path;

    ExportWrittenTest(context_, path);
    CloseTest();
}

// --- The poll loop -----------------------------------------------------------

void dlgDynamicTest::PollDevice()
{
    RovaDevice& device = context_.device;
    while (!exitRequested_) {
        context_.pump.PumpWaitingMessages();
        if (exitRequested_)
            break;
        RunDeferred();
        if (!running_) {
            // Nothing to read: clicks, repaints and screen-reader questions
            // are answered as they come, and a start begins polling at once.
            context_.pump.WaitDispatching(context_.ticks, kIdlePassMs, [this] { return exitRequested_ || running_; });
            continue;
        }

        std::string line;
        bool got = false;
        bool failedEarly = false;
        {
            std::lock_guard guard(lock_);
            if (!running_)
                continue;
            CTimer halfTime(context_.ticks);
            halfTime.Start(kPollReadMs / 2);
            got = device.ReadLine(line, kPollLineCapacity, kPollReadMs) == 1;
            // A read that fails long before its time-out did not time out:
            // the link itself has failed.
            failedEarly = !got && !halfTime.Expired();
            if (got && Contains(line, instrument::kStatusConfirm))
                device.Acknowledge();
        }
        if (!got && failedEarly && running_ && !exitRequested_) {
            LinkLost();
            continue;
        }
        if (got && !line.empty())
            HandleLine(line);
        // The instrument is quiet between its markers, and the messages are
        // to blink all the same: paced by time, not by lines.
        if (running_)
            Blink();
    }
}

void dlgDynamicTest::LinkLost()
{
    // Connect says what is wrong (the port gone, the device not found); an
    // instrument that answers again lets the test carry on.
    if (context_.device.Connect(1))
        return;
    running_ = false;
    UpdateButtons();
    statusText_.clear();
    Show();
}

void dlgDynamicTest::HandleLine(const std::string& line)
{
    if (Contains(line, instrument::kStatusReady)) {
        if (values_.tapControl == kNoTapControl) {
            context_.device.SendRelay(RelayCommand::Go);
        } else if (values_.relayMode == kMomentary) {
            // The operator's Raise / Lower button drives the relay.
            blink_.SetText(kPressRaiseLower);
            SetStatus(kPressRaiseLower);
        } else {
            context_.device.SendRelay(TapRelay());
        }
        ready_ = true;
    }
    if (Contains(line, instrument::kStatusCharging)) {
        blink_.SetText(kEnergizedText);
        Refresh();
    }
    if (Contains(line, instrument::kStatusCalibrating)) {
        blink_.SetText(kCalibratingText);
        Refresh();
    }
    UpdateButtons();
    if (Contains(line, instrument::kStatusSecondsLeft))
        CountDown(line);
    if (Contains(line, instrument::kStatusDone)) {
        running_ = false;
        ready_ = true;
        blink_.SetText(kCompleteText);
        SetStatus(kCompleteText);
        UpdateButtons();
        context_.device.DiscardUntilQuiet(kPollLineCapacity);
    }
}

void dlgDynamicTest::CountDown(const std::string& line)
{
    const std::size_t equals = line.find('=');
    const int reported = LeadingInteger(std::string_view(line).substr(equals + 1));
    const int own = testLength_ <= kShortTestSeconds ? kShortTestSeconds : kLongTestSeconds;
    long long left = static_cast<long long>(reported) + testLength_ - own;
    left = std::clamp<long long>(left, 0, INT_MAX);
    std::string text = "\rTime Left: " + std::to_string(left) + " seconds";
    blink_.SetText(text);
    SetStatus(text);
    if (left == 0)
        StopTest();
}

void dlgDynamicTest::Blink()
{
    if (ready_)
        return;
    if (std::optional<std::string> status = blink_.Step(context_.ticks.TickCount()))
        SetStatus(*status);
}

}  // namespace tkan
