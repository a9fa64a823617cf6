#include "reports/qt/ReportPrinter.h"

#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>

#include "platform/qt/QtCanvas.h"
#include "reports/PrintedReport.h"

namespace tkan {

namespace {

Rect PageOf(const QPaintDevice& device)
{
    return {0, 0, device.width(), device.height()};
}

}  // namespace

int PaintReport(PrintedReport& report, QPagedPaintDevice& device, int first, int last, int copies)
{
    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    QtCanvas canvas(painter);
    const Rect page = PageOf(device);
    const int count = report.PageCount(canvas, page);
    const int from = std::max(1, first);
    const int to = last <= 0 ? count : std::min(last, count);
    int painted = 0;
    for (int copy = 0; copy < std::max(1, copies); ++copy) {
        for (int index = from; index <= to; ++index) {
            // A page that cannot be begun, or a job that cannot be
            // finished, is a report that was not written.
            if (painted > 0 && !device.newPage()) {
                painter.end();
                return 0;
            }
            report.DrawPage(canvas, page, index - 1);
            ++painted;
        }
    }
    return painter.end() ? painted : 0;
}

int CountReportPages(const PrintedReport& report, const QPaintDevice& device)
{
    // The header font is sized in device units, so a probe of the device's
    // resolution measures it as the job will.
    QImage probe(1, 1, QImage::Format_RGB32);
    const double dotsPerMetre = device.logicalDpiX() / 0.0254;
    probe.setDotsPerMeterX(static_cast<int>(dotsPerMetre));
    probe.setDotsPerMeterY(static_cast<int>(device.logicalDpiY() / 0.0254));
    QPainter painter(&probe);
    QtCanvas canvas(painter);
    return report.PageCount(canvas, PageOf(device));
}

}  // namespace tkan
