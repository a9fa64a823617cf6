#include "display/GraphInteraction.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "display/GraphFixtures.h"
#include "display/ViewDocument.h"
#include "support/RecordingPrompter.h"

using namespace tkan;
using namespace tkan::graphtest;

namespace {

class FakeDocument : public ViewDocument {
public:
    explicit FakeDocument(TestRecord& record) : main(&record) {}

    TestRecord& Main() override { return *main; }
    const TestRecord& Main() const override { return *main; }
    bool TestLoaded() const override { return true; }
    std::array<const TestRecord*, 2> ShownOverlays() const override { return overlays; }
    bool GraphShown() const override { return main->IsDynamic() || showGraph; }
    void ToggleGraph() override { showGraph = !showGraph; }

    TestRecord* main;
    std::array<const TestRecord*, 2> overlays{};
    bool showGraph = false;
};

// 10 s at 1000 samples/s on the harness's plot (90..976, 886 px wide):
// column x starts at sample (x - 90) x 10000 / 886, rounded. The winding
// steps from 2.45 to 4.9 milliohm halfway; the motor runs from 2 s to 6 s.
std::unique_ptr<TestRecord> StepRecord(double low = 2450, double high = 4900)
{
    return MakeDynamic(10, [=](int i) {
        return SampleValues{i < 5000 ? low : high, i < 5000 ? 2.048 : 4.096, i >= 2000 && i < 6000 ? 1.38 : 0.0};
    });
}

class GraphInteractionTest : public ::testing::Test {
protected:
    explicit GraphInteractionTest(std::unique_ptr<TestRecord> record = StepRecord())
        : main(std::move(record)), doc(*main), interaction(h.graph, doc, h.settings, prompter, lock)
    {
        interaction.repaint = [this](bool page) { repaints.push_back(page); };
        Redraw();
    }

    void Redraw()
    {
        std::vector<const TestRecord*> shown;
        for (const TestRecord* overlay : doc.overlays)
            if (overlay)
                shown.push_back(overlay);
        if (h.graph.timeEnd == 0)
            h.ShowWholeRecord(*main);
        h.Draw(*main, shown);
    }

    void Drag(int x0, int y0, int x1, int y1, MouseState held, bool shiftAtRelease = false)
    {
        interaction.MouseMoved(x0, y0, held);
        interaction.MouseMoved(x1, y1, held);
        interaction.MouseMoved(x1, y1, {false, false, shiftAtRelease});
    }

