#pragma once

#include <span>
#include <string>
#include <vector>

namespace tkan {

struct TransitionReport;

// One line of the transitions table: a transition of the main record or,
// under it, the same transition of an overlay with its differences.
struct TransitionTableRow {
    std::vector<std::string> cells;
    bool flagged = false;  // beyond a limit or standing out
    // Where the transition lies on the time axis, for zooming to it.
    double startS = 0;
    double endS = 0;
};

// What the view shows of a dynamic test instead of its graph, as texts.
struct TransitionTable {
    std::string motorRun;  // the line above the table
    std::vector<std::string> headings;
    // Per column: figures, to be lined up on the right, rather than words.
    std::vector<bool> figures;
    std::vector<TransitionTableRow> rows;
};

// The main record's transitions, one row each; with overlays, each
// overlay's transition of the same number follows with its differences
// from the main record's. Figures are rounded as every other output rounds
// them.
TransitionTable BuildTransitionTable(const TransitionReport& main, std::span<const TransitionReport* const> overlays);

}  // namespace tkan
