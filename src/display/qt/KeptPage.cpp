#include "display/qt/KeptPage.h"

#include <QPainter>

#include "display/GraphInteraction.h"
#include "platform/qt/QtCanvas.h"

namespace tkan {

void PaintKeptPage(QPainter& painter, const QImage& page, const QRegion& region, const GraphInteraction* graph)
{
    const qreal ratio = page.devicePixelRatio();
    for (const QRect& area : region)
        painter.drawImage(area.topLeft(), page,
                          QRectF(area.x() * ratio, area.y() * ratio, area.width() * ratio, area.height() * ratio));
    if (!graph)
        return;
    painter.setClipRegion(region);
    QtCanvas canvas(painter);
    graph->PaintOverlay(canvas);
}

}  // namespace tkan
