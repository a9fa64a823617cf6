#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "display/GraphFixtures.h"

using namespace tkan;
using namespace tkan::graphtest;

namespace {

int LowestColumn(const std::vector<RecordingCanvas::Line>& lines)
{
    int x = 1 << 30;
    for (const auto& l : lines)
        x = std::min(x, l.x0);
    return x;
}

int HighestColumn(const std::vector<RecordingCanvas::Line>& lines)
{
    int x = -(1 << 30);
    for (const auto& l : lines)
        x = std::max(x, l.x0);
    return x;
}

}  // namespace

TEST(ResistanceEnvelope, OneLinePerColumnFromTheColumnsExtremes)
{
    GraphHarness h;
    // A step from 2450 to 2600 micro-ohms half-way through.
    auto record = MakeDynamic(10, [](int i) { return SampleValues{i < 5000 ? 2450.0 : 2600.0, 10, 0}; });
    h.ShowWholeRecord(*record);
    h.Draw(*record);
    const Rect plot = h.graph.PlotRect();
    const int b = h.graph.GridBottom();
    const int p = h.graph.PixelsPerDivision();

    auto lines = h.canvas.LinesIn(h.ResistanceColour(0));
    EXPECT_EQ(static_cast<int>(lines.size()), plot.width() - 2);
    EXPECT_EQ(LowestColumn(lines), plot.left + 1);
    for (const auto& l : lines) {
        EXPECT_EQ(l.x0, l.x1);
        EXPECT_EQ(l.pen.width, 2);
    }

    const int flatY = h.graph.ResistanceToY(2450, b, p);
    auto left = h.canvas.VerticalLinesAt(plot.left + 10, h.ResistanceColour(0));
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].y0, flatY);
    EXPECT_EQ(left[0].y1, flatY + 1);  // one row still shows

    // The column holding the step spans both levels.
    const int stepX = plot.left + plot.width() / 2 - 1;
    auto step = h.canvas.VerticalLinesAt(stepX, h.ResistanceColour(0));
    ASSERT_EQ(step.size(), 1u);
    EXPECT_EQ(step[0].y0, h.graph.ResistanceToY(2600, b, p));
    EXPECT_EQ(step[0].y1, flatY + 1);
}

TEST(ResistanceEnvelope, ShorterOverlayStopsAtItsEnd)
{
    GraphHarness h;
    auto main = MakeConstant(10, {2450, 10, 0});
    auto overlay = MakeConstant(5, {3000, 10, 0});
    h.ShowWholeRecord(*main);
    h.Draw(*main, {overlay.get()});
    const Rect plot = h.graph.PlotRect();

    auto mainLines = h.canvas.LinesIn(h.ResistanceColour(0));
    auto overlayLines = h.canvas.LinesIn(h.ResistanceColour(1));
    ASSERT_FALSE(overlayLines.empty());
    EXPECT_GT(HighestColumn(mainLines), plot.right - 5);
    // Each record maps the same time span onto its own samples, so the
    // five-second overlay ends half-way.
    EXPECT_NEAR(HighestColumn(overlayLines), plot.left + plot.width() / 2, 2);
    EXPECT_EQ(h.graph.recordIndex, 0);
}

TEST(ResistanceEnvelope, ReloadedRecordNeverShowsItsOldTrace)
{
    GraphHarness h;
    auto record = MakeConstant(10, {2450, 10, 0});
    h.ShowWholeRecord(*record);
    h.Draw(*record);
    const int x = h.graph.PlotRect().left + 50;
    const int before = h.canvas.VerticalLinesAt(x, h.ResistanceColour(0)).at(0).y0;

    // Same record, same size, same buffer: only the bytes change.
    auto replacement = MakeConstant(10, {90000, 10, 0});
    std::copy(replacement->trace.samples.begin(), replacement->trace.samples.end(), record->trace.samples.begin());
    h.Draw(*record);
    const int after = h.canvas.VerticalLinesAt(x, h.ResistanceColour(0)).at(0).y0;
    EXPECT_LT(after, before);
    EXPECT_EQ(after, h.graph.ResistanceToY(90000, h.graph.GridBottom(), h.graph.PixelsPerDivision()));
}

