#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/Transitions.h"

namespace tkan {

// The columns a transition is listed in wherever it is listed (the command
// line, the printed page, the workbook), with the decimals each is rounded
// to: finer than the instrument resolves, coarse enough to read. Rounding in
// one place makes the same figures come out everywhere.
inline constexpr int kTransitionTimeDecimals = 4;        // seconds
inline constexpr int kTransitionDurationDecimals = 1;    // milliseconds
inline constexpr int kTransitionRippleDecimals = 3;      // percent
inline constexpr int kTransitionSlopeDecimals = 1;       // amperes per second
inline constexpr int kTransitionResistanceDecimals = 2;  // micro-ohms

struct TransitionColumn {
    const char* key;      // machine-readable name
    const char* heading;  // for people, with the unit
    int decimals;
};
inline constexpr TransitionColumn kTransitionColumns[] = {
    {"index", "No.", 0},
    {"start_s", "Start (s)", kTransitionTimeDecimals},
    {"end_s", "End (s)", kTransitionTimeDecimals},
    {"duration_ms", "Duration (ms)", kTransitionDurationDecimals},
    {"ripple_pct", "Ripple (%)", kTransitionRippleDecimals},
    {"slope_a_per_s", "Slope (A/s)", kTransitionSlopeDecimals},
    {"r_before_uohm", "R before (u-Ohm)", kTransitionResistanceDecimals},
    {"r_after_uohm", "R after (u-Ohm)", kTransitionResistanceDecimals},
    {"open_circuit", "Open circuit", 0},
};
inline constexpr char kJudgementHeading[] = "Judgement";
// The motor's run time, in seconds, is given to the millisecond.
inline constexpr int kMotorRunDecimals = 3;

// Transition `number` (from 1) as the columns' values, unrounded; a
// resistance that could not be measured is absent. Open circuit is 1 or 0.
std::vector<std::optional<double>> TransitionValues(int number, const Transition& t);

// `value` rounded to `decimals`, never "-0".
double RoundedTo(double value, int decimals);
// The same as text with exactly `decimals` decimals.
std::string FixedText(double value, int decimals);

// "Pass", "Fail", "Stands out" or "Fail, stands out".
std::string TransitionJudgement(const Transition& t);

}  // namespace tkan
