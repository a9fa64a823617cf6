#include "display/qt/GraphImage.h"

#include <QPainter>

#include "display/DisplayTest.h"
#include "platform/qt/QtCanvas.h"
#include "settings/AppInfo.h"

namespace tkan {

QImage RenderGraphImage(CDisplayTest& renderer, const CAppInfo& settings, const TestRecord& main,
                        std::span<const TestRecord* const> overlays, QSize size)
{
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    const CanvasColour background = settings.crBackground;
    image.fill(QColor(RedOf(background), GreenOf(background), BlueOf(background)));
    {
        QPainter painter(&image);
        QtCanvas canvas(painter);
        renderer.Bind(&canvas, settings, main, overlays, false);
        renderer.DrawGraph({0, 0, image.width(), image.height()});
        renderer.Bind(nullptr, settings, main, overlays, false);
    }
    return image;
}

}  // namespace tkan