TEST(CurrentMode, LowAtTheBottomHighFiveUnitsBelowTheTop)
{
    GraphHarness h;
    auto main = MakeDynamic(10, [](int i) { return SampleValues{2450, i < 5000 ? 5.0 : 10.0, 3}; });
    auto overlay = MakeConstant(10, {2450, 20, 3});
    h.ShowWholeRecord(*main);
    h.graph.currentMode = true;
    h.Draw(*main, {overlay.get()});
    const Rect plot = h.graph.PlotRect();

    // The range covers every shown record; the band gives way to the plot.
    EXPECT_DOUBLE_EQ(h.graph.currentLow, main->currentMin);
    EXPECT_DOUBLE_EQ(h.graph.currentHigh, overlay->currentMax);
    EXPECT_EQ(h.graph.GridBottom(), plot.bottom);

    auto low = h.canvas.VerticalLinesAt(plot.left + 10, h.ResistanceColour(0));
    ASSERT_EQ(low.size(), 1u);
    EXPECT_EQ(low[0].y0, plot.bottom);
    auto high = h.canvas.VerticalLinesAt(plot.left + 10, h.ResistanceColour(1));
    ASSERT_EQ(high.size(), 1u);
    EXPECT_EQ(high[0].y0, plot.top + 5);

    // No motor band in current mode; the labels show amperes.
    EXPECT_TRUE(h.canvas.LinesIn(h.MotorColour(0)).empty());
    char top[32];
    std::snprintf(top, sizeof top, "%.3lf A", overlay->currentMax);
    ASSERT_NE(h.canvas.FindText(top), nullptr);
    EXPECT_EQ(h.canvas.FindText(top)->y, plot.top - 5);
}

TEST(CurrentMode, ConstantCurrentDoesNotDivideByZero)
{
    GraphHarness h;
    auto record = MakeConstant(4, {2450, 10, 0});
    h.ShowWholeRecord(*record);
    h.graph.currentMode = true;
    h.Draw(*record);
    auto lines = h.canvas.LinesIn(h.ResistanceColour(0));
    ASSERT_FALSE(lines.empty());
    for (const auto& l : lines)
        EXPECT_EQ(l.y0, h.graph.PlotRect().bottom);
}

TEST(MotorCurrentBand, SymmetricAboutItsCentreLine)
{
    GraphHarness h;
    // Half a second of +S, then half a second of -S, repeated.
    auto record = MakeDynamic(4, [](int i) { return SampleValues{2450, 10, (i / 500) % 2 ? -20.0 : 20.0}; });
    h.ShowWholeRecord(*record);
    h.Draw(*record);
    const Rect plot = h.graph.PlotRect();
    const int band = plot.height() / 12;
    const int centre = plot.bottom - band / 2;
    const int half = band / 2 - 5;

    const double s = std::max(std::fabs(record->motorCurrentMin), std::fabs(record->motorCurrentMax));
    auto positive = h.canvas.VerticalLinesAt(plot.left + 5, h.MotorColour(0));
    ASSERT_EQ(positive.size(), 1u);
    EXPECT_EQ(positive[0].y0, centre - static_cast<int>(record->SampleMotorCurrent(0) / s * half));
    EXPECT_EQ(positive[0].y0, centre - half);
    auto negative = h.canvas.VerticalLinesAt(plot.left + plot.width() / 8 + 5, h.MotorColour(0));
    ASSERT_EQ(negative.size(), 1u);
    EXPECT_EQ(negative[0].y1, centre + half + 1);

    const auto* letter = h.canvas.FindText("I");
    ASSERT_NE(letter, nullptr);
    EXPECT_EQ(letter->x, plot.left - 12);
    EXPECT_EQ(letter->y, plot.bottom - 5 - band / 2);
}

