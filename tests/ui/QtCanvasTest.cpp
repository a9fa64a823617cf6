#include "platform/qt/QtCanvas.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <vector>

namespace tkan {
namespace {

using Span = Canvas::ColumnSpan;

QImage Draw(const std::vector<Span>& spans, int penWidth, bool batched)
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QtCanvas canvas(painter);
    canvas.SetPen(CanvasRgb(0, 0, 255), penWidth);
    if (batched) {
        canvas.ColumnLines(spans);
    } else {
        for (const Span& s : spans)
            canvas.Line(s.x, s.y0, s.x, s.y1);
    }
    return image;
}

// Joined columns must light exactly the pixels the single lines do: runs
// of equal rows, a gap in the columns, a change of rows, a single column,
// an upward span and an empty one.
TEST(QtCanvasColumnLines, JoiningNeighboursDrawsWhatOneLineAColumnDraws)
{
    const std::vector<Span> spans{{10, 20, 25}, {11, 20, 25}, {12, 20, 25}, {14, 20, 25}, {15, 21, 25},
                                  {16, 21, 25}, {17, 5, 40},  {18, 30, 28}, {19, 30, 30}, {20, 30, 31}};
    for (int width : {0, 1, 2, 3, 8}) {
        EXPECT_EQ(Draw(spans, width, true), Draw(spans, width, false)) << "pen width " << width;
    }
}

}  // namespace
}  // namespace tkan
