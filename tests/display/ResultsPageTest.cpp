#include "display/ResultsPage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/DisplayTest.h"
#include "records/TestRecord.h"
#include "settings/AppInfo.h"
#include "support/DemoFiles.h"
#include "support/TempDir.h"

namespace tkan {
namespace {

// Fixed metrics: 8 units a character, 20 a line, whatever the font.
class PageCanvas : public Canvas {
public:
    struct Text {
        int x, y;
        std::string text;
    };

    void SetPen(CanvasColour, int) override {}
    void SetBrush(CanvasColour) override {}
    void SetNoBrush() override {}
    TextMetrics SelectFont(std::string_view face, int, int height) override
    {
        fonts.emplace_back(face);
        heights.push_back(height);
        return Metrics();
    }
    TextMetrics Metrics() const override { return {20, 8}; }
    int TextWidth(std::string_view text) const override { return static_cast<int>(text.size()) * 8; }
    void MoveTo(int, int) override {}
    void LineTo(int, int) override { ++lines; }
    void Polyline(std::span<const Point>) override { ++lines; }
    void Rectangle(const Rect& rect) override { rectangles.push_back(rect); }
    void FillRect(const Rect& rect, CanvasColour) override { fills.push_back(rect); }
    void SetTextColour(CanvasColour) override {}
    void SetTextBackground(CanvasColour, bool) override {}
    void DrawText(int x, int y, std::string_view text) override { texts.push_back({x, y, std::string(text)}); }
    void SetXorMode(bool) override {}

    const Text* Find(std::string_view prefix) const
    {
        for (const Text& t : texts)
            if (t.text.starts_with(prefix))
                return &t;
        return nullptr;
    }

    std::vector<std::string> fonts;
    std::vector<int> heights;
    std::vector<Text> texts;
    std::vector<Rect> rectangles;
    std::vector<Rect> fills;
    int lines = 0;
};

constexpr Rect kClient{0, 0, 1600, 1040};

class ResultsPageTest : public ::testing::Test {
protected:
    void Load(test::DemoKind kind, const DemoParameters& params = {})
    {
        std::string path = dir.File("t.test");
        ASSERT_EQ(test::WriteDemoTest(path, kind, params), 1);
        ASSERT_EQ(record.LoadTestFile(path), 1);
    }

    ScreenPageLayout Draw(bool loaded, bool graph, std::span<const TestRecord* const> overlays = {})
    {
        return DrawScreenPage(canvas, kClient, settings, record, overlays, loaded, graph, renderer);
    }

    test::TempDir dir;
    CAppInfo settings;
    TestRecord record;
    CDisplayTest renderer;
    PageCanvas canvas;
};

TEST_F(ResultsPageTest, HeaderBlockSitsOnTheCharacterGrid)
{
    Load(test::DemoKind::Static);
    ASSERT_TRUE(record.tempCorrected);
    ScreenPageLayout layout = Draw(true, false);

    EXPECT_EQ(canvas.fonts.front(), "MS Sans Serif");
    EXPECT_EQ(canvas.heights.front(), (1040 - 40) / 50);
    EXPECT_EQ(layout.inner, (Rect{20, 20, 1580, 1020}));
    EXPECT_EQ(canvas.rectangles.front(), layout.inner);

    const PageCanvas::Text* file = canvas.Find("Filename: ");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->text, "Filename: t.test    Date: Mar 05, 2024");
    EXPECT_EQ(file->x, 6 * 8);
    EXPECT_EQ(file->y, 2 * 20);
    const PageCanvas::Text* type = canvas.Find("Type: ");
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->text, "Type: V1,V2 Static LTC Test");
    EXPECT_EQ(type->x, 55 * 8);

    // A file name too long for its column pushes the type along rather than
    // under it.
    record.header.fileName = "Harlow T2 after overhaul.tst-tkan";
    canvas.texts.clear();
    Draw(true, false);
    file = canvas.Find("Filename: ");
    type = canvas.Find("Type: ");
    ASSERT_TRUE(file && type);
    EXPECT_EQ(type->x, file->x + static_cast<int>(file->text.size()) * 8 + 8);

    // Rows 1.5 lines apart from row 4; labels and edits in two columns.
    const PageCanvas::Text* circuit = canvas.Find("Circuit:");
    ASSERT_NE(circuit, nullptr);
    EXPECT_EQ(circuit->x, 6 * 8);
    EXPECT_EQ(circuit->y, 80 + 2 * 30);
    const auto& company = layout.edits[static_cast<int>(HeaderField::Company)];
    EXPECT_TRUE(company.placed);
    EXPECT_EQ(company.rect, (Rect{18 * 8, 80, 18 * 8 + 160, 80 + 25}));
    EXPECT_EQ(company.text, "Northfield Power Co");
    const auto& serial = layout.edits[static_cast<int>(HeaderField::Serial)];
    EXPECT_EQ(serial.rect.left, 70 * 8);
    EXPECT_EQ(serial.rect.top, 80 + 60);
    EXPECT_EQ(serial.text, "CE-20417-B");

