#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Canvas.h"

namespace tkan {

// A canvas that draws nothing and remembers every call, with fixed font
// metrics so that geometry can be checked to the unit.
class RecordingCanvas : public Canvas {
public:
    struct Pen {
        CanvasColour colour = kCanvasBlack;
        int width = 1;
        bool operator==(const Pen&) const = default;
    };
    struct Line {
        int x0, y0, x1, y1;
        Pen pen;
        bool xorMode;
    };
    struct Text {
        int x, y;
        std::string text;
        CanvasColour colour;
    };
    struct Box {
        Rect rect;
        Pen pen;
        std::optional<CanvasColour> brush;
    };
    struct Fill {
        Rect rect;
        CanvasColour colour;
    };
    struct Font {
        std::string face;
        int weight;
        int height;
    };
    struct Picture {
        Rect rect;
        int width, height;  // of the picture drawn
    };
    struct Poly {
        std::vector<Point> points;
        Pen pen;
    };

    explicit RecordingCanvas(int lineHeight = 10, int charWidth = 6) : metrics{lineHeight, charWidth} {}

    void SetPen(CanvasColour colour, int width) override
    {
        pen = {colour, width};
        pens.push_back(pen);
    }
    void SetBrush(CanvasColour colour) override { brush = colour; }
    void SetNoBrush() override { brush.reset(); }

    TextMetrics SelectFont(std::string_view face, int weight, int height) override
    {
        fonts.push_back({std::string(face), weight, height});
        return metrics;
    }
    TextMetrics Metrics() const override { return metrics; }
    int TextWidth(std::string_view text) const override { return static_cast<int>(text.size()) * metrics.averageWidth; }

    void MoveTo(int x, int y) override { position = {x, y}; }
    void LineTo(int x, int y) override
    {
        lines.push_back({position.x, position.y, x, y, pen, xorMode});
        position = {x, y};
    }
    void Polyline(std::span<const Point> points) override
    {
        polylines.push_back({std::vector<Point>(points.begin(), points.end()), pen});
    }
    void Rectangle(const Rect& rect) override { boxes.push_back({rect, pen, brush}); }
    void FillRect(const Rect& rect, CanvasColour colour) override { fills.push_back({rect, colour}); }

    void SetTextColour(CanvasColour colour) override { textColour = colour; }
    void SetTextBackground(CanvasColour colour, bool opaque) override
    {
        textBackground = colour;
        opaqueText = opaque;
    }
    void DrawText(int x, int y, std::string_view text) override
    {
        texts.push_back({x, y, std::string(text), textColour});
    }
    void SetXorMode(bool on) override { xorMode = on; }
    void DrawImage(const Rect& rect, const CanvasImage& image) override
    {
        pictures.push_back({rect, image.Width(), image.Height()});
    }

    // Queries.
    const Text* FindText(std::string_view text) const
    {
        for (const Text& t : texts)
            if (t.text == text)
                return &t;
        return nullptr;
    }
    std::vector<const Text*> TextsAt(int y) const
    {
        std::vector<const Text*> found;
        for (const Text& t : texts)
            if (t.y == y)
                found.push_back(&t);
        return found;
    }
    // Vertical lines at column x drawn with a pen of this colour.
    std::vector<Line> VerticalLinesAt(int x, CanvasColour colour) const
    {
        std::vector<Line> found;
        for (const Line& l : lines)
            if (l.x0 == x && l.x1 == x && l.pen.colour == colour)
                found.push_back(l);
        return found;
    }
    std::vector<Line> LinesIn(CanvasColour colour) const
    {
        std::vector<Line> found;
        for (const Line& l : lines)
            if (l.pen.colour == colour)
                found.push_back(l);
        return found;
    }
    std::vector<Line> HorizontalLines() const
    {
        std::vector<Line> found;
        for (const Line& l : lines)
            if (l.y0 == l.y1 && l.x0 != l.x1)
                found.push_back(l);
        return found;
    }

    void Clear()
    {
        pens.clear();
        fonts.clear();
        lines.clear();
        polylines.clear();
        boxes.clear();
        fills.clear();
        texts.clear();
        pictures.clear();
    }

    TextMetrics metrics;
    Pen pen;
    std::optional<CanvasColour> brush;
    Point position;
    CanvasColour textColour = kCanvasBlack;
    CanvasColour textBackground = kCanvasWhite;
    bool opaqueText = false;
    bool xorMode = false;

    std::vector<Pen> pens;
    std::vector<Font> fonts;
    std::vector<Line> lines;
    std::vector<Poly> polylines;
    std::vector<Box> boxes;
    std::vector<Fill> fills;
    std::vector<Text> texts;
    std::vector<Picture> pictures;
};

}  // namespace tkan
