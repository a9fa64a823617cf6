#include "display/TransitionMarks.h"

#include <algorithm>
#include <climits>
#include <string>

#include "analysis/Transitions.h"
#include "display/DisplayTest.h"
#include "display/GraphMath.h"
#include "settings/AppInfo.h"

namespace tkan {

namespace {

// The time axis's own mapping, so that a mark stands on the tick of its time.
int TimeToX(const CDisplayTest& graph, double time)
{
    const Rect& plot = graph.PlotRect();
    return plot.left + IntegerPart((time - graph.timeStart) / (graph.timeEnd - graph.timeStart) * plot.width());
}

}  // namespace

void DrawTransitionMarks(CDisplayTest& graph, const TransitionReport& report)
{
    Canvas* canvas = graph.Surface();
    const CAppInfo* settings = graph.Settings();
    if (!canvas || !settings || !(graph.timeEnd > graph.timeStart))
        return;
    const Rect& plot = graph.PlotRect();
    const TextMetrics& metrics = graph.GraphMetrics();
    const int numberY = plot.top - metrics.lineHeight;
    const int tickBottom = plot.top + metrics.lineHeight / 2;
    // Numbers of transitions closer than a number's width would run into
    // each other: the later one keeps its tick only.
    int lastRight = INT_MIN;
    int number = 0;
    for (const Transition& transition : report.transitions) {
        ++number;
        const int start = TimeToX(graph, graph.SampleToTime(transition.startIndex));
        const int end = TimeToX(graph, graph.SampleToTime(transition.endIndex));
        if (end < plot.left || start > plot.right)
            continue;
        const bool flagged = transition.fails || transition.standsOut;
        const CanvasColour colour = flagged ? kTransitionFailColour : settings->crForeGround;
        graph.SelectPen(colour, 2);
        // Ticks hang from the frame at the start and, once it lies apart,
        // at the end.
        if (start >= plot.left)
            canvas->Line(start, plot.top, start, tickBottom);
        if (end > start + 2 && end <= plot.right)
            canvas->Line(end, plot.top, end, tickBottom);

        const std::string text = std::to_string(number);
        const int width = canvas->TextWidth(text);
        const int middle = (std::max(start, plot.left) + std::min(end, plot.right)) / 2;
        const int x = std::clamp(middle - width / 2, plot.left, plot.right - width);
        if (x <= lastRight)
            continue;
        canvas->SetTextColour(graph.Printing() && !flagged ? kCanvasBlack : colour);
        canvas->DrawText(x, numberY, text);
        lastRight = x + width;
    }
    canvas->SetTextColour(graph.Printing() ? kCanvasBlack : settings->crForeGround);
}

}  // namespace tkan
