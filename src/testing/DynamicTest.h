#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "device/RovaDevice.h"
#include "records/HeaderFields.h"
#include "testing/TestRunDialog.h"
#include "testing/TestRunStatus.h"

namespace tkan {

class ModalDialogs;
struct TestingContext;

enum TapControl { kNoTapControl = 0, kRaiseTap = 1, kLowerTap = 2 };
enum RelayMode { kLatch = 0, kMomentary = 1 };

inline constexpr std::array<std::string_view, 5> kTestLengthChoices = {"15 Seconds", "30 Seconds", "60 Seconds",
                                                                       "120 Seconds", "240 Seconds"};
// The currents an instrument offers, by whether it has the 40 A option.
std::vector<std::string> TestCurrentChoices(bool is40Amp);

// The leading decimal integer of a text ("15 Seconds" is 15); 0 without one.
int LeadingInteger(std::string_view text);

// The values bound to the dialog's controls.
struct DynamicTestValues {
    std::array<std::string, kHeaderFieldCount> header;  // in kHeaderFields order
    int lengthIndex = 0;
    int currentIndex = 0;
    int tapControl = kNoTapControl;
    int relayMode = kLatch;

    bool operator==(const DynamicTestValues&) const = default;
};

struct DynamicTestButtons {
    bool startTest = false;
    bool stopTest = false;
    bool saveTest = false;
    bool latch = false;
    bool momentary = false;
    bool raiseLower = false;

    bool operator==(const DynamicTestButtons&) const = default;
};

// What the Dynamic Test dialog shows and reads back.
class DynamicTestView : public TestRunView {
public:
    virtual void ShowValues(const DynamicTestValues& values) = 0;
    virtual DynamicTestValues ReadValues() = 0;
    virtual void SetCurrentChoices(const std::vector<std::string>& choices) = 0;
    virtual void ShowStatus(const std::string& text) = 0;
    virtual void ShowButtons(const DynamicTestButtons& buttons) = 0;
};

// The Dynamic Test dialog's logic: starts a dynamic test on a TKAN, follows
// its status lines, drives the tap changer's relays, stops it at the chosen
// length and saves it through the transfer.
class dlgDynamicTest : public TestRunDialog {
public:
    dlgDynamicTest(TestingContext& context, ModalDialogs& dialogs);

    // Opening. The dialog may have ended when this returns (no instrument,
    // not a TKAN); Ended() says so.
    void OnInitDialog(DynamicTestView& view);

    int StartTest() override;
    void StopTest() override;
    void SaveTest() override;
    void OnTapControlClicked();
    void RelayButtonEvent(int code);
    void PollDevice() override;
    void UpdateButtons();

    // Read by the caller once the dialog has ended.
    bool Saved() const { return saved_; }
    const std::string& SavedPath() const { return savedPath_; }

    bool Running() const { return running_; }
    bool Ready() const { return ready_; }
    int TestLength() const { return testLength_; }
    const std::string& StatusText() const { return statusText_; }
    const std::string& BlinkText() const { return blink_.Text(); }
    const DynamicTestValues& Values() const { return values_; }
    const DynamicTestButtons& Buttons() const { return buttons_; }

private:
    void ReadBack() override;
    const HeaderTexts& Header() const override { return values_.header; }
    bool HoldsUnsavedData() const override { return ready_; }
    void Show();
    void SetStatus(const std::string& text);
    void Refresh();
    int StartExchange();
    void HandleLine(const std::string& line);
    void CountDown(const std::string& line);
    void Blink();
    void LinkLost();
    RelayCommand TapRelay() const;

    ModalDialogs& dialogs_;
    DynamicTestView* view_ = nullptr;

    DynamicTestValues values_;
    std::vector<std::string> currentChoices_;
    DynamicTestButtons buttons_;
    std::string statusText_;

    bool running_ = false;
    bool ready_ = false;
    int testLength_ = 0;
    StatusBlink blink_;
    // Raise / Lower pressed and not yet released.
    bool relayHeld_ = false;
};

}  // namespace tkan
