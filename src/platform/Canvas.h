#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/Colour.h"

namespace tkan {

struct Point {
    int x = 0;
    int y = 0;

    bool operator==(const Point&) const = default;
};

// Right and bottom are exclusive, as on the Windows device contexts the
// graph geometry was worked out on.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }

    bool operator==(const Rect&) const = default;
};

struct TextMetrics {
    int lineHeight = 0;    // height of one line of text, leading included
    int averageWidth = 0;  // average character width
};

// A picture the platform loaded (the printed report's logo); only a canvas
// of the same platform can draw it.
class CanvasImage {
public:
    virtual ~CanvasImage() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
};

// Font weights on the usual 100..900 scale.
inline constexpr int kFontNormal = 400;
inline constexpr int kFontBold = 700;

// Everything the graph and the printed pages draw goes through this seam: a
// painter on the view, an image or the printer; a recording in the tests. It
// carries the platform call and no geometry of its own.
//
// Texts are Windows-1252 bytes; the implementation converts.
class Canvas {
public:
    virtual ~Canvas() = default;

    // Lines and rectangle frames. A width of 0 or 1 is the thinnest line the
    // device draws.
    virtual void SetPen(CanvasColour colour, int width) = 0;
    // Rectangle interiors; NoBrush leaves them as they are.
    virtual void SetBrush(CanvasColour colour) = 0;
    virtual void SetNoBrush() = 0;

    // Height is in device units (pixels on screen), the whole cell height.
    // Faces are the Windows names ("MS Sans Serif", "Courier New"); the
    // implementation maps them to what the system has.
    virtual TextMetrics SelectFont(std::string_view face, int weight, int height) = 0;
    virtual TextMetrics Metrics() const = 0;
    virtual int TextWidth(std::string_view text) const = 0;

    virtual void MoveTo(int x, int y) = 0;
    // Draws from the current position to (x, y), the end point excluded, and
    // makes (x, y) the current position.
    virtual void LineTo(int x, int y) = 0;
    void Line(int x0, int y0, int x1, int y1)
    {
        MoveTo(x0, y0);
        LineTo(x1, y1);
    }
    virtual void Polyline(std::span<const Point> points) = 0;

    // Upright lines in the current pen, each drawn as Line(x, y0, x, y1)
    // draws it. A trace draws one a pixel column; a device may join
    // neighbours that cover the same rows into one stroke.
    struct ColumnSpan {
        int x = 0;
        int y0 = 0;
        int y1 = 0;
    };
    virtual void ColumnLines(std::span<const ColumnSpan> spans)
    {
        for (const ColumnSpan& span : spans)
            Line(span.x, span.y0, span.x, span.y1);
    }

    // Frame with the pen, interior with the brush.
    virtual void Rectangle(const Rect& rect) = 0;
    // Fills without touching the pen or the brush.
    virtual void FillRect(const Rect& rect, CanvasColour colour) = 0;

    virtual void SetTextColour(CanvasColour colour) = 0;
    // Opaque text paints its cell in the background colour first.
    virtual void SetTextBackground(CanvasColour colour, bool opaque) = 0;
    // (x, y) is the top left corner of the text's cell.
    virtual void DrawText(int x, int y, std::string_view text) = 0;

    // Draws `image` scaled into `target`. A canvas that cannot draw the
    // picture leaves the place empty.
    virtual void DrawImage(const Rect& target, const CanvasImage& image)
    {
        (void)target;
        (void)image;
    }

    // In exclusive-or mode a second drawing of the same line restores what
    // was under it: the moving cursor relies on that.
    virtual void SetXorMode(bool on) = 0;
};

}  // namespace tkan
