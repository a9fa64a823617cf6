#include "reports/PrintedReport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "display/DisplayTest.h"
#include "records/TestRecord.h"
#include "settings/AppInfo.h"
#include "support/DemoFiles.h"
#include "support/RecordingCanvas.h"

namespace tkan {
namespace {

// With a line of 10 and a character of 6 this page has its logo band
// 70 high, the inner rectangle (20, 90)-(1380, 980), the table heading on
// row 17 (y 170) and the footer from y 950.
constexpr Rect kPage{0, 0, 1400, 1000};
// Table heading on row 14: 49 readings or 52 data points a page.
constexpr Rect kShortPage{0, 0, 1000, 700};
// 42 data points a page.
constexpr Rect kShorterPage{0, 0, 1000, 600};

std::string Padded(const std::string& text, std::size_t width)
{
    return text + std::string(width - text.size(), ' ');
}

std::unique_ptr<TestRecord> StaticRecord(int testType, int readings)
{
    auto record = std::make_unique<TestRecord>();
    record->testType = testType;
    record->readingCount = readings;
    for (int k = 0; k < readings; ++k)
        record->readings[static_cast<std::size_t>(k)].r1 = 100 + k;
    return record;
}

class FakeLogo : public CanvasImage {
public:
    int Width() const override { return 200; }
    int Height() const override { return 100; }
};

class PrintedReportTest : public ::testing::Test {
protected:
    std::vector<PrintedPage> Plan(const TestRecord& main, std::vector<const TestRecord*> overlays, const Rect& page)
    {
        PrintedReport report(settings, main, overlays, renderer);
        return report.Plan(canvas, page);
    }

    void Draw(const TestRecord& main, std::vector<const TestRecord*> overlays, int index,
              const CanvasImage* logo = nullptr, const Rect& page = kPage)
    {
        canvas.Clear();
        PrintedReport report(settings, main, overlays, renderer);
        report.SetLogo(logo);
        report.DrawPage(canvas, page, index);
    }

    // "x text" of each text on row y, left to right, joined by "|".
    std::string Row(int y) const
    {
        std::vector<RecordingCanvas::Text> row;
        for (const RecordingCanvas::Text& t : canvas.texts)
            if (t.y == y)
                row.push_back(t);
        std::sort(row.begin(), row.end(), [](const auto& a, const auto& b) { return a.x < b.x; });
        std::string joined;
        for (const RecordingCanvas::Text& t : row)
            joined += (joined.empty() ? "" : "|") + std::to_string(t.x) + " " + t.text;
        return joined;
    }

    bool HasTextAt(int x, int y, const std::string& text) const
    {
        for (const RecordingCanvas::Text& t : canvas.texts)
            if (t.x == x && t.y == y && t.text == text)
                return true;
        return false;
    }