    const auto& refTemp = layout.edits[static_cast<int>(HeaderField::RefTemp)];
    EXPECT_TRUE(refTemp.placed);
    EXPECT_EQ(refTemp.rect.top, 80 + 90);
    EXPECT_EQ(refTemp.text, "75.0");
    ASSERT_NE(canvas.Find("Ref Temp [\xB0"
                          "C]:"),
              nullptr);
    const PageCanvas::Text* measure = canvas.Find("Measure Temp:");
    ASSERT_NE(measure, nullptr);
    EXPECT_EQ(measure->text,
              "Measure Temp: 24.5 [\xB0"
              "C]   Tk: 234.50");
    EXPECT_EQ(measure->y, 80 + 120);

    EXPECT_EQ(layout.resultsTop, 14 * 20);
    EXPECT_TRUE(layout.gridShown);
    EXPECT_FALSE(layout.graphShown);
    EXPECT_EQ(layout.gridRect, (Rect{30, 280, 1570, 1010}));
}

TEST_F(ResultsPageTest, WithoutTemperaturesThereIsNoReferenceEditAndNoMeasureLine)
{
    DemoParameters params;
    params.hasTemperatures = false;
    Load(test::DemoKind::Static, params);
    ScreenPageLayout layout = Draw(true, false);
    EXPECT_FALSE(layout.edits[static_cast<int>(HeaderField::RefTemp)].placed);
    EXPECT_EQ(canvas.Find("Ref Temp"), nullptr);
    EXPECT_EQ(canvas.Find("Measure Temp"), nullptr);
}

TEST_F(ResultsPageTest, TheGraphTakesTheResultsAreaAndOverlaysAreNamed)
{
    Load(test::DemoKind::Dynamic);
    TestRecord overlay;
    overlay.header.fileName = "other.test";
    const TestRecord* overlays[] = {&overlay, nullptr};
    ScreenPageLayout layout = Draw(true, true, overlays);
    EXPECT_TRUE(layout.graphShown);
    EXPECT_FALSE(layout.gridShown);
    EXPECT_EQ(layout.graphRect, (Rect{20, 280 + 40, 1580, 1020}));
    EXPECT_EQ(canvas.Find("Type: ")->text, "Type: LTC 2000      Overlay 1 (other.test)");
    EXPECT_GT(canvas.lines, 100);  // the graph was drawn
    EXPECT_EQ(renderer.PageMetrics().lineHeight, 20);
}

TEST_F(ResultsPageTest, NothingIsDrawnWithoutATest)
{
    ScreenPageLayout layout = Draw(false, false);
    EXPECT_TRUE(canvas.texts.empty());
    EXPECT_TRUE(canvas.fills.empty());
    for (const EditPlacement& edit : layout.edits)
        EXPECT_FALSE(edit.placed);
    EXPECT_FALSE(layout.gridShown);
    EXPECT_FALSE(layout.graphShown);
    EXPECT_EQ(renderer.Surface(), &canvas);
}

TEST_F(ResultsPageTest, GridOfABinaryRecordHasEightColumnsAndTapLabels)
{
    Load(test::DemoKind::Static);
    record.header.fileName = "x";
    ResultsGridContents grid = BuildResultsGrid(record);
    EXPECT_EQ(grid.columnCount, 8);
    EXPECT_EQ(grid.headings, (std::vector<std::string>{"TIME    ", "R1    ", "R1s    ", "R2    ", "R2s    ", "R3    ",
                                                       "R3s    ", "Notes           "}));
    ASSERT_EQ(grid.cells.size(), 17u);
    EXPECT_EQ(grid.rowHeadings[0], " 8L");
    EXPECT_EQ(grid.rowHeadings[8], " N");
    EXPECT_EQ(grid.rowHeadings[16], " 8R");
    const auto& row = grid.cells[0];
    EXPECT_EQ(row[0], std::string(15, ' '));
    EXPECT_EQ(row[1], FormatResistance(record.readings[0].r1, false, false));
    EXPECT_EQ(row[2], FormatResistance(record.readings[0].r1s, false, false));
    EXPECT_EQ(row[4], FormatResistance(record.readings[0].r2s, false, false));
    EXPECT_EQ(row[5], std::string(12, ' '));  // no third winding
    EXPECT_EQ(row[6], std::string(12, ' '));
    EXPECT_TRUE(grid.ReadOnly(0));
    EXPECT_TRUE(grid.ReadOnly(6));
    EXPECT_FALSE(grid.ReadOnly(7));

    record.tempCorrected = false;
    EXPECT_EQ(BuildResultsGrid(record).cells[0][2], std::string(12, ' '));
}

