#pragma once

#include <array>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "display/GraphCursor.h"
#include "display/SampleEnvelope.h"
#include "platform/Canvas.h"

namespace tkan {

class CAppInfo;
class TestRecord;
struct TransitionReport;

// The overlays the document can show beside its main record.
constexpr int kMaxOverlays = 2;

// Values read at the cursor for the next data point.
struct CursorCapture {
    double time = 0;
    double resistance = 0;
    double current = 0;
    double motorCurrent = 0;
};

// Draws the document's main record and up to two overlays into a rectangle
// of a canvas (the view's window or a printer page), and keeps the axis state
// the keys and the mouse change between draws. The records are the
// document's; the renderer only refers to them between Bind and the end of
// the page.
class CDisplayTest {
public:
    CDisplayTest() = default;
    CDisplayTest(const CDisplayTest&) = delete;
    CDisplayTest& operator=(const CDisplayTest&) = delete;

    // Attaches the surface and the records before a page is drawn. Null
    // overlay entries are left out, so the shown overlays are numbered 1 and 2
    // in the order given; more than two are ignored. Only the current range
    // is recomputed here: the other ranges belong to the operator's zoom.
    void Bind(Canvas* surface, const CAppInfo& settings, const TestRecord& main,
              std::span<const TestRecord* const> overlays, bool printing);

    // Nothing is drawn without a surface or a record.
    void DrawGraph(const Rect& rect);

    void SetScaleMode(bool linear);
    void RestoreRanges();
    void Reset();

    // The resistance axis: y of a value above `bottomY`, held within the plot.
    int ResistanceToY(double value, int bottomY, int divisionPixels) const;

    // The time axis of the record `recordIndex` names. XToSample reports in
    // `pastEnd` a column that lies beyond the record's last sample; the
    // index is then the last sample's (-1 for a record without samples).
    int XToSample(int x, bool& pastEnd) const;
    int XToSample(int x) const;
    double SampleToTime(int index) const;
    int TimeToSample(double time) const;
    // The samples of column x up to and including the first one of column
    // x + 1; both 0 when the time axis runs backwards there.
    ValueRange ColumnRange(SampleQuantity quantity, int x) const;

    // Applies to the decade axis only: the linear range is widened to whole
    // decades so that switching to the linear axis after a zoom shows the
    // same decades.
    void RoundRangesToDecades();

    // The record `recordIndex` names: main, then the shown overlays; null
    // when none is bound.
    const TestRecord* RecordAt(int index) const;
    const TestRecord* CurrentRecord() const { return RecordAt(recordIndex); }
    int OverlayCount() const { return overlayCount; }

    const Rect& PlotRect() const { return plotRect; }
    int GridBottom() const { return gridBottom; }
    int PixelsPerDivision() const { return pixelsPerDivision; }
    bool Printing() const { return printing; }
    Canvas* Surface() const { return surface; }
    const CAppInfo* Settings() const { return settings; }
    // The graph font of the last draw.
    const TextMetrics& GraphMetrics() const { return graphMetrics; }
    // The page's header font, recorded by whoever draws the page around the
    // graph (the read-out area is laid out on it).
    const TextMetrics& PageMetrics() const { return pageMetrics; }
    void SetPageMetrics(const TextMetrics& metrics) { pageMetrics = metrics; }

    // Pen colours that vanish on paper come out black on a printer page.
    void SelectPen(CanvasColour colour, int width);
    // Width of trace and plot-frame pens: thicker on paper.
    int TracePenWidth() const { return printing ? 8 : 2; }

    // Axis state, changed by the keys and the mouse between draws.
    bool linearScale = false;
    bool currentMode = false;
    bool motorCurrentMode = false;
    double resistanceLow = 0;
    double resistanceHigh = 0;
    int lowestDecade = 0;
    int divisionCount = 8;
    double timeStart = 0;
    double timeEnd = 0;
    double currentLow = 0;
    double currentHigh = 0;
    int recordIndex = 0;
    CursorCapture capture;
    // A current range the operator dragged; Bind then leaves it alone
    // until the ranges are restored or the view is reset.
    bool currentZoomed = false;

