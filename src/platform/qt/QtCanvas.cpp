#include "platform/qt/QtCanvas.h"

#include <QFontDatabase>
#include <QPaintEngine>
#include <QPainter>
#include <QPolygon>
#include <QString>

#include <algorithm>
#include <cstdlib>

#include "platform/qt/QtImage.h"
#include "platform/qt/QtText.h"

namespace tkan {

namespace {

QColor ToQColor(CanvasColour colour)
{
    return QColor(RedOf(colour), GreenOf(colour), BlueOf(colour));
}

}  // namespace

QtCanvas::QtCanvas(QPainter& target) : painter(target), font(target.font()), metrics(font, target.device())
{
    pen = QPen(Qt::black, 0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void QtCanvas::SetPen(CanvasColour colour, int width)
{
    penWidth = width;
    // Width 0 or 1 is the device's thinnest line, as on a Windows device
    // context; wider pens are in device units.
    // A wide pen reaches half its width past a line's ends, as the Windows
    // pens the graph was drawn with do: a level stretch of a trace, drawn as
    // one short upright line a column, is then as thick as the pen and not
    // one device unit (a hairline on a printer).
    pen = QPen(ToQColor(colour), width <= 1 ? 0 : width, Qt::SolidLine, width <= 1 ? Qt::FlatCap : Qt::SquareCap,
               Qt::MiterJoin);
    painter.setPen(pen);
}

void QtCanvas::SetBrush(CanvasColour colour)
{
    brush = QBrush(ToQColor(colour));
    painter.setBrush(brush);
}

void QtCanvas::SetNoBrush()
{
    brush = QBrush(Qt::NoBrush);
    painter.setBrush(brush);
}

QString QtCanvas::FamilyFor(std::string_view face)
{
    if (face == "MS Sans Serif") {
        QString family = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
        return family.isEmpty() ? QStringLiteral("DejaVu Sans") : family;
    }
    if (face == "Courier New") {
        QString family = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
        return family.isEmpty() ? QStringLiteral("DejaVu Sans Mono") : family;
    }
    return FromWindows1252(face);
}

TextMetrics QtCanvas::SelectFont(std::string_view face, int weight, int height)
{
    font = QFont(FamilyFor(face));
    if (face == "Courier New")
        font.setStyleHint(QFont::Monospace);
    font.setWeight(static_cast<QFont::Weight>(weight < 1 ? QFont::Normal : (weight > 1000 ? 1000 : weight)));
    // Height 0 asks for the device's default size, as on Windows.
    if (height > 0)
        font.setPixelSize(height);
    painter.setFont(font);
    metrics = QFontMetrics(font, painter.device());
    return Metrics();
}

TextMetrics QtCanvas::Metrics() const
{
    TextMetrics result;
    result.lineHeight = metrics.height();
    result.averageWidth = metrics.averageCharWidth();
    return result;
}

int QtCanvas::TextWidth(std::string_view text) const
{
    return metrics.horizontalAdvance(FromWindows1252(text));
}

void QtCanvas::MoveTo(int x, int y)
{
    position = QPoint(x, y);
}

void QtCanvas::LineTo(int x, int y)
{
    QPoint end(x, y);
    if (end == position)
        return;
    // A wide upright or level line is the rectangle a flat-capped pen
    // covers; filling it is many times cheaper than stroking it, and the
    // graph draws one a pixel column.
    const int w = penWidth;
    if (!xorMode && w >= 2 && w % 2 == 0 && (end.x() == position.x() || end.y() == position.y())) {
        const int h = w / 2;
        if (end.x() == position.x())
            painter.fillRect(QRect(x - h, std::min(y, position.y()) - h, w, std::abs(y - position.y()) + w),
                             pen.color());
        else
            painter.fillRect(QRect(std::min(x, position.x()) - h, y - h, std::abs(x - position.x()) + w, w),
                             pen.color());
    } else {
        painter.drawLine(position, end);
    }
    position = end;
}

void QtCanvas::ColumnLines(std::span<const ColumnSpan> spans)
{
    const int w = penWidth;
    if (xorMode || w < 2 || w % 2 != 0) {
        Canvas::ColumnLines(spans);
        return;
    }
    // Neighbouring columns over the same rows are one rectangle: a flat
    // stretch of a trace costs one fill instead of one per pixel column.
    columnRects.clear();
    std::size_t i = 0;
    while (i < spans.size()) {
        const ColumnSpan& start = spans[i];
        std::size_t end = i + 1;
        while (end < spans.size() && spans[end].x == spans[end - 1].x + 1 && spans[end].y0 == start.y0 &&
               spans[end].y1 == start.y1)
            ++end;
        const int top = std::min(start.y0, start.y1);
        const int height = std::abs(start.y1 - start.y0);
        if (height > 0)
            columnRects.push_back(QRect(start.x - w / 2, top - w / 2, spans[end - 1].x - start.x + w, height + w));
        i = end;
    }
    // All of them in one call, filled with the pen's colour and no outline.
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(pen.color());
    painter.drawRects(columnRects.data(), static_cast<int>(columnRects.size()));
    painter.restore();
    if (!spans.empty())
        position = QPoint(spans.back().x, spans.back().y1);
}

void QtCanvas::Polyline(std::span<const Point> points)
{
    if (points.empty())
        return;
    if (points.size() == 1) {
        // A lone reading still shows, as a dot of the pen's width.
        int w = PenWidth();
        painter.fillRect(QRect(points[0].x - w / 2, points[0].y - w / 2, w, w), pen.color());
        return;
    }
    QPolygon polygon;
    polygon.reserve(static_cast<qsizetype>(points.size()));
    for (const Point& p : points)
        polygon.append(QPoint(p.x, p.y));
    painter.drawPolyline(polygon);
}

void QtCanvas::Rectangle(const Rect& rect)
{
    if (rect.empty())
        return;
    if (brush.style() != Qt::NoBrush)
        painter.fillRect(QRect(rect.left, rect.top, rect.width(), rect.height()), brush);
    // The frame lies inside the rectangle, so a wide printer pen does not
    // spill over what surrounds it.
    int w = PenWidth();
    painter.save();
    painter.setBrush(Qt::NoBrush);
    if (penWidth <= 1) {
        painter.drawRect(QRect(rect.left, rect.top, rect.width() - 1, rect.height() - 1));
    } else {
        double half = w / 2.0;
        painter.drawRect(QRectF(rect.left + half, rect.top + half, rect.width() - w, rect.height() - w));
    }
    painter.restore();
}

void QtCanvas::FillRect(const Rect& rect, CanvasColour colour)
{
    if (rect.empty())
        return;
    painter.fillRect(QRect(rect.left, rect.top, rect.width(), rect.height()), ToQColor(colour));
}

void QtCanvas::SetTextColour(CanvasColour colour)
{
    textColour = ToQColor(colour);
}

void QtCanvas::SetTextBackground(CanvasColour colour, bool opaque)
{
    textBackground = ToQColor(colour);
    opaqueText = opaque;
}

void QtCanvas::DrawText(int x, int y, std::string_view text)
{
    QString string = FromWindows1252(text);
    if (opaqueText)
        painter.fillRect(QRect(x, y, metrics.horizontalAdvance(string), metrics.height()), textBackground);
    painter.setPen(textColour);
    painter.drawText(QPoint(x, y + metrics.ascent()), string);
    painter.setPen(pen);
}

void QtCanvas::DrawImage(const Rect& target, const CanvasImage& image)
{
    const auto* picture = dynamic_cast<const QtImage*>(&image);
    if (!picture || target.empty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(QRect(target.left, target.top, target.width(), target.height()), picture->image);
    painter.restore();
}

void QtCanvas::SetXorMode(bool on)
{
    QPaintEngine* engine = painter.paintEngine();
    xorMode = on;
    if (on) {
        if (engine && engine->hasFeature(QPaintEngine::RasterOpModes))
            painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    } else {
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
}

}  // namespace tkan
