#include "display/ResultsPage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "display/DisplayTest.h"
#include "records/TestRecord.h"
#include "records/TextLines.h"
#include "settings/AppInfo.h"

namespace tkan {

namespace {

// The page's character grid.
constexpr int kFilenameRow = 2;
constexpr int kTypeColumn = 55;
constexpr int kLeftLabelColumn = 6;
constexpr int kLeftEditColumn = 18;
constexpr int kRightLabelColumn = 55;
constexpr int kRightEditColumn = 70;
constexpr int kFirstFieldRow = 4;
// The results start this many lines below the Filename row.
constexpr int kResultsRowsBelowFilename = 12;
constexpr int kPageMargin = 20;
constexpr int kGridMargin = 30;

std::string TrimRight(std::string text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return text;
}

// The row of the header block (from 0), 1.5 lines apart.
int FieldRowY(const ScreenPageLayout& layout, int index)
{
    int step = layout.metrics.lineHeight + layout.metrics.lineHeight / 2;
    return layout.Row(kFirstFieldRow) + index * step;
}

struct FieldSpot {
    HeaderField field;
    std::string TestHeader::*text;  // null for the reference temperature
    const char* label;
    int labelColumn;
    int editColumn;
    int row;
};

constexpr std::array<FieldSpot, kHeaderEditCount> kFieldSpots{{
    {HeaderField::Company, &TestHeader::company, "Company:", kLeftLabelColumn, kLeftEditColumn, 0},
    {HeaderField::Station, &TestHeader::station, "Station:", kLeftLabelColumn, kLeftEditColumn, 1},
    {HeaderField::Circuit, &TestHeader::circuit, "Circuit:", kLeftLabelColumn, kLeftEditColumn, 2},
    {HeaderField::Operator, &TestHeader::operatorName, "Operator:", kLeftLabelColumn, kLeftEditColumn, 3},
    {HeaderField::Mfr, &TestHeader::manufacturer, "Mfr:", kRightLabelColumn, kRightEditColumn, 0},
    {HeaderField::Model, &TestHeader::model, "Model:", kRightLabelColumn, kRightEditColumn, 1},
    {HeaderField::Serial, &TestHeader::serialNumber, "Serial:", kRightLabelColumn, kRightEditColumn, 2},
    {HeaderField::RefTemp, nullptr,
     "Ref Temp [\xB0"
     "C]:",
     kRightLabelColumn, kRightEditColumn, 3},
}};

// A field's spot is found by its place in HeaderField.
static_assert([] {
    for (std::size_t i = 0; i < kFieldSpots.size(); ++i)
        if (static_cast<std::size_t>(kFieldSpots[i].field) != i)
            return false;
    return true;
}());

std::string ResistanceCell(bool applies, double value)
{
    return applies ? FormatResistance(value, false, false) : std::string(12, ' ');
}

std::string CleanNote(std::string note)
{
    for (char& c : note)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return note;
}

}  // namespace

int HeaderFontHeight(const Rect& client)
{
    return (client.height() - 40) / 50;
}

const char* HeaderEditLabel(HeaderField field)
{
    return kFieldSpots.at(static_cast<std::size_t>(field)).label;
}

std::string HeaderEditText(HeaderField field, const TestRecord& record)
{
    const FieldSpot& spot = kFieldSpots.at(static_cast<std::size_t>(field));
    std::string text;
    if (!spot.text)
        text = FormatNumber("%2.1lf", record.referenceTemp);
    else
        text = TrimRight(record.header.*spot.text);
    if (text.size() > static_cast<std::size_t>(kHeaderEditMaxLength))
        text.resize(kHeaderEditMaxLength);
    return text;
}

ScreenPageLayout LayoutScreenPage(const TextMetrics& metrics, const Rect& client, const TestRecord& main,
                                  bool testLoaded, bool graphShown)
{
    ScreenPageLayout layout;
    layout.metrics = metrics;
    layout.client = client;
    layout.inner = {client.left + kPageMargin, client.top + kPageMargin, client.right - kPageMargin,
                    client.bottom - kPageMargin};
    layout.testLoaded = testLoaded;
    if (!testLoaded)
        return layout;

    const int editWidth = kHeaderEditMaxLength * metrics.averageWidth;
    const int editHeight = metrics.lineHeight + metrics.lineHeight / 4;
    for (std::size_t i = 0; i < kFieldSpots.size(); ++i) {
        const FieldSpot& spot = kFieldSpots[i];
        EditPlacement& edit = layout.edits[i];
        edit.placed = spot.field != HeaderField::RefTemp || main.tempCorrected;
        int x = layout.Column(spot.editColumn);
        int y = FieldRowY(layout, spot.row);
        edit.rect = {x, y, x + editWidth, y + editHeight};
        if (edit.placed)
            edit.text = HeaderEditText(spot.field, main);
    }

    layout.resultsTop = layout.Row(kFilenameRow + kResultsRowsBelowFilename);
    layout.graphShown = graphShown;
    if (graphShown)
        layout.graphRect = {layout.inner.left, layout.resultsTop + 2 * metrics.lineHeight, layout.inner.right,
                            layout.inner.bottom};
    layout.gridShown = !main.IsDynamic() && !graphShown;
    layout.transitionsShown = main.IsDynamic() && !graphShown;
    layout.gridRect = {client.left + kGridMargin, layout.resultsTop, client.right - kGridMargin,
                       client.bottom - kGridMargin};
    return layout;
}

ScreenPageLayout DrawScreenPage(Canvas& canvas, const Rect& client, const CAppInfo& settings, const TestRecord& main,
                                std::span<const TestRecord* const> overlays, bool testLoaded, bool graphShown,
                                CDisplayTest& renderer)
{
    renderer.Bind(&canvas, settings, main, overlays, false);
    TextMetrics metrics = canvas.SelectFont(kHeaderFontFace, kFontNormal, HeaderFontHeight(client));
    ScreenPageLayout layout = LayoutScreenPage(metrics, client, main, testLoaded, graphShown);
    renderer.SetPageMetrics(metrics);
    if (!testLoaded)
        return layout;

    canvas.FillRect(client, settings.crBackground);
    canvas.SetTextColour(settings.crForeGround);
    canvas.SetTextBackground(settings.crBackground, true);
    canvas.SetPen(settings.crForeGround, 1);
    canvas.SetBrush(settings.crBackground);
    canvas.Rectangle(layout.inner);

    const TestHeader& header = main.header;
    const std::string fileLine = "Filename: " + header.fileName + "    Date: " + header.testDate;
    canvas.DrawText(layout.Column(kLeftLabelColumn), layout.Row(kFilenameRow), fileLine);
    // A long file name would run under the type: the type then moves right.
    const int typeX =
        std::max(layout.Column(kTypeColumn),
                 layout.Column(kLeftLabelColumn) + canvas.TextWidth(fileLine) + canvas.Metrics().averageWidth);
    std::string type = "Type: " + main.TestTypeName();
    int shown = 0;
    for (const TestRecord* overlay : overlays) {
        if (!overlay)
            continue;
        if (++shown > kMaxOverlays)
            break;
        type += "      Overlay " + std::to_string(shown) + " (" + overlay->header.fileName + ")";
    }
    canvas.DrawText(typeX, layout.Row(kFilenameRow), type);

    for (std::size_t i = 0; i < kFieldSpots.size(); ++i) {
        const FieldSpot& spot = kFieldSpots[i];
        if (!layout.edits[i].placed)
            continue;
        canvas.DrawText(layout.Column(spot.labelColumn), FieldRowY(layout, spot.row), spot.label);
    }
    if (main.tempCorrected) {
        char text[128];
        std::snprintf(text, sizeof text,
                      "Measure Temp: %2.1lf [\xB0"
                      "C]   Tk: %2.2lf",
                      main.measureTemp, main.tempConstant);
        canvas.DrawText(layout.Column(kRightLabelColumn), FieldRowY(layout, 4), text);
    }

    if (layout.graphShown)
        renderer.DrawGraph(layout.graphRect);
    return layout;
}

void ResetForNewTest(CDisplayTest& renderer, const TestRecord& main, std::span<const TestRecord* const> overlays,
                     bool testLoaded)
{
    renderer.Reset();
    if (!testLoaded || !main.IsDynamic())
        return;
    renderer.timeEnd = FullTimeScaleEnd(main, overlays);
}

int ResultsGridColumnCount(const TestRecord& record)
{
    return record.textForm ? 6 : 8;
}

ResultsGridContents BuildResultsGrid(const TestRecord& record)
{
    ResultsGridContents grid;
    grid.columnCount = ResultsGridColumnCount(record);
    grid.notesColumn = grid.columnCount - 1;
    grid.headings = {"TIME    ", "R1    ", "R1s    ", "R2    ", "R2s    "};
    if (grid.columnCount == 8) {
        grid.headings.push_back("R3    ");
        grid.headings.push_back("R3s    ");
    }
    grid.headings.push_back("Notes           ");

    const int rows = std::min(std::max(record.readingCount, 0), kMaxReadings);
    const bool corrected = record.tempCorrected;
    for (int i = 0; i < rows; ++i) {
        const StaticReading& r = record.readings[static_cast<std::size_t>(i)];
        grid.rowHeadings.push_back(record.ReadingLabel(i));
        char time[64];
        std::snprintf(time, sizeof time, "%-10s", r.timeText.c_str());
        std::vector<std::string> row{
            time,
            ResistanceCell(true, r.r1),
            ResistanceCell(corrected, r.r1s),
            ResistanceCell(record.HasV2(), r.r2),
            ResistanceCell(record.HasV2() && corrected, r.r2s),
        };
        if (grid.columnCount == 8) {
            row.push_back(ResistanceCell(record.HasV3(), r.r3));
            row.push_back(ResistanceCell(record.HasV3() && corrected, r.r3s));
        }
        row.push_back(record.ReadingNote(i));
        grid.cells.push_back(std::move(row));
    }
    return grid;
}

double ParseReferenceTemp(std::string_view text)
{
    std::size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t'))
        ++start;
    if (start < text.size() && text[start] == '+')
        ++start;
    double value = 0;
    auto [end, error] = std::from_chars(text.data() + start, text.data() + text.size(), value);
    (void)end;
    if (error != std::errc() || !std::isfinite(value))
        return 0;
    return value;
}

void CommitEdits(TestRecord& record, const std::array<HeaderEditValue, kHeaderEditCount>& edits,
                 const std::vector<std::string>* notes)
{
    for (std::size_t i = 0; i < kFieldSpots.size(); ++i) {
        const HeaderEditValue& edit = edits[i];
        if (!edit.exists || edit.current == edit.shown)
            continue;
        const FieldSpot& spot = kFieldSpots[i];
        if (!spot.text) {
            if (record.tempCorrected)
                record.referenceTemp = ParseReferenceTemp(edit.current);
        } else {
            record.header.*spot.text = edit.current;
        }
    }

    if (notes && !record.IsDynamic()) {
        std::string text;
        const std::size_t rows = static_cast<std::size_t>(std::min(std::max(record.readingCount, 0), kMaxReadings));
        for (std::size_t i = 0; i < rows; ++i) {
            if (i < notes->size())
                text += CleanNote((*notes)[i]);
            text += '\t';
        }
        record.notesText = std::move(text);
    }
}

ResultsGridContents CommitHeaderEnter(TestRecord& record, const std::array<HeaderEditValue, kHeaderEditCount>& edits,
                                      const std::vector<std::string>* notes)
{
    CommitEdits(record, edits, notes);
    record.ApplyCorrection();
    return BuildResultsGrid(record);
}

}  // namespace tkan