    CAppInfo settings;
    CDisplayTest renderer;
    RecordingCanvas canvas{10, 6};
};

TEST_F(PrintedReportTest, PageCountsAndRoles)
{
    using P = PrintedPage;
    using R = PageRole;

    // A dynamic test's transitions page comes last, even without any.
    TestRecord dynamic;
    dynamic.testType = 5;
    EXPECT_EQ(Plan(dynamic, {}, kPage),
              (std::vector<P>{{R::Graph, 0, 0, 0}, {R::DataPoints, 0, 0, 0}, {R::Transitions, 0, 0, 0}}));

    dynamic.dataPointCount = 50;
    EXPECT_EQ(Plan(dynamic, {}, kShortPage),
              (std::vector<P>{{R::Graph, 0, 0, 0}, {R::DataPoints, 0, 0, 50}, {R::Transitions, 0, 0, 0}}));
    // The transitions table's title takes two of the data points' 42 rows.
    const PageFrame shorter = MeasurePage(canvas, kShorterPage);
    EXPECT_EQ(PlanPages(shorter, dynamic, {}, 41), (std::vector<P>{{R::Graph, 0, 0, 0},
                                                                   {R::DataPoints, 0, 0, 42},
                                                                   {R::DataPoints, 0, 42, 8},
                                                                   {R::Transitions, 0, 0, 40},
                                                                   {R::Transitions, 0, 40, 1}}));

    // Null entries are not overlays.
    auto main = StaticRecord(2, 3);
    auto first = StaticRecord(2, 2);
    auto second = StaticRecord(2, 0);
    EXPECT_EQ(
        Plan(*main, {first.get(), nullptr, second.get()}, kPage),
        (std::vector<P>{{R::Readings, 0, 0, 3}, {R::Readings, 1, 0, 2}, {R::Readings, 2, 0, 0}, {R::Graph, 0, 0, 0}}));

    // Readings that do not fit go on over a further page.
    auto fifty = StaticRecord(1, 50);
    EXPECT_EQ(Plan(*fifty, {}, kShortPage),
              (std::vector<P>{{R::Readings, 0, 0, 49}, {R::Readings, 0, 49, 1}, {R::Graph, 0, 0, 0}}));
    EXPECT_EQ(Plan(*fifty, {}, kPage), (std::vector<P>{{R::Readings, 0, 0, 50}, {R::Graph, 0, 0, 0}}));
}

TEST_F(PrintedReportTest, HeaderBlockLinesWithTheirColonsAligned)
{
    auto main = StaticRecord(18, 3);
    main->tapsPerSide = 1;
    main->header = {"Northgrid", "Elm Road", "T2",           "ABB", "UZE",          "1234",
                    "",          "J. Ode",   "Dec 10, 2026", "",    "main.tst-tkan"};
    main->tempCorrected = true;
    main->measureTemp = 21.5;
    main->referenceTemp = 75;
    main->tempConstant = 234.5;
    auto overlay = StaticRecord(1, 1);
    overlay->header.fileName = "old.tst-tkan";

    Draw(*main, {overlay.get()}, 0);
    // Left column: titles end at x 25 + 13 characters, where the values start.
    EXPECT_TRUE(HasTextAt(25, 105, "     FILENAME"));
    EXPECT_TRUE(HasTextAt(103, 105, Padded(": main.tst-tkan", 32)));
    EXPECT_TRUE(HasTextAt(25, 115, "         DATE"));
    EXPECT_TRUE(HasTextAt(103, 115, Padded(": Dec 10, 2026", 32)));
    EXPECT_TRUE(HasTextAt(25, 125, "      COMPANY"));
    EXPECT_TRUE(HasTextAt(25, 135, "      STATION"));
    EXPECT_TRUE(HasTextAt(103, 145, Padded(": T2", 32)));
    EXPECT_TRUE(HasTextAt(103, 155, Padded(": V1,V2 Static LTC Test", 32)));
    // Right column 40 characters along, the overlays after the maker.
    EXPECT_TRUE(HasTextAt(265, 105, "          MFR"));
    EXPECT_TRUE(HasTextAt(343, 105, Padded(": ABB", 32) + "  Overlay 1 (old.tst-tkan)"));
    EXPECT_TRUE(HasTextAt(265, 115, "        MODEL"));
    EXPECT_TRUE(HasTextAt(343, 125, Padded(": 1234", 32)));
    EXPECT_TRUE(HasTextAt(265, 135, "     OPERATOR"));
    EXPECT_TRUE(HasTextAt(343, 135, Padded(": J. Ode", 32)));
    // Three lines below OPERATOR.
    EXPECT_TRUE(HasTextAt(265, 165, "   MEAS. TEMP"));
    EXPECT_TRUE(HasTextAt(343, 165,
                          ": 21.5   Reference Temp: 75.0 [\xB0"
                          "C]  Tk: 234.5"));
    EXPECT_EQ(canvas.fonts.front().face, "MS Sans Serif");
    EXPECT_EQ(canvas.fonts.front().height, 13);  // 890 / 66

    // A tall page keeps room for 150 characters across: the font shrinks
    // from 890 / 66 to fit 660 units.
    Draw(*main, {}, 0, nullptr, Rect{0, 0, 700, 1000});
    ASSERT_EQ(canvas.fonts.size() >= 2, true);
    EXPECT_EQ(canvas.fonts[1].height, 13 * 660 / 900);

    main->tempCorrected = false;
    Draw(*main, {}, 0);
    EXPECT_EQ(canvas.FindText("   MEAS. TEMP"), nullptr);
    EXPECT_TRUE(HasTextAt(343, 105, Padded(": ABB", 32)));
}

TEST_F(PrintedReportTest, ReadingsTableOnItsTabStops)
{
    auto main = StaticRecord(3, 1);
    StaticReading& r = main->readings[0];
    r.timeText = "10:15:30";
    r.r1 = 1500;
    r.r1s = 1600;
    r.r2 = 250;
    r.r2s = 260;
    r.r3 = 2500000;
    r.r3s = 2600000;
    main->notesText = "first\t";
    main->tempCorrected = true;

    Draw(*main, {}, 0);
    EXPECT_EQ(Row(170), "30 Test|90 Time|174 R1|276 R1s|378 R2|480 R2s|582 R3|684 R3s|786 Notes");
    // The label and the note start at their stops; the values (17
    // characters, 102 units) end at theirs: 120, 270, 372, 474, 576, 678, 780.
    EXPECT_EQ(Row(180),
              "30  1|72 10:15:30|168 1.5000 m-Ohm     |270 1.6000 m-Ohm     |372 250.00 u-Ohm     |"
              "474 260.00 u-Ohm     |576 2.5000 Ohms      |678 2.6000 Ohms      |786 first");

    // Uncorrected: the corrected columns stay empty.
    main->tempCorrected = false;
    Draw(*main, {}, 0);
    EXPECT_EQ(Row(180),
              "30  1|72 10:15:30|168 1.5000 m-Ohm     |372 250.00 u-Ohm     |576 2.5000 Ohms      |786 first");
}

TEST_F(PrintedReportTest, OverlayPagesLabelTheirRowsByTheMainTestsTaps)
{
    auto main = StaticRecord(17, 3);
    main->tapsPerSide = 1;
    auto overlay = StaticRecord(1, 3);

    Draw(*main, {overlay.get()}, 1);
    EXPECT_TRUE(HasTextAt(30, 180, " 1L"));
    EXPECT_TRUE(HasTextAt(30, 190, " N"));
    EXPECT_TRUE(HasTextAt(30, 200, " 1R"));
}

TEST_F(PrintedReportTest, ContinuedReadingsRepeatTheHeading)
{
    auto fifty = StaticRecord(1, 50);
    Draw(*fifty, {}, 0, nullptr, kShortPage);
    EXPECT_TRUE(HasTextAt(30, 630, "49"));
    EXPECT_EQ(canvas.FindText("50"), nullptr);

    Draw(*fifty, {}, 1, nullptr, kShortPage);
    EXPECT_TRUE(HasTextAt(30, 140, "Test"));
    EXPECT_TRUE(HasTextAt(30, 150, "50"));
    EXPECT_EQ(canvas.FindText("49"), nullptr);
    EXPECT_NE(canvas.FindText("TKAN Software Version: 1.13"), nullptr);
}

TEST_F(PrintedReportTest, DataPointsTableOnItsTabStopsWithoutFooter)
{
    TestRecord dynamic;
    dynamic.testType = 5;
    dynamic.dataPointCount = 1;
    dynamic.dataPoints[0] = {1.25, 1500, "tap 3", 0, 0};

    Draw(dynamic, {}, 1);
    EXPECT_EQ(Row(170), "30 Point|90 Time|192 Resistance|294 Comment");
    EXPECT_EQ(Row(180), "30 1|90 1.250|192 1.5000 m-Ohm     |294 tap 3");
    EXPECT_EQ(canvas.FindText("TKAN Software Version: 1.13"), nullptr);
}

TEST_F(PrintedReportTest, TransitionsPageListsEachJudgedByTheSettings)
{
    TestRecord dynamic;
    ASSERT_EQ(test::BuildDemoDynamic(dynamic, 20, 3), 1);
    settings.TransitionMaxMs = "290";

    Draw(dynamic, {}, 2);
    EXPECT_EQ(Row(170), "30 Transitions|240 Motor run time: 16.600 s");
    // Numbers end at their stops (19, 32, 49, 62, 76, 96 and 116
    // characters), rounded as tkan-cli transitions rounds them.
    EXPECT_EQ(Row(190),
              "30 No.|60 Start (s)|150 End (s)|216 Duration (ms)|312 Ripple (%)|390 Slope (A/s)|"
              "480 R before (u-Ohm)|606 R after (u-Ohm)|720 Open circuit|804 Judgement");
    EXPECT_EQ(Row(200),
              "30 1|78 4.9520|156 5.2540|264 302.0|342 6.224|426 131.1|534 2450.00|654 2488.00|720 No|804 Fail");
    EXPECT_EQ(Row(210),
              "30 2|72 10.9525|150 11.2335|264 281.0|342 6.104|426 122.9|534 2488.00|654 2526.00|720 No|804 Pass");
    EXPECT_EQ(canvas.FindText("TKAN Software Version: 1.13"), nullptr);

    // Past the last page nothing is drawn.
    Draw(dynamic, {}, 3);
    EXPECT_TRUE(canvas.texts.empty());
}

TEST_F(PrintedReportTest, FooterCentredWithItsSecondLineFromTheSettings)
{
    auto main = StaticRecord(1, 1);
    Draw(*main, {}, 0);
    // Centred between x 20 and 1380 - 8 characters.
    EXPECT_TRUE(HasTextAt(595, 950, "TKAN Software Version: 1.13"));
    EXPECT_EQ(canvas.fonts.back().face, "Courier New");
    EXPECT_EQ(canvas.fonts.back().weight, kFontBold);
    EXPECT_EQ(canvas.fonts.back().height, 10);
    EXPECT_EQ(Row(960), "");

    settings.ReportFooterLine = "Footer line two";
    Draw(*main, {}, 0);
    EXPECT_TRUE(HasTextAt(631, 960, "Footer line two"));
}

TEST_F(PrintedReportTest, GraphPageFramesAndPrintsTheGraphInBlack)
{
    auto main = StaticRecord(1, 3);
    settings.crForeGround = CanvasRgb(192, 192, 192);
    FakeLogo logo;

    Draw(*main, {}, 1, &logo);
    ASSERT_EQ(canvas.pictures.size(), 1u);
    EXPECT_EQ(canvas.pictures[0].rect, (Rect{0, 0, 140, 70}));  // 0.7 of the picture fills the band's height

    ASSERT_GE(canvas.boxes.size(), 2u);
    EXPECT_EQ(canvas.boxes[0].rect, (Rect{20, 90, 1380, 980}));
    EXPECT_EQ(canvas.boxes[0].pen, (RecordingCanvas::Pen{kCanvasBlack, 5}));
    EXPECT_FALSE(canvas.boxes[0].brush.has_value());
    // Between the header and the footer, printed: no key help, no fill, a
    // black frame 8 units wide.
    EXPECT_EQ(renderer.PlotRect(), (Rect{110, 205, 1356, 920}));
    EXPECT_EQ(canvas.boxes.back().rect, renderer.PlotRect());
    EXPECT_EQ(canvas.boxes.back().pen, (RecordingCanvas::Pen{kCanvasBlack, 8}));
    EXPECT_EQ(canvas.FindText("F1=Help  F5=Scale-Mode      "), nullptr);
    EXPECT_TRUE(canvas.fills.empty());
    EXPECT_NE(canvas.FindText("TKAN Software Version: 1.13"), nullptr);
    // The renderer lets go of the page's canvas.
    EXPECT_EQ(renderer.Surface(), nullptr);
    EXPECT_FALSE(renderer.Printing());

    Draw(*main, {}, 1);
    EXPECT_TRUE(canvas.pictures.empty());
}

}  // namespace
}  // namespace tkan
