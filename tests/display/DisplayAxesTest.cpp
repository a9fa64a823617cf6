#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "display/GraphFixtures.h"

using namespace tkan;
using namespace tkan::graphtest;

namespace {

std::vector<std::string> LabelsAtX(const RecordingCanvas& canvas, int x)
{
    std::vector<std::string> labels;
    for (const auto& t : canvas.texts)
        if (t.x == x)
            labels.push_back(t.text);
    return labels;
}

}  // namespace

TEST(GraphLayout, PlotAreaBandAndDivisionsFollowTheFont)
{
    GraphHarness h;
    auto record = MakeConstant(10, {2450, 10, 0});
    h.ShowWholeRecord(*record);
    h.Draw(*record);

    ASSERT_EQ(h.canvas.fonts.size(), 1u);
    EXPECT_EQ(h.canvas.fonts[0].face, "Courier New");
    EXPECT_EQ(h.canvas.fonts[0].weight, kFontBold);
    EXPECT_EQ(h.canvas.fonts[0].height, 840 / 35);

    // Three lines of 10 under the plot for the time axis, one above it.
    EXPECT_EQ(h.graph.PlotRect(), (Rect{90, 10, 976, 810}));
    // A dynamic test keeps a twelfth of the plot for the motor current.
    EXPECT_EQ(h.graph.GridBottom(), 810 - 800 / 12);
    EXPECT_EQ(h.graph.PixelsPerDivision(), (h.graph.GridBottom() - 10) / 8);

    auto stat = MakeStatic({1000});
    h.Draw(*stat);
    EXPECT_EQ(h.graph.GridBottom(), 810);
    EXPECT_EQ(h.graph.PixelsPerDivision(), 800 / 8);
}

TEST(DecadeAxis, ValuesSitOnTheirDecades)
{
    GraphHarness h;
    auto record = MakeStatic({1000});
    h.Draw(*record);
    const int b = h.graph.GridBottom();
    const int p = h.graph.PixelsPerDivision();
    ASSERT_GT(p, 0);

    EXPECT_EQ(h.graph.ResistanceToY(0, b, p), b);
    EXPECT_EQ(h.graph.ResistanceToY(100, b, p), b - p);
    // Exactly 1000 still belongs to the decade below it, at its top.
    EXPECT_EQ(h.graph.ResistanceToY(1000, b, p), b - 2 * p);
    EXPECT_EQ(h.graph.ResistanceToY(50, b, p), b - static_cast<int>(std::log10(5.0) * p));
    // The sample cap of 100 ohms lies one division below the full scale's top.
    EXPECT_EQ(h.graph.ResistanceToY(100000000, b, p), b - 7 * p);
    EXPECT_GT(h.graph.ResistanceToY(100000000, b, p), h.graph.PlotRect().top);

    // Values off the scale are held inside the plot rather than computed
    // from a logarithm that does not exist.
    EXPECT_EQ(h.graph.ResistanceToY(-5, b, p), b);
    EXPECT_EQ(h.graph.ResistanceToY(1e-300, b, p), b);
    EXPECT_EQ(h.graph.ResistanceToY(1e300, b, p), h.graph.PlotRect().top);
    EXPECT_EQ(h.graph.ResistanceToY(std::nan(""), b, p), b);
}

TEST(DecadeAxis, HiddenDecadesShiftTheScale)
{
    GraphHarness h;
    auto record = MakeStatic({1000});
    h.graph.lowestDecade = 2;
    h.graph.divisionCount = 3;
    h.Draw(*record);
    const int b = h.graph.GridBottom();
    const int p = h.graph.PixelsPerDivision();
    EXPECT_EQ(p, 800 / 3);

    EXPECT_EQ(h.graph.ResistanceToY(1000, b, p), b);  // below the lowest decade shown
    EXPECT_EQ(h.graph.ResistanceToY(100000, b, p), b - 2 * p);

    // Labels from the fixed decade list, top to bottom: 1 ohm down to 1 milli-ohm.
    EXPECT_EQ(LabelsAtX(h.canvas, 6), (std::vector<std::string>{"  1 Ohm", "100 m-Ohm", " 10 m-Ohm", "  1 m-Ohm"}));
    const auto* top = h.canvas.FindText("  1 Ohm");
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->y, 10 - 5);
}

