#include "testing/TestCurrent.h"

#include <algorithm>

#include "platform/Prompter.h"
#include "records/TextLines.h"
#include "testing/TestingContext.h"

namespace tkan {

dlgTestCurrent::dlgTestCurrent(Prompter& prompter, bool isTkan, bool regulator)
    : prompter_(prompter), isTkan_(isTkan), regulator_(regulator)
{
}

TestCurrentEnabled dlgTestCurrent::Enabled(const TestCurrentValues& values) const
{
    // A regulator run is captured tap by tap, so by hand.
    return {isTkan_, !regulator_, !regulator_ && values.timed};
}

int dlgTestCurrent::OnOk(const TestCurrentValues& values)
{
    int minutes = 0;
    if (values.timed && !regulator_) {
        const long typed = ReadLeadingInteger(values.durationText, 10);
        if (typed < 1 || typed > kLongestCaptureMinutes) {
            prompter_.Message(MessageStyle::Tkan, "Please enter a range from 1 to 45 minutes");
            return 0;
        }
        minutes = static_cast<int>(typed);
    }
    currentIndex_ = std::clamp(values.currentIndex, 0, static_cast<int>(kStaticTestCurrents.size()) - 1);
    durationMinutes_ = minutes;
    return 1;
}

int dlgTestCurrent::CurrentAmps() const
{
    return kStaticTestCurrents[static_cast<std::size_t>(currentIndex_)];
}

int ModalDialogs::RunTestCurrent(dlgTestCurrent& choice)
{
    return choice.OnOk(choice.Initial());
}

int StepsFromAnswer(std::string_view answer)
{
    return static_cast<int>(std::max(0L, ReadLeadingInteger(answer, 10)));
}

}  // namespace tkan