    std::unique_ptr<TestRecord> main;
    GraphHarness h;
    FakeDocument doc;
    test::RecordingPrompter prompter;
    std::recursive_mutex lock;
    GraphInteraction interaction;
    std::vector<bool> repaints;
};

TEST_F(GraphInteractionTest, ALeftDragZoomsTimeEitherWayAndADoubleClickRestoresIt)
{
    Drag(300, 400, 100, 400, {true, false, false});
    EXPECT_DOUBLE_EQ(h.graph.timeStart, 0.113);
    EXPECT_DOUBLE_EQ(h.graph.timeEnd, 2.370);
    ASSERT_FALSE(repaints.empty());
    EXPECT_TRUE(repaints.back());

    interaction.DoubleClicked(true);
    Redraw();
    Drag(100, 400, 300, 400, {true, false, false});
    EXPECT_DOUBLE_EQ(h.graph.timeStart, 0.113);
    EXPECT_DOUBLE_EQ(h.graph.timeEnd, 2.370);

    interaction.DoubleClicked(true);
    EXPECT_EQ(h.graph.timeStart, 0);
    EXPECT_EQ(h.graph.timeEnd, 10);
    EXPECT_FALSE(h.graph.cursor.shown);
}

TEST_F(GraphInteractionTest, ShiftMeasuresBetweenTwoCursorsAndKeepsTheScale)
{
    Drag(313, 400, 650, 400, {true, false, true}, true);
    EXPECT_EQ(h.graph.timeEnd, 10);
    EXPECT_FALSE(h.graph.cursor.shown);
    ASSERT_TRUE(h.graph.readout.shown);
    EXPECT_EQ(h.graph.readout.line1[0], "T1=2.518 s\tR1=2.4500 m-Ohm\tI=2.048 Amp\tMtr I=1.4 Amp");
    EXPECT_EQ(h.graph.readout.line2[0], "T2=6.322 s\tR2=4.9000 m-Ohm\tI=4.096 Amp\tMtr I=0.0 Amp\t(Delta: 3.804 s)");

    // The next move without a button goes back to one cursor.
    interaction.MouseMoved(313, 400, {});
    EXPECT_EQ(h.graph.readout.line1[0], "Time=2.518 s\tRes=2.4500 m-Ohm\tI=2.048 Amp\tMtr I= 1.4 Amp");
    EXPECT_TRUE(h.graph.readout.line2[0].empty());

    h.graph.currentMode = true;
    Redraw();
    interaction.MouseMoved(313, 400, {});
    EXPECT_EQ(h.graph.readout.line1[0], "Time=2.518 s\tRes=2.4500 m-Ohm\tI=2.048 Amp");
    Drag(313, 400, 650, 400, {true, false, true}, true);
    EXPECT_EQ(h.graph.readout.line1[0], "T1=2.518 s\tR1=2.4500 m-Ohm\tI=2.048 Amp");
    EXPECT_EQ(h.graph.readout.line2[0], "T2=6.322 s\tI=4.096 Amp\t(Delta: 3.804 s)");
}

TEST_F(GraphInteractionTest, OverlaysGetTheirOwnBoxesAndF8MarksTheMainRecord)
{
    auto overlay = StepRecord(1200, 1300);
    doc.overlays = {overlay.get(), nullptr};
    Redraw();
    h.graph.SetPageMetrics({20, 8});
    interaction.SetPage(GraphHarness::kPage);

    Drag(313, 400, 650, 400, {true, false, true}, true);
    EXPECT_EQ(h.graph.readout.line1[1], "Overlay 1\tRes=1.2000 m-Ohm\tI=2.048 Amp\tMtr I=1.4 Amp");
    // The delta goes with the last record's second line.
    EXPECT_EQ(h.graph.readout.line2[0], "T2=6.322 s\tR2=4.9000 m-Ohm\tI=4.096 Amp\tMtr I=0.0 Amp");
    EXPECT_EQ(h.graph.readout.line2[1], "Overlay 1\tRes=1.3000 m-Ohm\tI=4.096 Amp\tMtr I=0.0 Amp\t(Delta: 3.804 s)");

    interaction.MouseMoved(313, 400, {});
    main->dataPoints[0].comment = "left over from a deleted point";
    EXPECT_TRUE(interaction.KeyReleased(GraphKey::F8, false));
    ASSERT_EQ(main->dataPointCount, 1);
    const DataPoint& point = main->dataPoints[0];
    EXPECT_DOUBLE_EQ(point.time, 2.518);
    EXPECT_DOUBLE_EQ(point.resistance, 2450);
    EXPECT_DOUBLE_EQ(point.current, 2.048);
    EXPECT_DOUBLE_EQ(point.motorCurrent, 1.38);
    EXPECT_EQ(point.comment, "");

    // Boxes side by side, each in its record's colour, 3 characters apart.
    h.canvas.Clear();
    interaction.PaintOverlay(h.canvas);
    const int top = 10 - 5 * 20;
    const auto* time = h.canvas.FindText("Time=2.518 s");
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->x, 10);
    EXPECT_EQ(time->y, top);
    EXPECT_EQ(time->colour, h.ResistanceColour(0));
    // The next field two characters after the first, a rule halfway.
    const auto* res = h.canvas.FindText("Res=2.4500 m-Ohm");
    ASSERT_NE(res, nullptr);
    EXPECT_EQ(res->x, 10 + 12 * 6 + 2 * 6);
    EXPECT_EQ(h.canvas.VerticalLinesAt(10 + 12 * 6 + 6, h.settings.crForeGround).size(), 1u);
    const auto* overlayText = h.canvas.FindText("Overlay 1");
    ASSERT_NE(overlayText, nullptr);
    EXPECT_EQ(overlayText->colour, h.ResistanceColour(1));
    const RecordingCanvas::Box& firstBox = h.canvas.boxes.at(0);
    EXPECT_EQ(firstBox.rect.left, 5);
    EXPECT_EQ(firstBox.rect.top, top - 5);
    EXPECT_EQ(firstBox.rect.bottom, top + 10 + 5);
    EXPECT_EQ(overlayText->x, firstBox.rect.right + 3 * 6);
}

