#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QPen>
#include <QPoint>
#include <QRect>

#include <vector>

#include "platform/Canvas.h"

class QPainter;

namespace tkan {

// The drawing seam on a QPainter: the view's window, an image or a printer
// page. The painter belongs to the caller and must outlive the canvas.
class QtCanvas : public Canvas {
public:
    explicit QtCanvas(QPainter& painter);

    void SetPen(CanvasColour colour, int width) override;
    void SetBrush(CanvasColour colour) override;
    void SetNoBrush() override;

    TextMetrics SelectFont(std::string_view face, int weight, int height) override;
    TextMetrics Metrics() const override;
    int TextWidth(std::string_view text) const override;

    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void Polyline(std::span<const Point> points) override;
    void ColumnLines(std::span<const ColumnSpan> spans) override;

    void Rectangle(const Rect& rect) override;
    void FillRect(const Rect& rect, CanvasColour colour) override;

    void SetTextColour(CanvasColour colour) override;
    void SetTextBackground(CanvasColour colour, bool opaque) override;
    void DrawText(int x, int y, std::string_view text) override;

    void SetXorMode(bool on) override;
    // Pictures of the Qt canvas (QtImage) only.
    void DrawImage(const Rect& target, const CanvasImage& image) override;

    // The family a Windows face name stands for on this system.
    static QString FamilyFor(std::string_view face);

private:
    int PenWidth() const { return penWidth < 1 ? 1 : penWidth; }

    QPainter& painter;
    QPen pen;
    int penWidth = 1;
    // ColumnLines' rectangles, kept so that a redraw allocates nothing.
    std::vector<QRect> columnRects;
    QBrush brush;
    QFont font;
    QFontMetrics metrics;
    QColor textColour = Qt::black;
    QColor textBackground = Qt::white;
    bool opaqueText = false;
    QPoint position;
    bool xorMode = false;
};

}  // namespace tkan
