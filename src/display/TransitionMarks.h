#pragma once

#include "platform/Canvas.h"

namespace tkan {

class CDisplayTest;
struct TransitionReport;

// A transition beyond a limit or far beyond its neighbours: a dark red that
// reads on the grey of the page and of the plot.
inline constexpr CanvasColour kTransitionFailColour = CanvasRgb(176, 0, 0);

// Numbers the main record's transitions in the row above the renderer's
// last plot, each over ticks at its start and end; transitions outside the
// time range shown are left out.
void DrawTransitionMarks(CDisplayTest& graph, const TransitionReport& report);

}  // namespace tkan
