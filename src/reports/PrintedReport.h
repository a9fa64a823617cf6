#pragma once

#include <array>
#include <span>
#include <string>
#include <vector>

#include "analysis/Transitions.h"
#include "platform/Canvas.h"
#include "settings/ProgramVersion.h"

namespace tkan {

class CAppInfo;
class CDisplayTest;
class TestRecord;

enum class PageRole { Graph, DataPoints, Readings, Transitions };

// One printed page: what it shows and of which record. A table longer than
// a page holds goes on over further pages of the same role, each with the
// heading again.
struct PrintedPage {
    PageRole role = PageRole::Graph;
    int record = 0;    // whose header and table: 0 main, 1 and 2 the overlays
    int firstRow = 0;  // the table's first row on this page
    int rowCount = 0;

    bool operator==(const PrintedPage&) const = default;
};

// The frame every printed page shares, worked out for one page rectangle
// with the header font: the logo band at the top, the framed inner
// rectangle, the character grid and the table rows the page has room for.
struct PageFrame {
    Rect page;   // the printer's page
    Rect band;   // where the logo goes
    Rect inner;  // framed; below the band
    TextMetrics metrics;
    int tableRow = 0;            // row of a table's heading
    int readingsPerPage = 1;     // readings rows above the footer
    int dataPointsPerPage = 1;   // data-point rows above the frame's bottom
    int transitionsPerPage = 1;  // the same less the title and its blank line

    int Column(int c) const { return c * metrics.averageWidth; }
    int Row(int r) const { return r * metrics.lineHeight; }
};

// Selects the header font on `canvas` (sized from the page) and lays out
// the frame.
PageFrame MeasurePage(Canvas& canvas, const Rect& page);

// A dynamic test: its graph, its data points, then its `transitionCount`
// transitions; a static one: the readings of each record, then one graph of
// them all.
std::vector<PrintedPage> PlanPages(const PageFrame& frame, const TestRecord& main,
                                   std::span<const TestRecord* const> overlays, int transitionCount);

// "%13s: %-30s" of a title and a value: one line of the header block.
std::string HeaderLine(const std::string& title, const std::string& value);

// Reading `index` of `record` as its printed row: TAB-separated label, time,
// R1, R1s, R2, R2s, R3, R3s and note. The label follows the main record's
// test type and taps on every page, so the overlays line up with it.
std::string ReadingRowText(const TestRecord& record, const TestRecord& main, int index);
// Data point `index` as its printed row: number, time, resistance, comment.
std::string DataPointRowText(const TestRecord& record, int index);
// Transition `number` (from 1) as its printed row: number, start, end,
// duration, ripple, slope, R before, R after, open circuit, judgement.
std::string TransitionRowText(int number, const Transition& t);

// The printed report of the document's test: the pages the print command,
// the preview and the PDF output all draw. The records, the settings and
// the renderer are the caller's and must outlive the report; the graph page
// draws through the view's renderer, so the operator's zoom and modes print
// as they are on screen.
class PrintedReport {
public:
    PrintedReport(const CAppInfo& settings, const TestRecord& main, std::span<const TestRecord* const> overlays,
                  CDisplayTest& renderer);

    // The logo for the band; null (or a picture without pixels) leaves the
    // band empty.
    void SetLogo(const CanvasImage* image) { logo_ = image; }

    // The pages a `page` sized sheet takes; measured with the header font
    // on `canvas`.
    std::vector<PrintedPage> Plan(Canvas& canvas, const Rect& page) const;
    int PageCount(Canvas& canvas, const Rect& page) const { return static_cast<int>(Plan(canvas, page).size()); }

    // Page `index` (from 0); nothing for an index past the last page. The
    // renderer is bound to `canvas` for the page and let go again after it.
    void DrawPage(Canvas& canvas, const Rect& page, int index);

private:
    const TestRecord* RecordAt(int index) const;
    void DrawLogo(Canvas& canvas, const PageFrame& frame) const;
    // The header block; returns the y below it.
    int DrawHeader(Canvas& canvas, const PageFrame& frame, const TestRecord& record) const;
    void DrawDataPoints(Canvas& canvas, const PageFrame& frame, const PrintedPage& page) const;
    void DrawReadings(Canvas& canvas, const PageFrame& frame, const PrintedPage& page) const;
    void DrawTransitions(Canvas& canvas, const PageFrame& frame, const PrintedPage& page) const;
    void DrawFooter(Canvas& canvas, const PageFrame& frame) const;

    const CAppInfo& settings_;
    const TestRecord& main_;
    std::array<const TestRecord*, 2> overlays_{};
    int overlayCount_ = 0;
    CDisplayTest& renderer_;
    const CanvasImage* logo_ = nullptr;
    TransitionReport transitions_;  // of the main record, by the settings' threshold and limits
};

// Where a `width` x `height` picture goes in `band`: at its top left
// corner, scaled by one factor so that it fits. Empty for an empty picture.
Rect FitLogo(const Rect& band, int width, int height);

}  // namespace tkan
