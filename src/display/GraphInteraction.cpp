#include "display/GraphInteraction.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "display/DisplayTest.h"
#include "display/ViewDocument.h"
#include "platform/Prompter.h"
#include "records/TestRecord.h"

namespace tkan {

namespace {

// The wheel's zoom: each notch shows this share of the span it had, and
// it stops where a column would hold only a sample or two.
constexpr double kWheelStep = 0.8;
constexpr double kNarrowestSpan = 0.01;
constexpr int kLongArrowStep = 10;

}  // namespace

GraphInteraction::GraphInteraction(CDisplayTest& graph, ViewDocument& doc, const CAppInfo& settings, Prompter& prompter,
                                   std::recursive_mutex& displayLock)
    : graph_(graph), doc_(doc), settings_(settings), prompter_(prompter), displayLock_(displayLock)
{
}

bool GraphInteraction::GraphShown() const
{
    return doc_.TestLoaded() && doc_.GraphShown();
}

void GraphInteraction::Rebind()
{
    // The document may have loaded another test since the last paint; the
    // renderer must read the records it holds now.
    std::array<const TestRecord*, 2> overlays = doc_.ShownOverlays();
    graph_.Bind(nullptr, settings_, doc_.Main(), overlays, false);
}

void GraphInteraction::Repaint(bool page)
{
    if (repaint)
        repaint(page);
}

void GraphInteraction::MouseMoved(int x, int y, MouseState mouse)
{
    if (!GraphShown())
        return;
    lastY_ = y;
    const Rect& plot = graph_.PlotRect();
    const bool inside = x >= plot.left && x < plot.right && y >= plot.top && y < plot.bottom;
    if (inside)
        TrackMouse(x, y, mouse);
    else if (!busy_)
        ClearMarks();
}

void GraphInteraction::TrackMouse(int x, int y, MouseState mouse)
{
    if (busy_)
        return;
    busy_ = true;
    std::lock_guard lock(displayLock_);
    Rebind();
    GraphCursor& cursor = graph_.cursor;
    cursor.shown = false;
    cursor.x = 0;

    bool pageChanged = false;
    bool drawCursor = true;
    if (mouse.left || mouse.right) {
        if (!cursor.dragging) {
            cursor.dragging = true;
            cursor.dragX = x;
            cursor.dragY = y;
            cursor.leftDrag = mouse.left;
        }
    } else if (cursor.dragging) {
        cursor.dragging = false;
        if (mouse.shift) {
            // The measurement stays on screen until the mouse moves on.
            drawCursor = false;
        } else {
            EndDrag(x, y);
            pageChanged = true;
        }
    }

    if (drawCursor) {
        cursor.shown = true;
        cursor.band = cursor.dragging;
        cursor.x = x;
        cursor.y = y;
        cursor.plot = graph_.PlotRect();
        if (doc_.Main().IsDynamic())
            ShowReadout(x, cursor.dragging);
    }
    busy_ = false;
    Repaint(pageChanged);
}

void GraphInteraction::EndDrag(int x, int y)
{
    const GraphCursor& cursor = graph_.cursor;
    if (!cursor.leftDrag) {
        ZoomVertically(cursor.dragY, y);
        return;
    }
    graph_.recordIndex = 0;
    const double from = graph_.SampleToTime(graph_.XToSample(cursor.dragX));
    const double to = graph_.SampleToTime(graph_.XToSample(x));
    // Either direction selects the same interval; one without width would
    // leave nothing to draw.
    if (from != to) {
        graph_.timeStart = std::min(from, to);
        graph_.timeEnd = std::max(from, to);
    }
}

void GraphInteraction::ZoomVertically(int y0, int y1)
{
    const int upper = std::min(y0, y1);
    const int lower = std::max(y0, y1);
    const Rect& plot = graph_.PlotRect();
    const int top = plot.top;

    if (graph_.currentMode) {
        const double high = graph_.currentHigh;
        const double low = graph_.currentLow;
        const double height = plot.bottom - top;
        auto valueAt = [&](int y) { return height != 0 ? high - (y - top) / height * (high - low) : high; };
        graph_.currentHigh = valueAt(upper);
        graph_.currentLow = valueAt(lower);
        graph_.currentZoomed = true;
    } else if (!graph_.linearScale && graph_.PixelsPerDivision() > 0 && graph_.divisionCount > 0) {
        const int count = graph_.divisionCount;
        auto division = [&](int y) {
            return std::clamp(count - (y - top) / graph_.PixelsPerDivision() - 1, 0, count - 1);
        };
        const int d0 = division(upper);
        const int d1 = division(lower);
        // Counted from the decades already hidden below, so that a second
        // zoom narrows what is shown instead of starting from the bottom.
        graph_.lowestDecade += std::min(d0, d1);
        graph_.divisionCount = std::abs(d1 - d0) + 1;
    }

    const double low = graph_.resistanceLow;
    const double high = graph_.resistanceHigh;
    const int gridBottom = graph_.GridBottom();
    if (gridBottom != top) {
        const double span = gridBottom - top;
        auto within = [&](double value) { return std::clamp(value, std::min(low, high), std::max(low, high)); };
        graph_.resistanceLow = within(low + (high - low) * (gridBottom - lower) / span);
        graph_.resistanceHigh = within(low + (high - low) * (gridBottom - upper) / span);
    }
    graph_.RoundRangesToDecades();
}

void GraphInteraction::ClearMarks()
{
    GraphCursor& cursor = graph_.cursor;
    const bool marked = cursor.shown || graph_.readout.shown;
    cursor.shown = false;
    cursor.x = 0;
    graph_.readout = {};
    if (marked)
        Repaint(false);
}

double GraphInteraction::LongestRecord() const
{
    return FullTimeScaleEnd(doc_.Main(), doc_.ShownOverlays());
}

void GraphInteraction::RestoreTimeScale()
{
    graph_.timeStart = 0;
    graph_.timeEnd = LongestRecord();
    graph_.cursor.shown = false;
    graph_.cursor.x = 0;
}

void GraphInteraction::DoubleClicked(bool left)
{
    if (!GraphShown())
        return;
    std::lock_guard lock(displayLock_);
    Rebind();
    if (left)
        RestoreTimeScale();
    else
        graph_.RestoreRanges();
    Repaint(true);
}

void GraphInteraction::WheelZoom(int x, int y, int notches)
{
    if (!GraphShown() || !doc_.Main().IsDynamic() || notches == 0)
        return;
    {
        std::lock_guard lock(displayLock_);
        const Rect& plot = graph_.PlotRect();
        const double span = graph_.timeEnd - graph_.timeStart;
        const double longest = LongestRecord();
        if (plot.width() <= 0 || span <= 0 || longest <= 0)
            return;
        const double fraction = std::clamp(static_cast<double>(x - plot.left) / plot.width(), 0.0, 1.0);
        const double pinned = graph_.timeStart + fraction * span;
        const double wanted =
            std::clamp(span * std::pow(kWheelStep, notches), std::min(kNarrowestSpan, longest), longest);
        const double start = std::clamp(pinned - fraction * wanted, 0.0, longest - wanted);
        graph_.timeStart = start;
        graph_.timeEnd = start + wanted;
    }
    Repaint(true);
    const Rect& plot = graph_.PlotRect();
    if (x >= plot.left && x < plot.right && y >= plot.top && y < plot.bottom)
        TrackMouse(x, y, {});
}

void GraphInteraction::StepCursor(int pixels)
{
    const Rect& plot = graph_.PlotRect();
    if (plot.empty())
        return;
    const GraphCursor& cursor = graph_.cursor;
    const int from = cursor.shown ? cursor.x : (plot.left + plot.right) / 2;
    const int y = cursor.shown ? cursor.y : std::clamp(lastY_, plot.top, plot.bottom - 1);
    TrackMouse(std::clamp(from + pixels, plot.left, plot.right - 1), y, {});
}

void GraphInteraction::AddDataPoint()
{
    TestRecord& main = doc_.Main();
    const int count = std::max(main.dataPointCount, 0);
    if (count >= kMaxDataPoints) {
        prompter_.Message(MessageStyle::Tkan, kTooManyPointsText);
        return;
    }
    DataPoint& point = main.dataPoints[static_cast<std::size_t>(count)];
    point.time = graph_.capture.time;
    point.resistance = graph_.capture.resistance;
    point.current = graph_.capture.current;
    point.motorCurrent = graph_.capture.motorCurrent;
    // A slot freed by a deletion must not lend its old comment to the new
    // point.
    point.comment.clear();
    main.dataPointCount = count + 1;
}

bool GraphInteraction::KeyReleased(GraphKey key, bool shift)
{
    const bool loaded = doc_.TestLoaded();
    const bool dynamic = loaded && doc_.Main().IsDynamic();
    switch (key) {
    case GraphKey::F1:
        if (showHelp)
            showHelp();
        return true;
    case GraphKey::F5:
        if (loaded) {
            std::lock_guard lock(displayLock_);
            Rebind();
            graph_.SetScaleMode(!graph_.linearScale);
            Repaint(true);
        }
        return true;
    case GraphKey::F6:
    case GraphKey::F7:
        if (dynamic) {
            bool& mode = key == GraphKey::F6 ? graph_.currentMode : graph_.motorCurrentMode;
            mode = !mode;
            Repaint(true);
        }
        return true;
    case GraphKey::F8:
        if (loaded)
            AddDataPoint();
        return true;
    case GraphKey::F9:
        if (loaded && showDataPoints)
            showDataPoints();
        return true;
    case GraphKey::PageDown:
    case GraphKey::End:
        if (loaded && !dynamic && !doc_.GraphShown()) {
            doc_.ToggleGraph();
            return true;
        }
        return false;
    case GraphKey::PageUp:
    case GraphKey::Home:
        if (loaded && !dynamic && doc_.GraphShown()) {
            ClearMarks();
            doc_.ToggleGraph();
            return true;
        }
        return false;
    case GraphKey::Left:
    case GraphKey::Right:
        if (!GraphShown())
            return false;
        StepCursor((key == GraphKey::Left ? -1 : 1) * (shift ? kLongArrowStep : 1));
        return true;
    }
    return false;
}

}  // namespace tkan