TEST(MotorCurrentBand, MotorThatNeverRanIsAFlatCentreLine)
{
    GraphHarness h;
    auto record = MakeConstant(4, {2450, 10, 0});
    ASSERT_EQ(record->motorCurrentMax, 0);
    h.ShowWholeRecord(*record);
    h.Draw(*record);
    const Rect plot = h.graph.PlotRect();
    const int centre = plot.bottom - (plot.height() / 12) / 2;
    auto lines = h.canvas.LinesIn(h.MotorColour(0));
    EXPECT_EQ(static_cast<int>(lines.size()), plot.width() - 2);
    for (const auto& l : lines) {
        EXPECT_EQ(l.y0, centre);
        EXPECT_EQ(l.y1, centre + 1);
    }
}

TEST(MotorCurrentBand, HiddenPerRecordAndFullHeightInMotorMode)
{
    GraphHarness h;
    auto main = MakeDynamic(4, [](int i) { return SampleValues{2450, 10, i % 2 ? -8.0 : 8.0}; });
    auto overlay = MakeConstant(4, {2450, 10, 2});
    h.settings.graphs[1].DisplayCurrent = 0;
    h.ShowWholeRecord(*main);
    h.Draw(*main, {overlay.get()});
    EXPECT_FALSE(h.canvas.LinesIn(h.MotorColour(0)).empty());
    EXPECT_TRUE(h.canvas.LinesIn(h.MotorColour(1)).empty());

    // Motor mode shows every record's motor current over the whole plot and
    // no resistance.
    h.graph.motorCurrentMode = true;
    h.Draw(*main, {overlay.get()});
    const Rect plot = h.graph.PlotRect();
    EXPECT_EQ(h.graph.GridBottom(), plot.bottom);
    EXPECT_TRUE(h.canvas.LinesIn(h.ResistanceColour(0)).empty());
    auto lines = h.canvas.VerticalLinesAt(plot.left + 5, h.MotorColour(0));
    ASSERT_EQ(lines.size(), 1u);
    const int centre = plot.bottom - plot.height() / 2;
    const int half = plot.height() / 2 - 5;
    EXPECT_EQ(lines[0].y0, centre - half);
    EXPECT_EQ(lines[0].y1, centre + half + 1);
    EXPECT_FALSE(h.canvas.LinesIn(h.MotorColour(1)).empty());

    char top[32];
    std::snprintf(top, sizeof top, "%.3lf A", main->motorCurrentMax);
    ASSERT_NE(h.canvas.FindText(top), nullptr);
    std::snprintf(top, sizeof top, "%.3lf A", main->motorCurrentMin);
    EXPECT_EQ(h.canvas.FindText(top)->y, plot.top + 8 * h.graph.PixelsPerDivision() - 5);
}

TEST(StaticLines, SpacingFollowsTheLongestRecord)
{
    GraphHarness h;
    auto main = MakeStatic({1000, 1100, 1200});
    auto longer = MakeStatic({900, 950, 1000, 1050, 1100});
    h.Draw(*main, {longer.get()});
    const Rect plot = h.graph.PlotRect();
    const int spacing = plot.width() / 4;

    ASSERT_EQ(h.canvas.polylines.size(), 2u);
    const auto& mainLine = h.canvas.polylines[0];
    ASSERT_EQ(mainLine.points.size(), 3u);
    EXPECT_EQ(mainLine.pen.colour, h.ResistanceColour(0));
    EXPECT_EQ(mainLine.points[2].x, plot.left + 2 * spacing);
    EXPECT_EQ(mainLine.points[1].y, h.graph.ResistanceToY(1100, h.graph.GridBottom(), h.graph.PixelsPerDivision()));
    EXPECT_EQ(h.canvas.polylines[1].points.size(), 5u);
    EXPECT_EQ(h.canvas.polylines[1].points[4].x, plot.left + 4 * spacing);

    // Test numbers under every position, from the main record's pass.
    const auto* five = h.canvas.FindText("5");
    ASSERT_NE(five, nullptr);
    EXPECT_EQ(five->x, plot.left + 4 * spacing);
    EXPECT_EQ(five->y, plot.bottom + 10);
}

