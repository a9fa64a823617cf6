#pragma once

#include <QImage>
#include <QRegion>

class QPainter;

namespace tkan {

class GraphInteraction;

// Paints `region` of the window from the page kept in `page`, then the
// graph's cursor, band and read-out over it (when `graph` is given). A
// mouse move repaints only the places the marks left and took, so its cost
// does not grow with the record.
void PaintKeptPage(QPainter& painter, const QImage& page, const QRegion& region, const GraphInteraction* graph);

}  // namespace tkan
