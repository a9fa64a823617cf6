#include "display/TransitionTable.h"

#include <algorithm>
#include <optional>

#include "analysis/TransitionTable.h"
#include "analysis/Transitions.h"

namespace tkan {

namespace {

constexpr std::size_t kOpenCircuitColumn = 9;
constexpr std::size_t kJudgementColumn = 11;

std::string Figure(const std::optional<double>& value, int decimals)
{
    return value ? FixedText(*value, decimals) : std::string();
}

std::string MotorRunText(const TransitionReport& report)
{
    if (!report.motorStartS)
        return "did not run";
    return FixedText(report.motorRunS, kMotorRunDecimals) + " s";
}

TransitionTableRow RowOf(std::string label, const Transition& t)
{
    TransitionTableRow row;
    row.cells = {std::move(label),
                 FixedText(t.startS, kTransitionTimeDecimals),
                 FixedText(t.endS, kTransitionTimeDecimals),
                 FixedText(t.durationMs, kTransitionDurationDecimals),
                 FixedText(t.ripplePct, kTransitionRippleDecimals),
                 FixedText(t.slopeAPerS, kTransitionSlopeDecimals),
                 Figure(t.resistanceBefore, kTransitionResistanceDecimals),
                 Figure(t.resistanceAfter, kTransitionResistanceDecimals),
                 Figure(t.ResistanceChange(), kTransitionResistanceDecimals),
                 t.openCircuit ? "Yes" : "",
                 Figure(t.motorDelayS, kTransitionTimeDecimals),
                 TransitionJudgement(t)};
    row.flagged = t.fails || t.standsOut;
    row.startS = t.startS;
    row.endS = t.endS;
    return row;
}

}  // namespace

TransitionTable BuildTransitionTable(const TransitionReport& main, std::span<const TransitionReport* const> overlays)
{
    TransitionTable table;
    table.motorRun = "Motor run time: " + MotorRunText(main);
    table.headings = {"No.",          "Start s",      "End s",          "Duration ms",
                      "Ripple %",     "Slope A/s",    "R before u-Ohm", "R after u-Ohm",
                      "Change u-Ohm", "Open circuit", "Motor delay s",  "Judgement"};

    std::vector<std::vector<TransitionPair>> matched;
    for (const TransitionReport* overlay : overlays) {
        if (!overlay)
            continue;
        table.motorRun += "    Overlay " + std::to_string(matched.size() + 1) + ": " + MotorRunText(*overlay);
        matched.push_back(MatchTransitions(main, *overlay));
    }
    if (!matched.empty()) {
        table.headings.push_back("Diff ms");
        table.headings.push_back("Diff ripple %");
        table.headings.push_back("Diff slope A/s");
    }
    const std::size_t columns = table.headings.size();
    table.figures.assign(columns, true);
    table.figures[0] = false;
    table.figures[kOpenCircuitColumn] = false;
    table.figures[kJudgementColumn] = false;

    // The longest overlay decides how many numbers there are.
    std::size_t numbers = main.transitions.size();
    for (const auto& pairs : matched)
        numbers = std::max(numbers, pairs.size());
    for (std::size_t n = 0; n < numbers; ++n) {
        const std::string number = std::to_string(n + 1);
        if (n < main.transitions.size()) {
            table.rows.push_back(RowOf(number, main.transitions[n]));
            table.rows.back().cells.resize(columns);
        }
        for (std::size_t o = 0; o < matched.size(); ++o) {
            if (n >= matched[o].size() || !matched[o][n].second)
                continue;
            const TransitionPair& pair = matched[o][n];
            TransitionTableRow row = RowOf(number + " Overlay " + std::to_string(o + 1), *pair.second);
            row.cells.push_back(Figure(pair.DurationDifferenceMs(), kTransitionDurationDecimals));
            row.cells.push_back(Figure(pair.RippleDifferencePct(), kTransitionRippleDecimals));
            row.cells.push_back(Figure(pair.SlopeDifferenceAPerS(), kTransitionSlopeDecimals));
            table.rows.push_back(std::move(row));
        }
    }
    return table;
}

}  // namespace tkan
