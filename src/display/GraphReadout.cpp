// What the graph shows under the mouse: the cursor line or drag band, and
// the read-out of the values under one or two cursors.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

#include "display/DisplayTest.h"
#include "display/GraphCursor.h"
#include "display/GraphInteraction.h"
#include "display/TextFormat.h"
#include "records/TestRecord.h"
#include "settings/AppInfo.h"

namespace tkan {

namespace {

constexpr CanvasColour kCursorGrey = CanvasRgb(192, 192, 192);
constexpr int kPaperCursorWidth = 4;
constexpr char kReadoutFace[] = "Courier New";
// The read-out's boxes start this far into the page, the first line this
// many page lines above the plot.
constexpr int kReadoutIndent = 10;
constexpr int kReadoutLinesAbove = 5;
constexpr int kBoxMargin = 5;
constexpr int kSecondLineGap = 14;

std::string_view TrimRight(std::string_view text)
{
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// A Courier face is about 15/8 of a cell high for each unit of its average
// width; the read-out asks for its width.
int ReadoutFontHeight(int averageWidth)
{
    return std::max(1, averageWidth * 15 / 8);
}

// One read-out box: the fields of `text` side by side with a rule between
// them, framed. Returns the box's right edge.
int DrawBox(Canvas& canvas, std::string_view text, int left, int top, CanvasColour colour, CanvasColour frame,
            const TextMetrics& metrics)
{
    const int w = metrics.averageWidth;
    const int bottom = top + metrics.lineHeight;
    canvas.SetTextColour(colour);
    canvas.SetPen(frame, 1);
    int x = left;
    int right = left;
    bool first = true;
    while (true) {
        const std::size_t tab = text.find('\t');
        const std::string_view field = TrimRight(text.substr(0, tab));
        if (!first) {
            canvas.Line(right + w, top - kBoxMargin, right + w, bottom + kBoxMargin);
            x = right + 2 * w;
        }
        canvas.DrawText(x, top, field);
        right = x + canvas.TextWidth(field);
        first = false;
        if (tab == std::string_view::npos)
            break;
        text.remove_prefix(tab + 1);
    }
    canvas.SetNoBrush();
    canvas.Rectangle({left - kBoxMargin, top - kBoxMargin, right + kBoxMargin, bottom + kBoxMargin});
    return right + kBoxMargin;
}

}  // namespace

int CursorColumn(const GraphCursor& cursor, const Rect& plot)
{
    if (cursor.plot == plot || cursor.plot.width() <= 0)
        return cursor.x;
    const double fraction = static_cast<double>(cursor.x - cursor.plot.left) / cursor.plot.width();
    return plot.left + static_cast<int>(std::lround(fraction * plot.width()));
}

void DrawCursorMark(Canvas& canvas, const CDisplayTest& graph)
{
    const GraphCursor& cursor = graph.cursor;
    if (!cursor.shown || cursor.x == 0)
        return;
    const Rect& plot = graph.PlotRect();
    if (graph.Printing()) {
        canvas.SetPen(kCanvasBlack, kPaperCursorWidth);
        const int x = CursorColumn(cursor, plot);
        canvas.Line(x, plot.top, x, plot.bottom);
        return;
    }
    canvas.SetPen(kCursorGrey, 1);
    if (!cursor.band) {
        canvas.Line(cursor.x, plot.top, cursor.x, plot.bottom);
        return;
    }
    canvas.SetNoBrush();
    if (cursor.leftDrag)
        canvas.Rectangle(
            {std::min(cursor.dragX, cursor.x), plot.top, std::max(cursor.dragX, cursor.x) + 1, plot.bottom});
    else
        canvas.Rectangle(
            {plot.left, std::min(cursor.dragY, cursor.y), plot.right, std::max(cursor.dragY, cursor.y) + 1});
}

void GraphInteraction::ShowReadout(int x, bool twoCursors)
{
    const int x1 = twoCursors ? graph_.cursor.dragX : x;
    const int x2 = x;
    graph_.recordIndex = 0;
    const double t1 = graph_.SampleToTime(graph_.XToSample(x1) + 1);
    const bool currentMode = graph_.currentMode;

    auto resistanceText = [&](int column, double& highest) {
        highest = graph_.ColumnRange(SampleQuantity::Resistance, column).high;
        return std::string(TrimRight(FormatResistance(highest, false, true)));
    };

    GraphReadout readout;
    readout.shown = true;
    readout.records = graph_.OverlayCount() + 1;
    CursorCapture capture;
    for (int r = 0; r < readout.records; ++r) {
        graph_.recordIndex = r;
        if (!graph_.CurrentRecord())
            continue;
        double r1Value = 0;
        const std::string r1 = resistanceText(x1, r1Value);
        const double i1 = std::fabs(graph_.ColumnRange(SampleQuantity::TestCurrent, x1).high);
        const double m1 = graph_.ColumnRange(SampleQuantity::MotorCurrent, x1).high;
        std::string& line1 = readout.line1[static_cast<std::size_t>(r)];
        if (r >= 1)
            line1 = FormatText("Overlay %d\tRes=%s\tI=%.3lf Amp\tMtr I=%.1lf Amp", r, r1.c_str(), i1, m1);
        else if (!twoCursors && currentMode)
            line1 = FormatText("Time=%.3lf s\tRes=%s\tI=%.3lf Amp", t1, r1.c_str(), i1);
        else if (!twoCursors)
            line1 = FormatText("Time=%.3lf s\tRes=%s\tI=%.3lf Amp\tMtr I= %.1lf Amp", t1, r1.c_str(), i1, m1);
        else if (currentMode)
            line1 = FormatText("T1=%.3lf s\tR1=%s\tI=%.3lf Amp", t1, r1.c_str(), i1);
        else
            line1 = FormatText("T1=%.3lf s\tR1=%s\tI=%.3lf Amp\tMtr I=%.1lf Amp", t1, r1.c_str(), i1, m1);

        double lastResistance = r1Value;
        double lastMotor = m1;
        if (twoCursors) {
            const double t2 = graph_.SampleToTime(graph_.XToSample(x2) + 1);
            const std::string r2 = resistanceText(x2, lastResistance);
            const double i2 = std::fabs(graph_.ColumnRange(SampleQuantity::TestCurrent, x2).high);
            lastMotor = std::fabs(graph_.ColumnRange(SampleQuantity::MotorCurrent, x2).high);
            std::string& line2 = readout.line2[static_cast<std::size_t>(r)];
            if (r >= 1)
                line2 = FormatText("Overlay %d\tRes=%s\tI=%.3lf Amp\tMtr I=%.1lf Amp", r, r2.c_str(), i2, lastMotor);
            else if (currentMode)
                line2 = FormatText("T2=%.3lf s\tI=%.3lf Amp", t2, i2);
            else
                line2 = FormatText("T2=%.3lf s\tR2=%s\tI=%.3lf Amp\tMtr I=%.1lf Amp", t2, r2.c_str(), i2, lastMotor);
            if (r == readout.records - 1)
                line2 += FormatText("\t(Delta: %.3lf s)", std::fabs(t2 - t1));
        }
        // F8 marks the test itself, not an overlay drawn over it.
        if (r == 0)
            capture = {t1, lastResistance, i1, lastMotor};
    }
    graph_.recordIndex = 0;
    graph_.capture = capture;
    graph_.readout = std::move(readout);
}

void GraphInteraction::PaintOverlay(Canvas& canvas) const
{
    DrawCursorMark(canvas, graph_);
    const GraphReadout& readout = graph_.readout;
    if (!readout.shown)
        return;
    // Painted over the kept page, which is what clears the last read-out.
    const Rect& plot = graph_.PlotRect();
    const int pageLine = graph_.PageMetrics().lineHeight;
    const int averageWidth = plot.width() / (graph_.OverlayCount() > 0 ? 180 : 100);
    const TextMetrics metrics = canvas.SelectFont(kReadoutFace, kFontBold, ReadoutFontHeight(averageWidth));
    readoutMetrics_ = metrics;
    canvas.SetTextBackground(settings_.crBackground, false);
    const int top = plot.top - kReadoutLinesAbove * pageLine;
    for (int line = 0; line < 2; ++line) {
        const auto& texts = line == 0 ? readout.line1 : readout.line2;
        const int y = top + line * (metrics.lineHeight + kSecondLineGap);
        int x = page_.left + kReadoutIndent;
        for (int r = 0; r < readout.records && r < static_cast<int>(texts.size()); ++r) {
            const std::string& text = texts[static_cast<std::size_t>(r)];
            if (text.empty())
                continue;
            const CanvasColour colour = settings_.graphs[static_cast<std::size_t>(r)].crResistance;
            x = DrawBox(canvas, text, x, y, colour, settings_.crForeGround, metrics) + 3 * metrics.averageWidth;
        }
    }
}

std::vector<Rect> GraphInteraction::OverlayParts() const
{
    const GraphCursor& cursor = graph_.cursor;
    const Rect& plot = graph_.PlotRect();
    std::vector<Rect> parts;
    if (cursor.shown && cursor.x != 0) {
        if (!cursor.band)
            parts.push_back({cursor.x - 2, plot.top - 2, cursor.x + 3, plot.bottom + 3});
        else if (cursor.leftDrag)
            parts.push_back({std::min(cursor.dragX, cursor.x) - 2, plot.top - 2, std::max(cursor.dragX, cursor.x) + 3,
                             plot.bottom + 3});
        else
            parts.push_back({plot.left - 2, std::min(cursor.dragY, cursor.y) - 2, plot.right + 3,
                             std::max(cursor.dragY, cursor.y) + 3});
    }
    const GraphReadout& readout = graph_.readout;
    if (!readout.shown)
        return parts;
    const int pageLine = graph_.PageMetrics().lineHeight;
    const int top = plot.top - kReadoutLinesAbove * pageLine;
    const TextMetrics& metrics = readoutMetrics_;
    if (metrics.averageWidth <= 0) {
        // Before the first read-out is painted its font is not known.
        parts.push_back({page_.left, top - 2 * kBoxMargin, std::max(page_.right, plot.right + 6), plot.top});
        return parts;
    }
    // Each line's boxes as a fixed-pitch font lays them out, with a
    // character to spare.
    const int w = metrics.averageWidth;
    for (int line = 0; line < 2; ++line) {
        const auto& texts = line == 0 ? readout.line1 : readout.line2;
        const int y = top + line * (metrics.lineHeight + kSecondLineGap);
        int x = page_.left + kReadoutIndent;
        for (int r = 0; r < readout.records && r < static_cast<int>(texts.size()); ++r) {
            std::string_view text = texts[static_cast<std::size_t>(r)];
            if (text.empty())
                continue;
            int width = 0;
            bool first = true;
            while (true) {
                const std::size_t tab = text.find('\t');
                width += static_cast<int>(TrimRight(text.substr(0, tab)).size()) * w + (first ? 0 : 2 * w);
                first = false;
                if (tab == std::string_view::npos)
                    break;
                text.remove_prefix(tab + 1);
            }
            x += width + kBoxMargin + 3 * w;
        }
        if (x > page_.left + kReadoutIndent)
            parts.push_back({page_.left + kReadoutIndent - kBoxMargin - 1, y - kBoxMargin - 1, x,
                             y + metrics.lineHeight + kBoxMargin + 2});
    }
    return parts;
}

}  // namespace tkan