TEST_F(ResultsPageTest, GridOfATextRecordHasSixColumnsWithItsNotesInTheLast)
{
    Load(test::DemoKind::StaticText);
    ASSERT_TRUE(record.textForm);
    record.notesText = "first\t\tthird\t";
    ResultsGridContents grid = BuildResultsGrid(record);
    EXPECT_EQ(grid.columnCount, 6);
    EXPECT_EQ(grid.notesColumn, 5);
    EXPECT_EQ(grid.headings.back(), "Notes           ");
    EXPECT_EQ(grid.rowHeadings[0], " 1");
    EXPECT_EQ(grid.cells[0][5], "first");
    EXPECT_EQ(grid.cells[1][5], "");
    EXPECT_EQ(grid.cells[2][5], "third");
}

class CommitEditsTest : public ::testing::Test {
protected:
    CommitEditsTest()
    {
        record.testType = 18;
        record.readingCount = 3;
        record.tempCorrected = true;
        record.referenceTemp = 75.04;
        record.header.company = "Company with a name longer than twenty";
        record.header.station = "Harlow";
        for (int i = 0; i < kHeaderEditCount; ++i) {
            std::string shown = HeaderEditText(static_cast<HeaderField>(i), record);
            edits[static_cast<std::size_t>(i)] = {true, shown, shown};
        }
    }

    HeaderEditValue& Edit(HeaderField field) { return edits[static_cast<std::size_t>(field)]; }

    TestRecord record;
    std::array<HeaderEditValue, kHeaderEditCount> edits{};
};

TEST_F(CommitEditsTest, OnlyChangedEditsReachTheRecord)
{
    EXPECT_EQ(Edit(HeaderField::Company).shown, "Company with a name ");
    Edit(HeaderField::Station).current = "Harlow North";
    CommitEdits(record, edits, nullptr);
    EXPECT_EQ(record.header.company, "Company with a name longer than twenty");
    EXPECT_EQ(record.header.station, "Harlow North");
    EXPECT_DOUBLE_EQ(record.referenceTemp, 75.04);

    Edit(HeaderField::Company).current = "";
    Edit(HeaderField::RefTemp).current = " 20.5";
    CommitEdits(record, edits, nullptr);
    EXPECT_EQ(record.header.company, "");
    EXPECT_DOUBLE_EQ(record.referenceTemp, 20.5);

    Edit(HeaderField::RefTemp).current = "warm";
    CommitEdits(record, edits, nullptr);
    EXPECT_EQ(record.referenceTemp, 0);
    Edit(HeaderField::RefTemp).current = "nan";
    record.referenceTemp = 5;
    CommitEdits(record, edits, nullptr);
    EXPECT_EQ(record.referenceTemp, 0);
}

TEST_F(CommitEditsTest, AReferenceEditLeftFromAnEarlierTestDoesNotChangeAnUncorrectedOne)
{
    record.tempCorrected = false;
    record.referenceTemp = 0;
    Edit(HeaderField::RefTemp).current = "75.0";
    Edit(HeaderField::RefTemp).shown = "";
    CommitEdits(record, edits, nullptr);
    EXPECT_EQ(record.referenceTemp, 0);
}

TEST_F(CommitEditsTest, NotesAreJoinedInRowOrderAndCannotSplit)
{
    std::vector<std::string> notes{"tap 8L", "worn\tcontact", "line\r\nbreak"};
    CommitEdits(record, edits, &notes);
    EXPECT_EQ(record.notesText, "tap 8L\tworn contact\tline  break\t");
    EXPECT_EQ(record.ReadingNote(1), "worn contact");

    std::vector<std::string> short_{"only"};
    CommitEdits(record, edits, &short_);
    EXPECT_EQ(record.notesText, "only\t\t\t");

    record.testType = 4;  // a dynamic test has no notes column
    record.notesText = "kept";
    CommitEdits(record, edits, &notes);
    EXPECT_EQ(record.notesText, "kept");
}

TEST_F(CommitEditsTest, EnterRecomputesTheCorrectedReadings)
{
    record.measureTemp = 20;
    record.tempConstant = 234.5;
    record.readings[0].r1 = 1000;
    record.readings[2].r2 = 2000;
    record.readings[1].r3 = 3000;
    Edit(HeaderField::RefTemp).current = "75";
    ResultsGridContents grid = CommitHeaderEnter(record, edits, nullptr);
    double factor = (75 + 234.5) / (234.5 + 20);
    EXPECT_DOUBLE_EQ(record.readings[0].r1s, 1000 * factor);
    EXPECT_DOUBLE_EQ(record.readings[2].r2s, 2000 * factor);
    EXPECT_DOUBLE_EQ(record.readings[1].r3s, 3000 * factor);
    EXPECT_EQ(grid.cells[0][2], FormatResistance(1000 * factor, false, false));
}

}  // namespace
}  // namespace tkan