TEST(StaticLines, OneReadingSitsAtTheLeftEdge)
{
    GraphHarness h;
    auto record = MakeStatic({1500});
    h.Draw(*record);
    ASSERT_EQ(h.canvas.polylines.size(), 1u);
    ASSERT_EQ(h.canvas.polylines[0].points.size(), 1u);
    EXPECT_EQ(h.canvas.polylines[0].points[0].x, h.graph.PlotRect().left);
}

TEST(StaticLines, WindingsAndCorrectedValuesFollowTheSettings)
{
    GraphHarness h;
    auto record = MakeStatic({1000, 1100}, 3);
    record->tempCorrected = true;
    h.Draw(*record);
    // R1, R1s, R2, R2s, R3, R3s in that order.
    ASSERT_EQ(h.canvas.polylines.size(), 6u);
    const GraphSettings& g = h.settings.graphs[0];
    const CanvasColour order[] = {g.crResistance, g.crR1S, g.crResistance2, g.crR2S, g.crResistance3, g.crR3S};
    for (std::size_t k = 0; k < 6; ++k)
        EXPECT_EQ(h.canvas.polylines[k].pen.colour, order[k]) << k;

    h.settings.graphs[0].DisplayR2 = 0;
    h.settings.graphs[0].DisplayR3S = 0;
    record->tempCorrected = false;
    h.Draw(*record);
    ASSERT_EQ(h.canvas.polylines.size(), 2u);  // R1 and R3
    EXPECT_EQ(h.canvas.polylines[1].pen.colour, g.crResistance3);

    record->testType = 1;  // V1 only
    h.Draw(*record);
    EXPECT_EQ(h.canvas.polylines.size(), 1u);
}

TEST(PrintedGraph, NoFillNoHelpThickPensAndNoPaleLines)
{
    GraphHarness h;
    h.settings.crForeGround = CanvasRgb(192, 192, 192);
    h.settings.graphs[0].crResistance = CanvasRgb(255, 255, 255);
    auto record = MakeConstant(4, {2450, 10, 3});
    h.ShowWholeRecord(*record);
    h.Draw(*record, {}, true);

    EXPECT_EQ(h.canvas.fonts.at(0).height, 840 / 40);
    for (const auto& box : h.canvas.boxes)
        EXPECT_FALSE(box.brush.has_value());
    ASSERT_EQ(h.canvas.boxes.size(), 1u);
    EXPECT_EQ(h.canvas.boxes[0].pen, (RecordingCanvas::Pen{kCanvasBlack, 8}));
    for (const auto& t : h.canvas.texts) {
        EXPECT_EQ(t.text.find("F1=Help"), std::string::npos);
        EXPECT_EQ(t.colour, kCanvasBlack);
    }
    for (const auto& pen : h.canvas.pens) {
        EXPECT_NE(pen.colour, CanvasRgb(192, 192, 192));
        EXPECT_NE(pen.colour, CanvasRgb(255, 255, 255));
    }
    // The resistance trace came out black and thick.
    int traceColumns = 0;
    for (const auto& l : h.canvas.lines)
        if (l.x0 == h.graph.PlotRect().left + 20 && l.pen.width == 8)
            ++traceColumns;
    EXPECT_EQ(traceColumns, 2);  // resistance and motor current
}

