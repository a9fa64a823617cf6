#include "testing/RunTest.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <mutex>
#include <optional>
#include <span>
#include <utility>

#include "device/InstrumentContract.h"
#include "device/ResistanceReply.h"
#include "device/RovaDevice.h"
#include "platform/MessagePump.h"
#include "platform/Paths.h"
#include "platform/Prompter.h"
#include "platform/SettingsStore.h"
#include "platform/TickSource.h"
#include "records/AtomicFile.h"
#include "records/TestRecord.h"
#include "reports/TextReport.h"
#include "settings/AppInfo.h"
#include "testing/TestCurrent.h"
#include "testing/TestRunStatus.h"
#include "testing/TestRunSupport.h"
#include "testing/TestingContext.h"

namespace tkan {

namespace {

constexpr char kPressAccept[] = "\r*** PRESS ACCEPT TO CAPTURE TEST DATA ***";
constexpr char kPressAcceptTimed[] = "\r*** PRESS ACCEPT TO BEGIN AUTOMATIC CAPTURE ONCE A MINUTE ***";
constexpr char kCapturingTimed[] = "\r*** DATA WILL BE CAPTURED AUTOMATICALLY ONCE A MINUTE ***";

// Short, so that the elapsed time and the once-a-minute capture are looked at
// five times a second.
constexpr int kPollReadMs = 200;
constexpr std::uint32_t kCaptureIntervalMs = 60000;

bool Contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

std::string ElapsedClock(std::uint32_t ms)
{
    const std::uint32_t seconds = ms / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

}  // namespace

dlgRunTest::dlgRunTest(TestingContext& context, ModalDialogs& dialogs, RunTestParameters parameters)
    : TestRunDialog(context), dialogs_(dialogs), parameters_(std::move(parameters))
{
}

// --- Controls --------------------------------------------------------------

void dlgRunTest::ReadBack()
{
    if (view_)
        values_ = view_->ReadValues();
}

void dlgRunTest::Show()
{
    if (!view_)
        return;
    view_->ShowValues(values_);
    view_->ShowStatus(statusText_);
    view_->ShowElapsed(elapsedText_);
    ShowResistances();
}

void dlgRunTest::SetStatus(const std::string& text)
{
    statusText_ = text;
    if (view_)
        view_->ShowStatus(statusText_);
}

void dlgRunTest::ShowResistances()
{
    for (std::size_t i = 0; i < 3; ++i) {
        shownResistances_.texts[i] = resistanceTexts_[i];
        shownResistances_.settling[i] = resistanceTexts_[i].empty() ? std::string() : settle_.Text(static_cast<int>(i));
    }
    if (view_)
        view_->ShowResistances(shownResistances_);
}

void dlgRunTest::ShowReadings(int scrollTo)
{
    if (view_)
        view_->ShowReadings(readings_, tkan_, scrollTo);
}

void dlgRunTest::ClearResistances()
{
    resistances_ = {};
    resistanceTexts_ = {};
    settle_.Clear();
}

void dlgRunTest::UpdateButtons()
{
    const bool captureAllowed = !Timed() || readings_.RepeatPending() || readings_.ReadingCount() == 0;
    buttons_.startTest = !running_;
    buttons_.acceptTest = running_ && !resistanceTexts_[0].empty() && captureAllowed;
    buttons_.stopTest = running_;
    buttons_.raise = running_;
    buttons_.lower = running_;
    buttons_.repeatTest = readings_.ReadingCount() > 0;
    buttons_.saveTest = readings_.ReadingCount() > 0 || complete_;
    buttons_.temperatureControls = values_.temperatures.correctionEnabled;
    buttons_.relaysVisible = tkan_;
    buttons_.elapsedVisible = running_ && !elapsedText_.empty();
    // A relay held while its button goes grey would stay energised: the
    // button's release will never come.
    if (relayHeld_ && !buttons_.raise) {
        relayHeld_ = false;
        context_.device.SendRelay(RelayCommand::Release);
    }
    if (view_)
        view_->ShowButtons(buttons_);
}

void dlgRunTest::OnCorrectionClicked()
{
    ReadBack();
    UpdateButtons();
}

void dlgRunTest::OnTemperatureChanged(TemperatureField field)
{
    ReadBack();
    UpdatePartnerField(values_.temperatures, field);
    if (view_)
        view_->ShowValues(values_);
}

// --- Opening and closing ---------------------------------------------------

void dlgRunTest::OnInitDialog(RunTestView& view)
{
    view_ = &view;
    AttachView(view);
    values_.header = LoadHeaderTexts(context_.store);
    values_.temperatures = InitialTemperatures();
    Show();

    RovaDevice& device = context_.device;
    if (!device.Connect(1)) {
        CloseTest();
        return;
    }
    tkan_ = device.IsTkan != 0;
    rkz_ = device.IsRkzMeter != 0;
    if (!tkan_ && !rkz_) {
        context_.prompter.Message(MessageStyle::Warning, "Not a series 1 or TKAN device");
        CloseTest();
        return;
    }
    // An RKZ meter's regulator run has nothing to choose: its current is its
    // own and the taps are captured by hand.
    if (tkan_ || !parameters_.regulator) {
        dlgTestCurrent choice(context_.prompter, tkan_, parameters_.regulator);
        if (dialogs_.RunTestCurrent(choice) != 1) {
            CloseTest();
            return;
        }
        currentAmps_ = choice.CurrentAmps();
        captureMinutes_ = choice.DurationMinutes();
    }

    std::time_t opened = ClockTime();
    localtime_r(&opened, &openedAt_);
    readings_.Build(parameters_.testTypeName, parameters_.regulator, parameters_.steps);
    statusText_ = kPressStartText;
    StartPollTimer();
    Show();
    ShowReadings(parameters_.regulator ? 0 : -1);
    UpdateButtons();
}

// --- Exchanges -------------------------------------------------------------

std::time_t dlgRunTest::ClockTime() const
{
    return context_.clockTime ? context_.clockTime() : std::time(nullptr);
}

int dlgRunTest::StartTest()
{
    if (DeferStart())
        return 0;
    ReadBack();
    resistanceTexts_ = {};
    ShowResistances();
    std::lock_guard guard(lock_);
    if (running_) {
        UpdateButtons();
        return 1;
    }
    if (readings_.ReadingCount() > 0) {
        Answer answer =
            context_.prompter.Ask(MessageStyle::Tkan, "Do you want to discard the current test and begin again ?",
                                  QuestionButtons::YesNoCancel);
        if (answer == Answer::Cancel)
            return 0;
        if (answer == Answer::Yes) {
            readings_.Discard();
            ShowReadings(parameters_.regulator ? 0 : -1);
        }
    }
    haveFirstReading_ = false;
    elapsedText_.clear();
    Show();
    if (!context_.device.Connect(1))
        return 0;

    int result = StartExchange();
    // Closed while the start was under way: a test that began all the same
    // is stopped rather than left driving current with nobody watching.
    if (ended_) {
        if (result) {
            running_ = true;
            StopTest();
        }
        return 0;
    }
    saved_ = false;
    ClearResistances();
    if (result) {
        running_ = true;
        complete_ = false;
        blink_.Restart();
    } else {
        context_.prompter.Message(MessageStyle::Tkan, "Unable to start test, try again");
    }
    started_ = result == 1;
    UpdateButtons();
    return result;
}

int dlgRunTest::StartExchange()
{
    if (!tkan_)
        return context_.device.StartRkzTest();
    return context_.device.StartTkanTest(currentAmps_, instrument::kStaticTestType, [this] { return ended_; });
}

void dlgRunTest::StopTest()
{
    {
        std::lock_guard guard(lock_);
        if (running_)
            context_.device.StopTest();
        started_ = false;
        running_ = false;
        readings_.CancelRepeat();
    }
    UpdateButtons();
    statusText_.clear();
    resistanceTexts_ = {};
    haveFirstReading_ = false;
    lastCaptureTick_ = 0;
    Show();
}

void dlgRunTest::RelayButtonEvent(int code, bool raise)
{
    if (code == kRelayPressed) {
        relayHeld_ = true;
        context_.device.SendRelay(raise ? RelayCommand::Raise : RelayCommand::Lower);
    } else if (code == kRelayReleased && std::exchange(relayHeld_, false)) {
        // One release per press: a relay released when its button greyed
        // has had its "O" already.
        context_.device.SendRelay(RelayCommand::Release);
    }
}

// --- Readings --------------------------------------------------------------

void dlgRunTest::AcceptReading()
{
    const std::time_t now = ClockTime();
    const std::uint32_t tick = context_.ticks.TickCount();
    ReadBack();
    if (!started_)
        return;
    LatestResistances latest;
    latest.r1 = resistances_[0];
    latest.r2 = resistances_[1];
    latest.r3 = resistances_[2];
    latest.r1Text = resistanceTexts_[0];
    latest.r2Text = resistanceTexts_[1];
    latest.r3Text = resistanceTexts_[2];
    if (readings_.Accept(now, Timed(), latest, values_.temperatures) == StaticReadings::Capture::LimitReached) {
        context_.prompter.Message(MessageStyle::Warning, "Test limit reached");
        return;
    }
    lastCaptureTick_ = tick;
    ShowReadings(readings_.LastCapturedRow());
    // The elapsed time of a timed run counts from its first capture.
    if (readings_.ReadingCount() == 1 && Timed()) {
        firstReadingTick_ = tick;
        haveFirstReading_ = true;
    }
    UpdateButtons();
}

void dlgRunTest::RepeatReading()
{
    if (!view_)
        return;
    if (!readings_.Repeat(view_->SelectedReading()))
        return;
    ShowReadings(-1);
    if (!running_)
        started_ = StartTest() == 1;
    UpdateButtons();
}

// --- Saving ------------------------------------------------------------------

std::string dlgRunTest::ReportText(const std::string& testNumber) const
{
    TextReportInput input;
    input.isRkzMeter = rkz_;
    input.openedAt = openedAt_;
    for (std::size_t i = 0; i < kHeaderFieldCount; ++i)
        input.header.*kHeaderFields[i].member = values_.header[i];
    input.correctionEnabled = values_.temperatures.correctionEnabled;
    input.tmCelsiusText = values_.temperatures.tmCelsius;
    input.tsCelsiusText = values_.temperatures.tsCelsius;
    input.copper = values_.temperatures.copper;
    input.testTypeName = readings_.TestTypeName();
    input.rows = readings_.Rows();
    std::string text;
    WriteTextReport(text, testNumber, input);
    return text;
}

void dlgRunTest::SaveTest()
{
    if (DeferSave())
        return;
    ReadBack();
    if (readings_.ReadingCount() == 0) {
        context_.prompter.Message(MessageStyle::Warning, "No tests to save");
        return;
    }
    const char* extension = tkan_ ? ".tst-tkan" : ".tst-rkz";
    SaveFileRequest request;
    request.defaultExtension = extension;
    request.filter = tkan_ ? "Test (*.tst-tkan) |*.tst-tkan||" : "Test (*.tst-rkz) |*.tst-rkz||";
    request.initialFolder = context_.settings.FilePath;
    std::optional<std::string> chosen = context_.prompter.ChooseSaveFile(request);
    if (!chosen || chosen->empty())
        return;
    const std::string path = WithDefaultExtension(*chosen, extension);

    const std::string text = ReportText(FileStem(path));
    if (!WriteFileAtomically(path, reinterpret_cast<const std::uint8_t*>(text.data()), text.size())) {
        context_.prompter.Message(MessageStyle::Warning, "can't open filename " + path);
        return;
    }
    saved_ = true;
    savedPath_ = path;
    CloseTest();

    ExportWrittenTest(context_, path);
}

// --- The poll loop -----------------------------------------------------------

void dlgRunTest::PollDevice()
{
    RovaDevice& device = context_.device;
    while (!exitRequested_) {
        context_.pump.PumpWaitingMessages();
        if (exitRequested_)
            break;
        RunDeferred();
        if (!running_) {
            haveFirstReading_ = false;
            lastCaptureTick_ = 0;
            // Nothing to read: clicks, repaints and screen-reader questions
            // are answered as they come, and a start begins polling at once.
            context_.pump.WaitDispatching(context_.ticks, kIdlePassMs,
                                          [this] { return exitRequested_ || running_ || HasDeferred(); });
            continue;
        }

        std::string line;
        {
            std::lock_guard guard(lock_);
            if (!running_)
                continue;
            const bool got = device.ReadLine(line, kPollLineCapacity, kPollReadMs) == 1;
            FollowElapsedAndTimedCapture();
            if (!got || line.empty())
                continue;
            if (Contains(line, instrument::kStatusConfirm))
                device.Acknowledge();
        }
        HandleLine(line);
    }
}

void dlgRunTest::FollowElapsedAndTimedCapture()
{
    if (!haveFirstReading_)
        return;
    const std::uint32_t now = context_.ticks.TickCount();
    elapsedText_ = ElapsedClock(now - firstReadingTick_);
    if (view_)
        view_->ShowElapsed(elapsedText_);
    UpdateButtons();
    if (!Timed() || readings_.ReadingCount() == 0)
        return;
    if (now - lastCaptureTick_ > kCaptureIntervalMs)
        AcceptReading();
    // A run of n minutes takes n readings: one minute is the first capture
    // alone, not a second one a minute later.
    if (readings_.ReadingCount() >= captureMinutes_) {
        elapsedText_.clear();
        UpdateButtons();
        StopTest();
        haveFirstReading_ = false;
    }
}

void dlgRunTest::HandleLine(const std::string& line)
{
    if (Contains(line, instrument::kStatusCharging)) {
        blink_.SetText(kEnergizedText);
        SetStatus(statusText_);
    }
    if (Contains(line, instrument::kStatusCalibrating)) {
        blink_.SetText(kCalibratingText);
        SetStatus(statusText_);
    }
    if (Contains(line, instrument::kStatusSecondsLeft)) {
        blink_.SetText("\r " + line);
        SetStatus(blink_.Text());
    }
    if (Contains(line, instrument::kStatusDone)) {
        started_ = false;
        running_ = false;
        readings_.CancelRepeat();
        complete_ = true;
        blink_.SetText(kCompleteText);
        SetStatus(kCompleteText);
        UpdateButtons();
        context_.device.DiscardUntilQuiet(kPollLineCapacity);
    }
    if (!complete_)
        Blink();
    if (Contains(line, instrument::kStatusResultPrefix))
        TakeResistance(line);
}

void dlgRunTest::TakeResistance(const std::string& line)
{
    ResistanceReply reply;
    if (!ParseResistanceReply(line, reply))
        return;
    const std::string& name = readings_.TestTypeName();
    if ((reply.winding == 2 && !MeasuresV2(name)) || (reply.winding == 3 && !MeasuresV3(name)))
        return;
    const auto index = static_cast<std::size_t>(reply.winding - 1);
    const std::uint32_t tick = context_.ticks.TickCount();
    resistances_[index] = reply.microOhms;
    resistanceTexts_[index] = FormatResistance(reply.microOhms, true, false);
    settle_.Add(reply.winding - 1, tick, reply.microOhms);
    if (!haveFirstReading_) {
        haveFirstReading_ = true;
        firstReadingTick_ = tick;
    }
    const char* prompt = !Timed() ? kPressAccept : readings_.ReadingCount() == 0 ? kPressAcceptTimed : kCapturingTimed;
    blink_.SetText(prompt);
    SetStatus(prompt);
    ShowResistances();
    UpdateButtons();
}

void dlgRunTest::Blink()
{
    if (std::optional<std::string> status = blink_.Step(context_.ticks.TickCount()))
        SetStatus(*status);
}

}  // namespace tkan