TEST_F(GraphInteractionTest, DecadeZoomCountsFromWhatIsShown)
{
    // Eight divisions of 91 pixels above the motor band: y 465..555 is the
    // third from the bottom, 283..373 the fifth.
    ASSERT_EQ(h.graph.PixelsPerDivision(), 91);
    Drag(400, 500, 400, 300, {false, true, false});
    EXPECT_EQ(h.graph.lowestDecade, 2);
    EXPECT_EQ(h.graph.divisionCount, 3);
    Redraw();
    std::vector<std::string> labels;
    for (const auto& text : h.canvas.texts)
        if (text.x == 6)
            labels.push_back(text.text);
    EXPECT_EQ(labels, (std::vector<std::string>{"  1 Ohm", "100 m-Ohm", " 10 m-Ohm", "  1 m-Ohm"}));

    // The middle one of the three shown is the fourth decade of the scale.
    const int p = h.graph.PixelsPerDivision();
    Drag(400, 10 + p + 5, 400, 10 + 2 * p - 5, {false, true, false});
    EXPECT_EQ(h.graph.lowestDecade, 3);
    EXPECT_EQ(h.graph.divisionCount, 1);

    interaction.DoubleClicked(false);
    EXPECT_EQ(h.graph.lowestDecade, 0);
    EXPECT_EQ(h.graph.divisionCount, 8);
}

TEST_F(GraphInteractionTest, ADraggedCurrentRangeStaysUntilRestored)
{
    EXPECT_TRUE(interaction.KeyReleased(GraphKey::F6, false));
    Redraw();
    ASSERT_EQ(h.graph.PlotRect(), (Rect{90, 10, 976, 810}));
    Drag(400, 210, 400, 610, {false, true, false});
    EXPECT_DOUBLE_EQ(h.graph.currentHigh, 3.584);
    EXPECT_DOUBLE_EQ(h.graph.currentLow, 2.56);
    Redraw();
    EXPECT_DOUBLE_EQ(h.graph.currentHigh, 3.584);

    interaction.DoubleClicked(false);
    Redraw();
    EXPECT_DOUBLE_EQ(h.graph.currentHigh, 4.096);
    EXPECT_DOUBLE_EQ(h.graph.currentLow, 2.048);
}

TEST_F(GraphInteractionTest, TheFiftyFirstPointIsRefused)
{
    main->dataPointCount = 50;
    interaction.MouseMoved(313, 400, {});
    interaction.KeyReleased(GraphKey::F8, false);
    EXPECT_EQ(main->dataPointCount, 50);
    EXPECT_EQ(prompter.Texts(), (std::vector<std::string>{"Maximum number of data points exceeded"}));
}

TEST_F(GraphInteractionTest, OutsideThePlotTheMarksGoAndArrowsStepTheCursor)
{
    interaction.MouseMoved(313, 400, {});
    EXPECT_TRUE(interaction.KeyReleased(GraphKey::Right, false));
    EXPECT_EQ(h.graph.cursor.x, 314);
    EXPECT_EQ(h.graph.readout.line1[0].substr(0, 12), "Time=2.529 s");
    EXPECT_TRUE(interaction.KeyReleased(GraphKey::Left, true));
    EXPECT_EQ(h.graph.cursor.x, 304);
    EXPECT_FALSE(repaints.back());

    interaction.MouseMoved(50, 400, {});
    EXPECT_FALSE(h.graph.cursor.shown);
    EXPECT_FALSE(h.graph.readout.shown);
    EXPECT_TRUE(interaction.OverlayParts().empty());
}

TEST_F(GraphInteractionTest, CtrlWheelZoomsAroundTheCursor)
{
    interaction.WheelZoom(313, 400, 1);
    const double fraction = (313.0 - 90) / 886;
    EXPECT_DOUBLE_EQ(h.graph.timeEnd - h.graph.timeStart, 8);
    EXPECT_NEAR(h.graph.timeStart + fraction * 8, fraction * 10, 1e-9);
    interaction.WheelZoom(313, 400, -5);
    EXPECT_EQ(h.graph.timeStart, 0);
    EXPECT_EQ(h.graph.timeEnd, 10);
}

class StaticGraphTest : public GraphInteractionTest {
protected:
    StaticGraphTest() : GraphInteractionTest(MakeStatic({1000, 2000})) {}
};

TEST_F(StaticGraphTest, ModeKeysOnAStaticTestAndThePageKeys)
{
    EXPECT_TRUE(interaction.KeyReleased(GraphKey::F6, false));
    EXPECT_TRUE(interaction.KeyReleased(GraphKey::F7, false));
    EXPECT_FALSE(h.graph.currentMode);
    EXPECT_FALSE(h.graph.motorCurrentMode);
    EXPECT_TRUE(repaints.empty());
    interaction.KeyReleased(GraphKey::F5, false);
    EXPECT_TRUE(h.graph.linearScale);

    EXPECT_FALSE(interaction.KeyReleased(GraphKey::PageUp, false));
    EXPECT_TRUE(interaction.KeyReleased(GraphKey::PageDown, false));
    EXPECT_TRUE(doc.showGraph);
    EXPECT_TRUE(interaction.KeyReleased(GraphKey::Home, false));
    EXPECT_FALSE(doc.showGraph);
}

}  // namespace