TEST(ScreenGraph, FilledPlotKeyHelpAndFrame)
{
    GraphHarness h;
    auto record = MakeConstant(4, {2450, 10, 3});
    h.ShowWholeRecord(*record);
    h.Draw(*record);

    ASSERT_EQ(h.canvas.boxes.size(), 2u);
    EXPECT_EQ(h.canvas.boxes[0].brush, h.settings.crGraphBG);
    EXPECT_EQ(h.canvas.boxes[0].pen, (RecordingCanvas::Pen{h.settings.crGraphBG, 2}));
    EXPECT_EQ(h.canvas.boxes[1].rect, h.graph.PlotRect());
    EXPECT_FALSE(h.canvas.boxes[1].brush.has_value());
    EXPECT_EQ(h.canvas.boxes[1].pen, (RecordingCanvas::Pen{h.settings.crForeGround, 2}));

    const std::string help =
        "F1=Help  F8=Add-Point  F9=Edit-Points  F5=Scale-Mode F6=Current-Mode F7=Motor-Current    ";
    const auto* line = h.canvas.FindText(help);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->x, 1000 - static_cast<int>(help.size()) * 6);
    EXPECT_EQ(line->y, 0);
    EXPECT_EQ(line->colour, h.settings.crForeGround);

    auto stat = MakeStatic({1000});
    h.Draw(*stat);
    EXPECT_NE(h.canvas.FindText("F1=Help  F5=Scale-Mode      "), nullptr);
    EXPECT_EQ(h.canvas.FindText("SEC"), nullptr);
}

TEST(EmptyRecords, DrawTheirFrameAndNothingElse)
{
    GraphHarness h;
    TestRecord dynamicEmpty;
    dynamicEmpty.testType = 4;
    TestRecord staticEmpty;
    staticEmpty.testType = 2;
    staticEmpty.ComputeStaticRanges();
    for (TestRecord* record : {&dynamicEmpty, &staticEmpty}) {
        for (bool linear : {false, true}) {
            h.graph.Reset();
            h.graph.SetScaleMode(linear);
            h.graph.timeEnd = 10;
            h.Draw(*record, {record});
            EXPECT_TRUE(h.canvas.LinesIn(h.ResistanceColour(0)).empty());
            EXPECT_TRUE(h.canvas.polylines.empty() || std::all_of(h.canvas.polylines.begin(), h.canvas.polylines.end(),
                                                                  [](const auto& p) { return p.points.empty(); }));
            EXPECT_FALSE(h.canvas.boxes.empty());
        }
    }

    // Too small to hold a plot: nothing to see, nothing undefined.
    auto record = MakeConstant(2, {2450, 10, 3});
    h.ShowWholeRecord(*record);
    h.Draw(*record, {}, false, Rect{0, 0, 20, 10});
    h.Draw(*record, {}, false, Rect{0, 0, 0, 0});
}

TEST(GraphSurface, NothingWithoutASurfaceAndTheCursorOnlyOnPaper)
{
    CDisplayTest unbound;
    unbound.DrawGraph(GraphHarness::kPage);  // no surface, no records: no effect

    GraphHarness h;
    auto record = MakeConstant(2, {2450, 10, 3});
    h.graph.Bind(nullptr, h.settings, *record, {}, false);
    h.graph.DrawGraph(GraphHarness::kPage);
    EXPECT_TRUE(h.canvas.lines.empty());

    // A cursor placed on a screen plot twice as wide, a quarter across.
    h.graph.cursor.shown = true;
    h.graph.cursor.x = 500;
    h.graph.cursor.plot = {100, 10, 1900, 800};
    h.ShowWholeRecord(*record);
    h.Draw(*record);
    // The view paints the screen's cursor over the page itself.
    EXPECT_TRUE(h.canvas.LinesIn(kCanvasBlack).empty());

    h.Draw(*record, {}, true);
    ASSERT_FALSE(h.canvas.lines.empty());
    const RecordingCanvas::Line& last = h.canvas.lines.back();
    const Rect plot = h.graph.PlotRect();
    EXPECT_EQ(last.pen.colour, kCanvasBlack);
    EXPECT_EQ(last.x0, plot.left + std::lround(400.0 / 1800 * plot.width()));
    EXPECT_EQ(last.x1, last.x0);
    EXPECT_EQ(last.y0, plot.top);
    EXPECT_EQ(last.y1, plot.bottom);
}
