#pragma once

#include <array>
#include <string>

#include "platform/Canvas.h"

namespace tkan {

class CDisplayTest;

// The cursor line or drag band over the plot, and the drag the mouse has
// begun. Positions are in the coordinates of `plot`, the plot they were
// placed on, so a page with another plot (paper, a resized window) can put
// the cursor at the same time.
struct GraphCursor {
    bool shown = false;
    bool band = false;  // a drag band rather than a line
    int x = 0;          // 0: no cursor
    int y = 0;
    Rect plot;

    bool dragging = false;
    int dragX = 0;
    int dragY = 0;
    bool leftDrag = false;
};

// The values under the cursor, one box per shown record; the second line
// only while two cursors measure an interval.
struct GraphReadout {
    bool shown = false;
    int records = 0;
    std::array<std::string, 3> line1;
    std::array<std::string, 3> line2;
};

// The cursor's column on `plot`: its own x on the plot it was placed on,
// else the same fraction of the plot's width.
int CursorColumn(const GraphCursor& cursor, const Rect& plot);

// The cursor line (or the band while dragging) over the renderer's last
// plot. On a printer page it comes out black, as every light pen does.
void DrawCursorMark(Canvas& canvas, const CDisplayTest& graph);

}  // namespace tkan