TEST(DecadeAxis, FullScaleLabelsAndGrid)
{
    GraphHarness h;
    auto record = MakeStatic({1000});
    h.Draw(*record);
    const int p = h.graph.PixelsPerDivision();

    auto labels = LabelsAtX(h.canvas, 6);
    ASSERT_EQ(labels.size(), 9u);
    EXPECT_EQ(labels.front(), "1000 Ohm");
    EXPECT_EQ(labels[7], "100 u-Ohm");
    // The bottom line stands for 10 micro-ohms and says so.
    EXPECT_EQ(labels.back(), " 10 u-Ohm");
    EXPECT_EQ(h.canvas.FindText(" 10 u-Ohm")->y, 10 + 8 * p - 5);

    // Major lines up from the grid bottom; minor lines at log10(2, 4, 6, 8)
    // inside each division.
    int majors = 0;
    std::vector<int> minors;
    for (const auto& l : h.canvas.HorizontalLines()) {
        if (l.pen.width == 2) {
            ++majors;
            EXPECT_EQ(l.x1, 975);
        } else {
            minors.push_back(l.y0);
            EXPECT_EQ(l.x1, 976);
        }
    }
    EXPECT_EQ(majors, 8);
    ASSERT_EQ(minors.size(), 32u);
    const int a = 10 + p;
    EXPECT_EQ(minors[0], a - static_cast<int>(std::log10(2.0) * p));
    EXPECT_EQ(minors[3], a - static_cast<int>(std::log10(8.0) * p));
}

TEST(LinearAxis, RangeComesFromAllShownRecords)
{
    GraphHarness h;
    auto main = MakeStatic({1000, 1500});
    auto wide = MakeStatic({400, 2000});
    auto empty = MakeStatic({});  // no readings: its range is the "no value" marker
    h.Draw(*main, {empty.get(), wide.get()});
    h.graph.lowestDecade = 3;
    h.graph.SetScaleMode(true);
    EXPECT_EQ(h.graph.divisionCount, 10);
    EXPECT_EQ(h.graph.lowestDecade, 0);
    EXPECT_DOUBLE_EQ(h.graph.resistanceLow, 400);
    EXPECT_DOUBLE_EQ(h.graph.resistanceHigh, 2000);

    h.graph.SetScaleMode(false);
    EXPECT_EQ(h.graph.divisionCount, 8);
    EXPECT_DOUBLE_EQ(h.graph.resistanceLow, 400);  // the decade axis leaves the range alone
}

TEST(LinearAxis, MappingAndLabels)
{
    GraphHarness h;
    auto record = MakeStatic({0, 2000});
    h.graph.SetScaleMode(true);
    h.Draw(*record);
    h.graph.SetScaleMode(true);
    h.Draw(*record);
    const int b = h.graph.GridBottom();
    const int p = h.graph.PixelsPerDivision();
    const int top = h.graph.PlotRect().top;
    EXPECT_EQ(p, 80);

    EXPECT_EQ(h.graph.ResistanceToY(0, b, p), b);
    EXPECT_EQ(h.graph.ResistanceToY(2000, b, p), top);
    EXPECT_EQ(h.graph.ResistanceToY(500, b, p), b - (b - top) / 4);
    EXPECT_EQ(h.graph.ResistanceToY(-100, b, p), b);
    EXPECT_EQ(h.graph.ResistanceToY(5000, b, p), top);

    // Low end at the bottom line, compact texts with zero shown.
    auto labels = LabelsAtX(h.canvas, 6);
    ASSERT_EQ(labels.size(), 11u);
    EXPECT_EQ(labels.front(), "2.0000 m-Ohm");
    EXPECT_EQ(labels[5], "1000.0 u-Ohm");
    EXPECT_EQ(labels.back(), "0 Ohms");
    EXPECT_EQ(h.canvas.FindText("0 Ohms")->y, top + 10 * p - 5);

    // Five minor steps per division on the linear axis.
    std::vector<int> minors;
    for (const auto& l : h.canvas.HorizontalLines())
        if (l.pen.width == 1)
            minors.push_back(l.y0);
    ASSERT_EQ(minors.size(), 40u);
    EXPECT_EQ(minors[0], top + p - p / 5);
    EXPECT_EQ(minors[3], top + p - 4 * (p / 5));
}

TEST(LinearAxis, EmptyRangeMapsToTheBottom)
{
    GraphHarness h;
    auto record = MakeStatic({1200, 1200});
    h.Draw(*record);
    h.graph.SetScaleMode(true);
    h.Draw(*record);
    const int b = h.graph.GridBottom();
    EXPECT_EQ(h.graph.ResistanceToY(1200, b, h.graph.PixelsPerDivision()), b);
    ASSERT_EQ(h.canvas.polylines.size(), 1u);
    for (const Point& point : h.canvas.polylines[0].points)
        EXPECT_EQ(point.y, b);
}

