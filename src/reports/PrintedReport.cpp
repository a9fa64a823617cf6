#include "reports/PrintedReport.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

#include "analysis/TransitionTable.h"
#include "display/DisplayTest.h"
#include "display/ResultsPage.h"
#include "records/TestRecord.h"
#include "settings/AppInfo.h"

namespace tkan {

namespace {

constexpr int kBandPercent = 7;
constexpr int kInnerMargin = 20;
// The header font is sized so that this many of its lines fill the inner
// rectangle.
constexpr int kLinesPerPage = 66;
// Characters the readings table needs across the page: its last column
// starts at 131 and its notes want room after that. A tall page (portrait)
// of a wide font has fewer, and then the font is made smaller.
constexpr int kPageColumns = 150;
constexpr int kFramePenWidth = 5;
constexpr int kTextInset = 5;
constexpr int kTitleColumns = 13;
constexpr int kRightColumn = 40;
constexpr int kTableRowsBelowBand = 10;
// Footer and graph keep this many lines clear above the frame's bottom.
constexpr int kFooterLines = 3;
constexpr int kWhiteBoxRows = 30;
constexpr char kFooterFace[] = "Courier New";

struct TabStop {
    int column;
    bool right;  // the field ends at the column instead of starting there
};

constexpr TabStop kPointStops[] = {{5, false}, {15, false}, {32, false}, {49, false}};
constexpr TabStop kReadingHeadingStops[] = {{5, false},  {15, false}, {29, false},  {46, false}, {63, false},
                                            {80, false}, {97, false}, {114, false}, {131, false}};
constexpr TabStop kReadingStops[] = {{5, false}, {20, true},  {45, true},  {62, true},  {79, true},
                                     {96, true}, {113, true}, {130, true}, {131, false}};
// The number of the transition starts where the other tables start;
// the measured values end at their stops so that their decimal points
// line up.
constexpr TabStop kTransitionStops[] = {{5, false}, {19, true}, {32, true},  {49, true},   {62, true},
                                        {76, true}, {96, true}, {116, true}, {120, false}, {134, false}};
constexpr int kMotorRunColumn = 40;
constexpr char kPointHeading[] = "Point\tTime\tResistance\tComment";
constexpr char kReadingHeading[] = "Test\tTime\tR1\tR1s\tR2\tR2s\tR3\tR3s\tNotes";

int Clamped(int count, int most)
{
    return std::clamp(count, 0, most);
}

// As much of `text` as fits into `width`: a field never runs over the frame.
std::string FitText(const Canvas& canvas, std::string text, int width)
{
    if (canvas.TextWidth(text) <= width)
        return text;
    std::size_t low = 0;
    std::size_t high = text.size();
    while (low < high) {
        std::size_t mid = (low + high + 1) / 2;
        if (canvas.TextWidth(std::string_view(text).substr(0, mid)) <= width)
            low = mid;
        else
            high = mid - 1;
    }
    text.resize(low);
    return text;
}

std::vector<std::string> SplitTabs(const std::string& text)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        std::size_t tab = text.find('\t', start);
        fields.push_back(text.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

void DrawTabbedRow(Canvas& canvas, const PageFrame& frame, int row, const std::string& text,
                   std::span<const TabStop> stops)
{
    std::vector<std::string> fields = SplitTabs(text);
    const int y = frame.Row(row);
    for (std::size_t i = 0; i < fields.size() && i < stops.size(); ++i) {
        if (fields[i].empty())
            continue;
        const int at = frame.Column(stops[i].column);
        if (stops[i].right) {
            std::string field = FitText(canvas, fields[i], at);
            canvas.DrawText(at - canvas.TextWidth(field), y, field);
        } else {
            canvas.DrawText(at, y, FitText(canvas, fields[i], frame.inner.right - at));
        }
    }
}

std::string Resistance(double value)
{
    return FormatResistance(value, false, false);
}

}  // namespace

PageFrame MeasurePage(Canvas& canvas, const Rect& page)
{
    PageFrame frame;
    frame.page = page;
    const int bandHeight = page.height() * kBandPercent / 100;
    frame.band = {page.left, page.top, page.right, page.top + bandHeight};
    frame.inner = {page.left + kInnerMargin, frame.band.bottom + kInnerMargin, page.right - kInnerMargin,
                   page.bottom - kInnerMargin};
    int height = frame.inner.height() / kLinesPerPage;
    frame.metrics = canvas.SelectFont(kHeaderFontFace, kFontNormal, height);
    const int across = kPageColumns * frame.metrics.averageWidth;
    if (across > frame.inner.width() && frame.inner.width() > 0) {
        height = std::max(1, height * frame.inner.width() / across);
        frame.metrics = canvas.SelectFont(kHeaderFontFace, kFontNormal, height);
    }
    const int line = std::max(1, frame.metrics.lineHeight);
    frame.tableRow = frame.band.bottom / line + kTableRowsBelowBand;
    // Rows are counted from the heading; the last one ends a line clear of
    // the footer (readings) or of the frame (data points, which have no
    // footer).
    frame.readingsPerPage = std::max(1, (frame.inner.bottom - kFooterLines * line) / line - 2 - frame.tableRow);
    frame.dataPointsPerPage = std::max(1, frame.inner.bottom / line - 2 - frame.tableRow);
    frame.transitionsPerPage = std::max(1, frame.dataPointsPerPage - 2);
    return frame;
}

std::vector<PrintedPage> PlanPages(const PageFrame& frame, const TestRecord& main,
                                   std::span<const TestRecord* const> overlays, int transitionCount)
{
    std::vector<PrintedPage> pages;
    // Every table has a page, even an empty one: it still shows its heading.
    auto split = [&pages](PageRole role, int record, int rows, int perPage) {
        int first = 0;
        do {
            pages.push_back({role, record, first, std::min(perPage, rows - first)});
            first += perPage;
        } while (first < rows);
    };
    if (main.IsDynamic()) {
        pages.push_back({PageRole::Graph, 0, 0, 0});
        split(PageRole::DataPoints, 0, Clamped(main.dataPointCount, kMaxDataPoints), frame.dataPointsPerPage);
        split(PageRole::Transitions, 0, std::max(0, transitionCount), frame.transitionsPerPage);
        return pages;
    }
    split(PageRole::Readings, 0, Clamped(main.readingCount, kMaxReadings), frame.readingsPerPage);
    int record = 0;
    for (const TestRecord* overlay : overlays) {
        if (!overlay || record == kMaxOverlays)
            continue;
        ++record;
        split(PageRole::Readings, record, Clamped(overlay->readingCount, kMaxReadings), frame.readingsPerPage);
    }
    pages.push_back({PageRole::Graph, 0, 0, 0});
    return pages;
}

std::string HeaderLine(const std::string& title, const std::string& value)
{
    char text[512];
    std::snprintf(text, sizeof text, "%13s: %-30s", title.c_str(), value.c_str());
    return text;
}

std::string ReadingRowText(const TestRecord& record, const TestRecord& main, int index)
{
    if (index < 0 || index >= kMaxReadings)
        return {};
    const StaticReading& r = record.readings[static_cast<std::size_t>(index)];
    const bool corrected = record.tempCorrected;
    std::string row = main.ReadingLabel(index);
    for (const std::string& field :
         {r.timeText, Resistance(r.r1), corrected ? Resistance(r.r1s) : std::string(),
          record.HasV2() ? Resistance(r.r2) : std::string(),
          record.HasV2() && corrected ? Resistance(r.r2s) : std::string(),
          record.HasV3() ? Resistance(r.r3) : std::string(),
          record.HasV3() && corrected ? Resistance(r.r3s) : std::string(), record.ReadingNote(index)}) {
        row += '\t';
        row += field;
    }
    return row;
}

std::string DataPointRowText(const TestRecord& record, int index)
{
    if (index < 0 || index >= kMaxDataPoints)
        return {};
    const DataPoint& point = record.dataPoints[static_cast<std::size_t>(index)];
    char number[64];
    std::snprintf(number, sizeof number, "%d\t%3.3lf\t", index + 1, point.time);
    return number + Resistance(point.resistance) + '\t' + point.comment;
}

std::string TransitionRowText(int number, const Transition& t)
{
    const std::vector<std::optional<double>> values = TransitionValues(number, t);
    std::string row;
    // The open-circuit column reads as a word; the judgement follows it.
    for (std::size_t k = 0; k + 1 < values.size() && k < std::size(kTransitionColumns); ++k) {
        if (k > 0)
            row += '\t';
        if (values[k])
            row += FixedText(*values[k], kTransitionColumns[k].decimals);
    }
    return row + (t.openCircuit ? "\tYes\t" : "\tNo\t") + TransitionJudgement(t);
}

Rect FitLogo(const Rect& band, int width, int height)
{
    if (width <= 0 || height <= 0 || band.empty())
        return {};
    const double scale =
        std::min(static_cast<double>(band.width()) / width, static_cast<double>(band.height()) / height);
    return {band.left, band.top, band.left + static_cast<int>(width * scale),
            band.top + static_cast<int>(height * scale)};
}

PrintedReport::PrintedReport(const CAppInfo& settings, const TestRecord& main,
                             std::span<const TestRecord* const> overlays, CDisplayTest& renderer)
    : settings_(settings), main_(main), renderer_(renderer),
      transitions_(AnalyseTransitions(main, TransitionSettingsFrom(settings)))
{
    for (const TestRecord* overlay : overlays)
        if (overlay && overlayCount_ < kMaxOverlays)
            overlays_[static_cast<std::size_t>(overlayCount_++)] = overlay;
}

const TestRecord* PrintedReport::RecordAt(int index) const
{
    if (index == 0)
        return &main_;
    if (index >= 1 && index <= overlayCount_)
        return overlays_[static_cast<std::size_t>(index - 1)];
    return nullptr;
}

std::vector<PrintedPage> PrintedReport::Plan(Canvas& canvas, const Rect& page) const
{
    return PlanPages(MeasurePage(canvas, page), main_,
                     std::span<const TestRecord* const>(overlays_.data(), static_cast<std::size_t>(overlayCount_)),
                     static_cast<int>(transitions_.transitions.size()));
}

void PrintedReport::DrawPage(Canvas& canvas, const Rect& page, int index)
{
    const std::span<const TestRecord* const> overlays(overlays_.data(), static_cast<std::size_t>(overlayCount_));
    const PageFrame frame = MeasurePage(canvas, page);
    const std::vector<PrintedPage> pages =
        PlanPages(frame, main_, overlays, static_cast<int>(transitions_.transitions.size()));
    if (index < 0 || static_cast<std::size_t>(index) >= pages.size())
        return;
    const PrintedPage& shown = pages[static_cast<std::size_t>(index)];
    const TestRecord* record = RecordAt(shown.record);
    if (!record)
        return;

    renderer_.Bind(&canvas, settings_, main_, overlays, true);
    renderer_.SetPageMetrics(frame.metrics);
    canvas.SetXorMode(false);
    DrawLogo(canvas, frame);
    canvas.SetPen(kCanvasBlack, kFramePenWidth);
    canvas.SetNoBrush();
    canvas.Rectangle(frame.inner);
    // Paper: black on white whatever the screen's colours, and no text
    // paints over what lies below it.
    canvas.SetTextColour(kCanvasBlack);
    canvas.SetTextBackground(kCanvasWhite, false);
    const int y = DrawHeader(canvas, frame, *record);

    const int line = frame.metrics.lineHeight;
    switch (shown.role) {
    case PageRole::Graph:
        renderer_.DrawGraph(
            {frame.inner.left, y + 2 * line, frame.inner.right, frame.inner.bottom - kFooterLines * line});
        DrawFooter(canvas, frame);
        break;
    case PageRole::DataPoints: DrawDataPoints(canvas, frame, shown); break;
    case PageRole::Transitions: DrawTransitions(canvas, frame, shown); break;
    case PageRole::Readings:
        DrawReadings(canvas, frame, shown);
        DrawFooter(canvas, frame);
        break;
    }
    // The canvas ends with the page; the renderer must not keep it.
    renderer_.Bind(nullptr, settings_, main_, overlays, false);
}

void PrintedReport::DrawLogo(Canvas& canvas, const PageFrame& frame) const
{
    if (!logo_)
        return;
    Rect target = FitLogo(frame.band, logo_->Width(), logo_->Height());
    if (!target.empty())
        canvas.DrawImage(target, *logo_);
}

int PrintedReport::DrawHeader(Canvas& canvas, const PageFrame& frame, const TestRecord& record) const
{
    const TestHeader& header = record.header;
    const int line = frame.metrics.lineHeight;
    const int x = frame.inner.left + kTextInset;
    const int top = frame.inner.top + kTextInset + line;
    const int valueOffset = frame.Column(kTitleColumns);
    const int rightLimit = frame.inner.right - kTextInset;

    // The title is set right-aligned against its colon, so that the colons
    // of a column line up in a proportional font as they would in a fixed
    // one; the characters are those of HeaderLine.
    auto draw = [&](int at, int y, const std::string& title, const std::string& value) {
        const std::string text = HeaderLine(title, value);
        const std::size_t split = std::max<std::size_t>(kTitleColumns, title.size());
        const std::string head = text.substr(0, split);
        canvas.DrawText(at + valueOffset - canvas.TextWidth(head), y, head);
        canvas.DrawText(at + valueOffset, y, FitText(canvas, text.substr(split), rightLimit - at - valueOffset));
    };

    const std::pair<const char*, std::string> left[] = {
        {"FILENAME", header.fileName}, {"DATE", header.testDate},   {"COMPANY", header.company},
        {"STATION", header.station},   {"CIRCUIT", header.circuit}, {"TYPE", record.TestTypeName()},
    };
    // A long value on the left pushes the right column along rather than
    // running under it.
    int rightX = x + frame.Column(kRightColumn);
    for (const auto& [title, value] : left) {
        std::string shown = HeaderLine(title, value).substr(kTitleColumns);
        while (!shown.empty() && shown.back() == ' ')
            shown.pop_back();
        rightX = std::max(rightX, x + valueOffset + canvas.TextWidth(shown) + 2 * frame.metrics.averageWidth);
    }
    for (std::size_t i = 0; i < std::size(left); ++i)
        draw(x, top + static_cast<int>(i) * line, left[i].first, left[i].second);

    char padded[256];
    std::snprintf(padded, sizeof padded, "%-30s", header.manufacturer.c_str());
    std::string maker = padded;
    for (int k = 1; k <= overlayCount_; ++k)
        maker += "  Overlay " + std::to_string(k) + " (" + RecordAt(k)->header.fileName + ")";
    draw(rightX, top, "MFR", maker);
    draw(rightX, top + line, "MODEL", header.model);
    draw(rightX, top + 2 * line, "SN", header.serialNumber);
    draw(rightX, top + 3 * line, "OPERATOR", header.operatorName);

    int y = top + 6 * line;
    if (record.tempCorrected) {
        char temps[160];
        std::snprintf(temps, sizeof temps,
                      "%2.1lf   Reference Temp: %2.1lf [\xB0"
                      "C]  Tk: %2.1lf",
                      record.measureTemp, record.referenceTemp, record.tempConstant);
        draw(rightX, y, "MEAS. TEMP", temps);
        y += line;
    }
    return y + line;
}

void PrintedReport::DrawDataPoints(Canvas& canvas, const PageFrame& frame, const PrintedPage& page) const
{
    DrawTabbedRow(canvas, frame, frame.tableRow, kPointHeading, kPointStops);
    for (int i = 0; i < page.rowCount; ++i)
        DrawTabbedRow(canvas, frame, frame.tableRow + 1 + i, DataPointRowText(main_, page.firstRow + i), kPointStops);
}

void PrintedReport::DrawTransitions(Canvas& canvas, const PageFrame& frame, const PrintedPage& page) const
{
    const int y = frame.Row(frame.tableRow);
    canvas.DrawText(frame.Column(5), y, "Transitions");
    const std::string run = transitions_.motorStartS
                                ? "Motor run time: " + FixedText(transitions_.motorRunS, kMotorRunDecimals) + " s"
                                : std::string("Motor run time: the motor did not run");
    canvas.DrawText(frame.Column(kMotorRunColumn), y, run);

    std::string heading;
    for (const TransitionColumn& c : kTransitionColumns)
        heading += std::string(c.heading) + '\t';
    DrawTabbedRow(canvas, frame, frame.tableRow + 2, heading + kJudgementHeading, kTransitionStops);
    const std::vector<Transition>& all = transitions_.transitions;
    for (int k = 0; k < page.rowCount; ++k) {
        const std::size_t at = static_cast<std::size_t>(page.firstRow + k);
        if (at < all.size())
            DrawTabbedRow(canvas, frame, frame.tableRow + 3 + k, TransitionRowText(page.firstRow + k + 1, all[at]),
                          kTransitionStops);
    }
    if (all.empty())
        canvas.DrawText(frame.Column(5), frame.Row(frame.tableRow + 3), "No transitions found.");
}

void PrintedReport::DrawReadings(Canvas& canvas, const PageFrame& frame, const PrintedPage& page) const
{
    const TestRecord& record = *RecordAt(page.record);
    const int w = frame.metrics.averageWidth;
    canvas.SetPen(kCanvasWhite, 1);
    canvas.SetBrush(kCanvasWhite);
    canvas.Rectangle(
        {frame.Column(5) - w / 2, frame.Row(frame.tableRow), frame.Column(95),
         frame.Row(frame.tableRow + std::min(page.rowCount, kWhiteBoxRows) + 1) + frame.metrics.lineHeight / 4});
    canvas.SetNoBrush();

    DrawTabbedRow(canvas, frame, frame.tableRow, kReadingHeading, kReadingHeadingStops);
    for (int k = 0; k < page.rowCount; ++k)
        DrawTabbedRow(canvas, frame, frame.tableRow + 1 + k, ReadingRowText(record, main_, page.firstRow + k),
                      kReadingStops);
}

void PrintedReport::DrawFooter(Canvas& canvas, const PageFrame& frame) const
{
    const int line = frame.metrics.lineHeight;
    const Rect area{frame.inner.left, frame.inner.bottom - kFooterLines * line,
                    frame.inner.right - 8 * frame.metrics.averageWidth, frame.inner.bottom};
    const TextMetrics font = canvas.SelectFont(kFooterFace, kFontBold, line);
    canvas.SetTextColour(kCanvasBlack);
    canvas.SetTextBackground(kCanvasWhite, false);
    std::vector<std::string> lines{std::string("TKAN Software Version: ") + kSoftwareVersion};
    if (!settings_.ReportFooterLine.empty())
        lines.push_back(settings_.ReportFooterLine);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string text = FitText(canvas, lines[i], area.width());
        canvas.DrawText(area.left + (area.width() - canvas.TextWidth(text)) / 2,
                        area.top + static_cast<int>(i) * font.lineHeight, text);
    }
}

}  // namespace tkan
