#include <gtest/gtest.h>

#include <vector>

#include "analysis/Transitions.h"
#include "display/GraphFixtures.h"
#include "display/TransitionMarks.h"
#include "display/TransitionTable.h"

namespace tkan {
namespace {

using graphtest::GraphHarness;
using graphtest::MakeDynamic;
using graphtest::SampleValues;

// Four seconds of 10 A with a shallow dip at 1.2 s and a deep one at 2.7 s,
// each 30 ms long.
std::unique_ptr<TestRecord> TwoDips()
{
    return MakeDynamic(4, [](int i) {
        double amps = 10;
        if (i >= 1200 && i < 1230)
            amps = 9;
        else if (i >= 2700 && i < 2730)
            amps = 5;
        return SampleValues{2000, amps, 0};
    });
}

TEST(TransitionMarks, NumberEachTransitionOverItsStartAndRedOnesBeyondALimit)
{
    auto record = TwoDips();
    TransitionSettings limits;
    limits.maxRipplePct = 20;
    const TransitionReport report = AnalyseTransitions(*record, limits);
    ASSERT_EQ(report.transitions.size(), 2u);

    GraphHarness h;
    h.ShowWholeRecord(*record);
    h.graph.transitionMarks = &report;
    h.Draw(*record);
    // The numbers take a row of their own: the plot starts a line lower.
    EXPECT_EQ(h.graph.PlotRect().top, 20);

    // 1.2 s of 4 s across the 886 columns from 90; the dip ends at 1.23 s
    // (x 362) and its number is centred over it.
    const CanvasColour plain = h.settings.crForeGround;
    ASSERT_EQ(h.canvas.VerticalLinesAt(355, plain).size(), 1u);
    const auto* first = h.canvas.FindText("1");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->x, 355);
    EXPECT_EQ(first->y, 10);
    EXPECT_EQ(first->colour, plain);

    // 50 % deep against a 20 % limit.
    EXPECT_EQ(h.canvas.VerticalLinesAt(688, kTransitionFailColour).size(), 1u);
    const auto* second = h.canvas.FindText("2");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->colour, kTransitionFailColour);

    // Zoomed past the first transition: only the second is marked.
    h.graph.timeStart = 2;
    h.Draw(*record);
    EXPECT_EQ(h.canvas.FindText("1"), nullptr);
    EXPECT_NE(h.canvas.FindText("2"), nullptr);

    // Paper, and a graph without a report, keep the plot where it was.
    h.Draw(*record, {}, true);
    EXPECT_EQ(h.graph.PlotRect().top, 10);
    EXPECT_EQ(h.canvas.FindText("2"), nullptr);
    h.graph.transitionMarks = nullptr;
    h.Draw(*record);
    EXPECT_EQ(h.graph.PlotRect().top, 10);
}

Transition Made(double start, double durationMs, double ripple, double slope)
{
    Transition t;
    t.startS = start;
    t.endS = start + durationMs / 1000;
    t.durationMs = durationMs;
    t.ripplePct = ripple;
    t.slopeAPerS = slope;
    return t;
}

TEST(TransitionTable, RowsRoundedAsEverywhereJudgedAndMatchedWithTheOverlay)
{
    TransitionReport main;
    main.motorStartS = 0.5;
    main.motorRunS = 3.21456;
    main.transitions.push_back(Made(1.000049, 30.04, 10.00049, 12345.66));
    main.transitions[0].resistanceBefore = 2000.004;
    main.transitions[0].resistanceAfter = 2010.5;
    main.transitions[0].motorDelayS = 0.5;
    main.transitions.push_back(Made(2.5, 31, 50, 250000));
    main.transitions[1].fails = true;
    main.transitions[1].standsOut = true;
    main.transitions[1].openCircuit = true;

    TransitionReport overlay;  // its motor never ran
    overlay.transitions.push_back(Made(1.2, 32.5, 11, 12000));
    overlay.transitions[0].standsOut = true;

    const TransitionTable none = BuildTransitionTable(main, {});
    EXPECT_EQ(none.motorRun, "Motor run time: 3.215 s");
    ASSERT_EQ(none.rows.size(), 2u);
    EXPECT_EQ(none.rows[0].cells, (std::vector<std::string>{"1", "1.0000", "1.0301", "30.0", "10.000", "12345.7",
                                                            "2000.00", "2010.50", "10.50", "", "0.5000", "Pass"}));
    EXPECT_FALSE(none.rows[0].flagged);
    EXPECT_EQ(none.rows[1].cells[9], "Yes");
    EXPECT_EQ(none.rows[1].cells[11], "Fail, stands out");
    EXPECT_TRUE(none.rows[1].flagged);
    EXPECT_DOUBLE_EQ(none.rows[1].startS, 2.5);
    EXPECT_DOUBLE_EQ(none.rows[1].endS, 2.531);

    const TransitionReport* overlays[] = {&overlay};
    const TransitionTable both = BuildTransitionTable(main, overlays);
    EXPECT_EQ(both.motorRun, "Motor run time: 3.215 s    Overlay 1: did not run");
    EXPECT_EQ(both.headings.size(), 15u);
    ASSERT_EQ(both.rows.size(), 3u);
    const std::vector<std::string>& matched = both.rows[1].cells;
    EXPECT_EQ(matched[0], "1 Overlay 1");
    EXPECT_EQ(matched[11], "Stands out");
    EXPECT_EQ((std::vector<std::string>(matched.begin() + 12, matched.end())),
              (std::vector<std::string>{"2.5", "1.000", "-345.7"}));
    // The main record's rows carry no differences; the unmatched second
    // transition has no overlay row.
    EXPECT_EQ(both.rows[0].cells.size(), 15u);
    EXPECT_EQ(both.rows[0].cells[12], "");
    EXPECT_EQ(both.rows[2].cells[0], "2");
}

}  // namespace
}  // namespace tkan
