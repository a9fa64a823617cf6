#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tkan {

class Prompter;

// The static test currents an instrument offers, by the dialog's index.
inline constexpr std::array<int, 4> kStaticTestCurrents = {1, 5, 10, 40};
inline constexpr std::array<std::string_view, 4> kStaticTestCurrentLabels = {"1 AMP", "5 AMP", "10 AMP", "40 AMP"};
inline constexpr int kDefaultCaptureMinutes = 2;
inline constexpr int kLongestCaptureMinutes = 45;

// What the Select Test Current dialog shows and reads back.
struct TestCurrentValues {
    int currentIndex = 0;
    bool timed = false;
    std::string durationText = std::to_string(kDefaultCaptureMinutes);

    bool operator==(const TestCurrentValues&) const = default;
};

struct TestCurrentEnabled {
    bool currents = false;       // the four current buttons
    bool captureChoice = false;  // Manual / Timed Limit
    bool duration = false;

    bool operator==(const TestCurrentEnabled&) const = default;
};

// The Select Test Current dialog's logic: the static test's current and
// whether readings are captured by hand or once a minute for a number of
// minutes.
class dlgTestCurrent {
public:
    dlgTestCurrent(Prompter& prompter, bool isTkan, bool regulator);

    const TestCurrentValues& Initial() const { return initial_; }
    // Re-evaluated whenever Manual or Timed Limit is clicked.
    TestCurrentEnabled Enabled(const TestCurrentValues& values) const;
    // 1 when the dialog may close with these values; a timed capture outside
    // 1 to 45 minutes is refused with a message and the dialog stays.
    int OnOk(const TestCurrentValues& values);

    int CurrentIndex() const { return currentIndex_; }
    int CurrentAmps() const;
    // 0 for manual capture.
    int DurationMinutes() const { return durationMinutes_; }

private:
    Prompter& prompter_;
    bool isTkan_;
    bool regulator_;
    TestCurrentValues initial_;
    int currentIndex_ = 0;
    int durationMinutes_ = 0;
};

// The "# of Steps" answer of a regulator run: its leading integer, 0 when it
// has none (or a negative one).
int StepsFromAnswer(std::string_view answer);

}  // namespace tkan
