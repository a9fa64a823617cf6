#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reports/ReadingRow.h"

namespace tkan {

// The temperature constant of the winding's metal.
inline constexpr double kCopperTk = 234.5;
inline constexpr double kAluminumTk = 225;

// The Run Test dialog's temperature entry. Only the Celsius texts enter the
// correction and the report; the Fahrenheit texts are an entry aid.
struct TemperatureEntry {
    bool correctionEnabled = true;
    bool copper = true;
    std::string tmCelsius, tmFahrenheit;
    std::string tsCelsius, tsFahrenheit;

    bool operator==(const TemperatureEntry&) const = default;
};

enum class TemperatureField { TmCelsius, TmFahrenheit, TsCelsius, TsFahrenheit };

// As the dialog opens: Tm 75 F and Ts 167 F with their Celsius texts derived
// (23.9 and 75.00), copper, correction on.
TemperatureEntry InitialTemperatures();

// Rewrites the partner of the field the operator changed: the other scale of
// the same temperature. A text that is not a number counts as 0.
void UpdatePartnerField(TemperatureEntry& entry, TemperatureField changed);

double TkOf(const TemperatureEntry& entry);

// Rmeas x (Ts + Tk) / (Tm + Tk), from the Celsius texts as shown. None when
// Tm + Tk is 0: there is no corrected value, rather than an infinite one.
std::optional<double> CorrectToReference(double rmeas, const TemperatureEntry& entry);

// Which windings a run measures: its test type name says so.
bool MeasuresV2(std::string_view testTypeName);
bool MeasuresV3(std::string_view testTypeName);

// Row `row` (from the top, from 0) of a regulator run with `steps` steps:
// "nL" .. "1L", "N ", "1R" .. "nR".
std::string TapLabel(int row, int steps);

// The latest resistances the instrument reported in this run, in micro-ohms,
// with the texts the dialog shows beside R1=, R2= and R3=. An empty text is a
// winding that has not reported yet.
struct LatestResistances {
    double r1 = 0, r2 = 0, r3 = 0;
    std::string r1Text, r2Text, r3Text;
};

// The readings table of a static run: one row per capture, or per tap
// position in a regulator run, where the rows stand labelled from the start
// and the captures fill them from the top.
class StaticReadings {
public:
    enum class Capture { Taken, LimitReached };

    // An empty table for a run of this type; a regulator run gets its 2n + 1
    // tap rows.
    void Build(std::string testTypeName, bool regulator, int steps);
    // Every reading goes. A regulator run gets its tap rows back, so that the
    // next captures have rows to land in.
    void Discard();

    // Captures the latest values into the pending repeat's row or the next
    // one. `now` is the clock time; in a timed run, reading k is stamped
    // first-reading time + k minutes, however late the capture came.
    Capture Accept(std::time_t now, bool timed, const LatestResistances& latest, const TemperatureEntry& temperatures);
    // The next capture overwrites `row`, whose time and values are cleared now.
    // False for a row the table does not have.
    bool Repeat(int row);
    void CancelRepeat() { pendingRepeat_.reset(); }

    const std::vector<ReadingRow>& Rows() const { return rows_; }
    int ReadingCount() const { return readingCount_; }
    bool RepeatPending() const { return pendingRepeat_.has_value(); }
    // The row the last capture wrote; -1 before any.
    int LastCapturedRow() const { return lastCapturedRow_; }
    const std::string& TestTypeName() const { return testTypeName_; }
    bool Regulator() const { return regulator_; }

private:
    std::string testTypeName_;
    bool regulator_ = false;
    int steps_ = 0;
    std::vector<ReadingRow> rows_;
    int readingCount_ = 0;
    std::optional<int> pendingRepeat_;
    int lastCapturedRow_ = -1;
    std::optional<std::time_t> timedStart_;
};

}  // namespace tkan
