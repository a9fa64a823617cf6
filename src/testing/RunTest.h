#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "records/HeaderFields.h"
#include "testing/SettleTracker.h"
#include "testing/StaticReadings.h"
#include "testing/TestRunDialog.h"
#include "testing/TestRunStatus.h"

namespace tkan {

class ModalDialogs;
struct TestingContext;

// How the main window's menu item set the run up.
struct RunTestParameters {
    std::string testTypeName = "V1/V2/V3";
    bool regulator = false;
    int steps = 0;
};

// The values bound to the Run Test dialog's edits and tick boxes.
struct RunTestValues {
    std::array<std::string, kHeaderFieldCount> header;  // in kHeaderFields order
    TemperatureEntry temperatures;

    bool operator==(const RunTestValues&) const = default;
};

struct RunTestButtons {
    bool startTest = false;
    bool acceptTest = false;
    bool repeatTest = false;
    bool stopTest = false;
    bool raise = false;
    bool lower = false;
    bool saveTest = false;
    bool temperatureControls = false;
    // Raise and Lower exist only on a TKAN.
    bool relaysVisible = false;
    bool elapsedVisible = false;

    bool operator==(const RunTestButtons&) const = default;
};

// What the dialog shows beside R1=, R2= and R3=.
struct RunTestResistances {
    std::array<std::string, 3> texts;
    // How settled each value is ("0.04 % stable"), empty before two replies.
    std::array<std::string, 3> settling;

    bool operator==(const RunTestResistances&) const = default;
};

// What the Run Test dialog shows and reads back.
class RunTestView : public TestRunView {
public:
    virtual void ShowValues(const RunTestValues& values) = 0;
    virtual RunTestValues ReadValues() = 0;
    // The readings table has changed; `scrollTo` is the row to bring into
    // view, -1 for none.
    virtual void ShowReadings(const StaticReadings& readings, bool withR3, int scrollTo) = 0;
    // The first selected row of the readings table, -1 without one.
    virtual int SelectedReading() = 0;
    virtual void ShowStatus(const std::string& text) = 0;
    virtual void ShowResistances(const RunTestResistances& resistances) = 0;
    virtual void ShowElapsed(const std::string& text) = 0;
    virtual void ShowButtons(const RunTestButtons& buttons) = 0;
};

// The Run Test dialog's logic: a static resistance test on a TKAN or a
// series-1 RKZ meter, its readings captured by hand, once a minute or tap by
// tap, corrected to the reference temperature and saved as a results report.
class dlgRunTest : public TestRunDialog {
public:
    dlgRunTest(TestingContext& context, ModalDialogs& dialogs, RunTestParameters parameters);

    // Opening. The dialog may have ended when this returns (no instrument,
    // another kind of instrument, the current choice cancelled).
    void OnInitDialog(RunTestView& view);

    int StartTest() override;
    void StopTest() override;
    void AcceptReading();
    void RepeatReading();
    void SaveTest() override;
    // code 2 pressed, 3 released; raise true for Raise, false for Lower.
    void RelayButtonEvent(int code, bool raise);
    void OnCorrectionClicked();
    void OnTemperatureChanged(TemperatureField field);
    void PollDevice() override;
    void UpdateButtons();

    bool Running() const { return running_; }
    bool Started() const { return started_; }
    bool Complete() const { return complete_; }
    bool IsTkanRun() const { return tkan_; }
    int CurrentAmps() const { return currentAmps_; }
    int CaptureMinutes() const { return captureMinutes_; }
    const StaticReadings& Readings() const { return readings_; }
    const RunTestValues& Values() const { return values_; }
    const RunTestButtons& Buttons() const { return buttons_; }
    const RunTestResistances& Resistances() const { return shownResistances_; }
    const std::string& StatusText() const { return statusText_; }
    const std::string& ElapsedText() const { return elapsedText_; }

private:
    void ReadBack() override;
    const HeaderTexts& Header() const override { return values_.header; }
    bool HoldsUnsavedData() const override { return readings_.ReadingCount() > 0 || complete_; }
    bool Timed() const { return captureMinutes_ > 0; }
    void Show();
    void SetStatus(const std::string& text);
    void ShowResistances();
    void ShowReadings(int scrollTo);
    void ClearResistances();
    int StartExchange();
    void HandleLine(const std::string& line);
    void TakeResistance(const std::string& line);
    void FollowElapsedAndTimedCapture();
    void Blink();
    std::time_t ClockTime() const;
    std::string ReportText(const std::string& testNumber) const;

    ModalDialogs& dialogs_;
    RunTestParameters parameters_;
    RunTestView* view_ = nullptr;

    RunTestValues values_;
    RunTestButtons buttons_;
    StaticReadings readings_;
    bool tkan_ = false;
    bool rkz_ = false;
    int currentAmps_ = 1;
    int captureMinutes_ = 0;
    std::tm openedAt_{};

    bool running_ = false;
    bool started_ = false;
    bool complete_ = false;
    bool relayHeld_ = false;

    std::array<double, 3> resistances_{};
    std::array<std::string, 3> resistanceTexts_;
    SettleTracker settle_;
    RunTestResistances shownResistances_;
    std::string statusText_;
    std::string elapsedText_;
    std::uint32_t firstReadingTick_ = 0;
    bool haveFirstReading_ = false;
    std::uint32_t lastCaptureTick_ = 0;

    StatusBlink blink_;
};

}  // namespace tkan