    // The mouse's marks over the plot. A screen page leaves them to the
    // view, which paints them over the finished page; a printer page shows
    // the cursor line.
    GraphCursor cursor;
    GraphReadout readout;

    // Lets a benchmark time the page without its traces.
    bool drawTraces = true;

    // The main record's transitions, numbered in a row of their own above
    // the plot of a dynamic test on screen; null for none. The owner keeps
    // the report for as long as it is set.
    const TransitionReport* transitionMarks = nullptr;

private:
    // XToSample with the page's part of it worked out once, for a sweep
    // over every column.
    struct ColumnToSample {
        double first = 0;
        double last = 0;
        int left = 0;
        int width = 0;
        int count = 0;
        int operator()(int x, bool& pastEnd) const;
    };
    ColumnToSample SampleMapping() const;

    void DrawKeyHelp(const Rect& rect, const TestRecord& main);
    void DrawGrid();
    void DrawAxisLabels(const Rect& rect, const TestRecord& main);
    void DrawTimeAxis();
    void DrawTraces();
    void DrawResistanceEnvelope(const TestRecord& record);
    void DrawCurrentTrace(const TestRecord& record);
    void DrawStaticLines(const TestRecord& record, int readingSpacing);
    void DrawMotorCurrentBand(const TestRecord& record);
    int StaticReadingSpacing() const;
    // ColumnRange of the column whose first sample is `first` and whose
    // right neighbour starts at `last`.
    ValueRange RangeBetween(SampleQuantity quantity, int first, int last) const;
    // What a column shows of the envelope's extremes over first..last.
    static ValueRange ColumnRule(SampleQuantity quantity, int first, int last, ValueRange range);
    // Maps the columns inside the plot frame to the current record's
    // samples and takes the extremes of each quantity asked for before
    // anything is drawn; two quantities share their sample bytes and are
    // swept together.
    void PlanColumns(std::span<const SampleQuantity> quantities);
    // Calls draw(x, range) for every planned column; each column's end is
    // the next one's start, so it is mapped once.
    template <typename Draw>
    void ForEachColumn(SampleQuantity quantity, bool skipPastEnd, Draw draw);
    // A vertical line that covers the pixels of both end rows.
    void ColumnLine(int x, int y0, int y1);
    void DrawTextAt(int x, int y, std::string_view text);
    void DrawTextAt(int x, int y, const char* text) { DrawTextAt(x, y, std::string_view(text)); }

    Canvas* surface = nullptr;
    const CAppInfo* settings = nullptr;
    const TestRecord* mainRecord = nullptr;
    std::array<const TestRecord*, kMaxOverlays> overlays{};
    int overlayCount = 0;
    bool printing = false;

    Rect plotRect;
    int gridBottom = 0;
    int pixelsPerDivision = 0;
    int motorBand = 0;
    TextMetrics graphMetrics;
    TextMetrics pageMetrics;

    // Min/max pyramids of the bound records, kept between draws.
    mutable SampleEnvelopeCache envelopes;
    // PlanColumns' page of column starts and extremes, kept so that a
    // redraw allocates nothing.
    int columnLeft = 0;
    std::vector<int> columnStarts;
    std::vector<char> columnPastEnd;
    std::array<std::vector<ValueRange>, 3> columnRanges;
    std::vector<Canvas::ColumnSpan> columnLines;
    // The resistance envelope's rows of values seen lately on this page.
    struct MappedRow {
        double value;
        int y;
    };
    std::vector<MappedRow> rowMemo;
};

// The end of the full time scale: the longest of the main record and the
// overlays given (nulls skipped), in seconds.
double FullTimeScaleEnd(const TestRecord& main, std::span<const TestRecord* const> overlays);

}  // namespace tkan
