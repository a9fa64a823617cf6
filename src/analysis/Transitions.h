#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tkan {

class CAppInfo;
class TestRecord;

// What makes a dip of the test current a transition, and the limits a
// transition is judged by. An absent limit is no limit.
struct TransitionSettings {
    double thresholdPct = 1.0;  // how far below its base the current must fall
    std::optional<double> maxDurationMs;
    std::optional<double> maxRipplePct;
    std::optional<double> maxSlopeAPerS;

    bool operator==(const TransitionSettings&) const = default;
};

// A setting's text as a number: absent when it is empty or not a finite
// number of 0 or more.
std::optional<double> TransitionSettingNumber(const std::string& text);
// A threshold the detection can work with: a percentage above 0 and below
// 100.
bool UsableThreshold(double pct);

// The settings' texts as numbers: a threshold that is not a percentage
// above 0 and below 100 is the default, a limit that is not a number none.
TransitionSettings TransitionSettingsFrom(const CAppInfo& settings);

// One operation of the diverter switch as the test current shows it.
// Resistances are micro-ohms, currents amperes, times seconds.
struct Transition {
    int startIndex = 0;  // the first sample below the threshold
    int endIndex = 0;    // the first sample of the recovery that held
    double startS = 0;
    double endS = 0;
    double durationMs = 0;
    double baseCurrent = 0;  // the current the dip is measured against
    double minCurrent = 0;
    double ripplePct = 0;   // depth of the dip, in percent of the base
    double slopeAPerS = 0;  // steepest fall between two samples
    std::optional<double> resistanceBefore;
    std::optional<double> resistanceAfter;
    bool openCircuit = false;           // the current all but vanished
    std::optional<double> motorDelayS;  // from the motor's start
    bool fails = false;                 // beyond a limit
    bool standsOut = false;             // far beyond the record's other transitions

    std::optional<double> ResistanceChange() const;
};

struct TransitionReport {
    std::vector<Transition> transitions;
    std::optional<double> motorStartS;  // absent when the motor never ran
    double motorRunS = 0;

    bool AnyFlagged() const;
};

// The three decoded signals of a dynamic record, sample by sample, and the
// rate they were taken at. All three spans have the same length.
struct TraceSignals {
    int rate = 1000;
    std::span<const double> current;
    std::span<const double> resistance;
    std::span<const double> motorCurrent;
};

TransitionReport AnalyseTransitions(const TraceSignals& trace, const TransitionSettings& settings);

// The same for a loaded dynamic record; an empty report for a static one.
TransitionReport AnalyseTransitions(const TestRecord& record, const TransitionSettings& settings);

// Two records' transitions side by side (phases, or the up and down runs of
// the tap changer), matched by their order. A transition without a partner
// has the other side absent.
struct TransitionPair {
    int number = 0;  // from 1
    const Transition* first = nullptr;
    const Transition* second = nullptr;

    std::optional<double> DurationDifferenceMs() const;
    std::optional<double> RippleDifferencePct() const;
    std::optional<double> SlopeDifferenceAPerS() const;
};

std::vector<TransitionPair> MatchTransitions(const TransitionReport& first, const TransitionReport& second);

}  // namespace tkan