TEST(DecadeRounding, WidensTheRangeToWholeDecades)
{
    struct Case {
        double low, high, roundedLow, roundedHigh;
    };
    const Case cases[] = {
        {50, 80, 0, 100},
        {100, 100, 0, 100},  // "above" is strict
        {101, 101, 100, 1000},
        {2450, 2600, 1000, 10000},
        {10000, 10001, 1000, 100000},
        {20000000, 100000000, 10000000, 100000000},
        {-999, -999, 0, 100},
    };
    for (const Case& c : cases) {
        CDisplayTest graph;
        graph.resistanceLow = c.low;
        graph.resistanceHigh = c.high;
        graph.RoundRangesToDecades();
        EXPECT_DOUBLE_EQ(graph.resistanceLow, c.roundedLow) << c.low;
        EXPECT_DOUBLE_EQ(graph.resistanceHigh, c.roundedHigh) << c.high;
    }

    CDisplayTest linear;
    linear.linearScale = true;
    linear.resistanceLow = 2450;
    linear.resistanceHigh = 2600;
    linear.RoundRangesToDecades();
    EXPECT_DOUBLE_EQ(linear.resistanceLow, 2450);
    EXPECT_DOUBLE_EQ(linear.resistanceHigh, 2600);
}

TEST(GraphState, RestoreAndReset)
{
    GraphHarness h;
    auto record = MakeDynamic(10, [](int i) { return SampleValues{2000.0 + i % 700, 5.0 + (i % 3), 0}; });
    h.Draw(*record);
    h.graph.lowestDecade = 3;
    h.graph.divisionCount = 2;
    h.graph.currentLow = 99;
    h.graph.RestoreRanges();
    EXPECT_EQ(h.graph.lowestDecade, 0);
    EXPECT_EQ(h.graph.divisionCount, 8);
    EXPECT_DOUBLE_EQ(h.graph.resistanceLow, 1000);
    EXPECT_DOUBLE_EQ(h.graph.resistanceHigh, 10000);
    EXPECT_DOUBLE_EQ(h.graph.currentLow, record->currentMin);
    EXPECT_DOUBLE_EQ(h.graph.currentHigh, record->currentMax);

    h.graph.linearScale = true;
    h.graph.currentMode = true;
    h.graph.motorCurrentMode = true;
    h.graph.timeEnd = 10;
    h.graph.recordIndex = 2;
    h.graph.capture = {1, 2, 3, 4};
    h.graph.Reset();
    EXPECT_FALSE(h.graph.linearScale || h.graph.currentMode || h.graph.motorCurrentMode);
    EXPECT_EQ(h.graph.divisionCount, 8);
    EXPECT_EQ(h.graph.recordIndex, 0);
    EXPECT_EQ(h.graph.timeEnd, 0);
    EXPECT_EQ(h.graph.currentHigh, 0);
    EXPECT_EQ(h.graph.capture.motorCurrent, 0);
    // The operator's resistance range survives the next test.
    EXPECT_DOUBLE_EQ(h.graph.resistanceLow, 1000);
    EXPECT_DOUBLE_EQ(h.graph.resistanceHigh, 10000);
}

TEST(TimeAxis, TickStepsFollowTheSpan)
{
    struct Case {
        double start, end;
        int ticks;
        const char* first;
        const char* last;
    };
    const Case cases[] = {
        {0, 6, 12, "0.5", "6.0"},
        {0, 20, 20, "1.0", "20.0"},
        {0, 25.7, 12, "2.0", "24.0"},  // 25 / 10 by integer division
        {10, 30, 20, "11.0", "30.0"},  // one step after the start
        // Zoomed in below a second: four ticks or more, on the step's
        // multiples, labelled to the step's last decimal.
        {0, 0.9, 4, "0.2", "0.8"},
        {2.991, 3.131, 7, "3.00", "3.12"},
        {5.0003, 5.0213, 4, "5.005", "5.020"},
    };
    auto record = MakeConstant(30, {2450, 10, 0});
    for (const Case& c : cases) {
        GraphHarness h;
        h.graph.timeStart = c.start;
        h.graph.timeEnd = c.end;
        h.Draw(*record);
        const Rect plot = h.graph.PlotRect();
        std::vector<const RecordingCanvas::Text*> labels;
        for (const auto* t : h.canvas.TextsAt(plot.bottom + 10))
            if (t->text != "SEC")
                labels.push_back(t);
        ASSERT_EQ(static_cast<int>(labels.size()), c.ticks) << c.end;
        EXPECT_EQ(labels.front()->text, c.first);
        EXPECT_EQ(labels.back()->text, c.last);

        // Each tick is a full-height line, its label centred on it.
        int tickLines = 0;
        for (const auto& l : h.canvas.lines)
            if (l.x0 == l.x1 && l.y0 == plot.bottom && l.y1 == plot.top)
                ++tickLines;
        EXPECT_EQ(tickLines, c.ticks);
        int firstX = plot.left + static_cast<int>((std::atof(c.first) - c.start) / (c.end - c.start) * plot.width());
        EXPECT_EQ(labels.front()->x, firstX - static_cast<int>(std::string(c.first).size()) * 6 / 2);
        ASSERT_NE(h.canvas.FindText("SEC"), nullptr);
        EXPECT_EQ(h.canvas.FindText("SEC")->x, plot.left);
    }
}

TEST(TimeAxis, BackwardsEmptyAndAbsurdSpansDrawNoRunawayTicks)
{
    auto record = MakeConstant(10, {2450, 10, 0});
    const double spans[][2] = {{8, 2}, {0, 0}, {0, 1e12}, {1e300, 1.0000000001e300}};
    for (const auto& span : spans) {
        GraphHarness h;
        h.graph.timeStart = span[0];
        h.graph.timeEnd = span[1];
        h.Draw(*record);
        const int y = h.graph.PlotRect().bottom + 10;
        EXPECT_LE(h.canvas.TextsAt(y).size(), 101u) << span[1];
        EXPECT_NE(h.canvas.FindText("SEC"), nullptr);
    }
    GraphHarness backwards;
    backwards.graph.timeStart = 8;
    backwards.graph.timeEnd = 2;
    backwards.Draw(*record);
    EXPECT_EQ(backwards.canvas.TextsAt(backwards.graph.PlotRect().bottom + 10).size(), 1u);  // only "SEC"
}

TEST(TimeMapping, SamplesTimesAndColumns)
{
    GraphHarness h;
    auto record = MakeDynamic(10, [](int i) { return SampleValues{100.0 + i % 1000, 0, 0}; });
    h.graph.timeStart = 0;
    h.graph.timeEnd = 10;
    h.Draw(*record);
    const Rect plot = h.graph.PlotRect();

    EXPECT_EQ(h.graph.TimeToSample(2.5), 2500);
    EXPECT_DOUBLE_EQ(h.graph.SampleToTime(2500), 2.5);
    bool pastEnd = true;
    EXPECT_EQ(h.graph.XToSample(plot.left, pastEnd), 0);
    EXPECT_FALSE(pastEnd);
    EXPECT_EQ(h.graph.XToSample(plot.left - 50), 0);  // left of the plot counts as its edge
    EXPECT_EQ(h.graph.XToSample(plot.left + plot.width() / 2), 5000);
    EXPECT_EQ(h.graph.XToSample(plot.right, pastEnd), 9999);
    EXPECT_TRUE(pastEnd);

    // A column covers its samples up to the first of the next column.
    int x = plot.left + 100;
    int first = h.graph.XToSample(x);
    int last = h.graph.XToSample(x + 1);
    ValueRange range = h.graph.ColumnRange(SampleQuantity::Resistance, x);
    double low = 1e18, high = 0;
    for (int i = first; i <= last; ++i) {
        low = std::min(low, record->SampleResistance(i));
        high = std::max(high, record->SampleResistance(i));
    }
    EXPECT_DOUBLE_EQ(range.low, low);
    EXPECT_DOUBLE_EQ(range.high, high);

    // Backwards time: each column's second sample lies before its first.
    h.graph.timeStart = 8;
    h.graph.timeEnd = 2;
    ValueRange none = h.graph.ColumnRange(SampleQuantity::Resistance, x);
    EXPECT_EQ(none.low, 0);
    EXPECT_EQ(none.high, 0);
}

TEST(TimeMapping, RecordsWithoutTimeOrSamplesGiveZeros)
{
    GraphHarness h;
    auto noSeconds = MakeConstant(0, {});
    auto inconsistent = MakeConstant(1, {500, 1, 1});
    inconsistent->trace.samples.resize(60);  // the count promises 1000 samples
    for (TestRecord* record : {noSeconds.get(), inconsistent.get()}) {
        h.graph.timeStart = 0;
        h.graph.timeEnd = 5;
        h.Draw(*record);
        EXPECT_EQ(h.graph.TimeToSample(3), record->trace.seconds ? 3000 : 0);
        ValueRange range = h.graph.ColumnRange(SampleQuantity::MotorCurrent, 200);
        EXPECT_EQ(range.low, 0);
        EXPECT_EQ(range.high, 0);
    }
    bool pastEnd = false;
    EXPECT_EQ(h.graph.XToSample(300, pastEnd), 999);
    EXPECT_TRUE(pastEnd);

    CDisplayTest unbound;
    EXPECT_EQ(unbound.XToSample(10, pastEnd), -1);
    EXPECT_TRUE(pastEnd);
    EXPECT_EQ(unbound.SampleToTime(10), 0);
    EXPECT_EQ(unbound.ColumnRange(SampleQuantity::Resistance, 10).high, 0);
}
