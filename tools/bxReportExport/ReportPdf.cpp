#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <functional>
#include <vector>

#include "ReportExport.h"

namespace bx {

namespace {

constexpr double kMarginPt = 42;  // 15 mm
constexpr double kBodyPt = 10;

QString Q(const std::string& utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// Lays the report out top to bottom in points, starting a new page when a
// line would run past the bottom margin.
class PageFlow {
public:
    // The writer works at 72 dots per inch, so painter units are points.
    PageFlow(QPdfWriter& writer, QPainter& painter) : writer_(writer), painter_(painter)
    {
        const QSizeF page = writer.pageLayout().paintRect(QPageLayout::Point).size();
        width_ = page.width();
        height_ = page.height();
        y_ = 0;
    }

    double Width() const { return width_; }

    // Room for `height` points, on a new page when this one is full.
    double Take(double height)
    {
        if (y_ + height > height_ && y_ > 0) {
            writer_.newPage();
            y_ = 0;
            if (onNewPage)
                onNewPage();
        }
        const double top = y_;
        y_ += height;
        return top;
    }

    void Gap(double height) { y_ = std::min(y_ + height, height_); }

    void Text(const QString& text, double pointSize, bool bold, Qt::Alignment align = Qt::AlignLeft)
    {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(pointSize);
        font.setBold(bold);
        painter_.setFont(font);
        const double height = QFontMetricsF(font, &writer_).lineSpacing();
        const double top = Take(height);
        painter_.drawText(QRectF(0, top, width_, height), static_cast<int>(align | Qt::AlignVCenter), text);
    }

    void Rule()
    {
        const double top = Take(8);
        painter_.setPen(QPen(Qt::black, 0.6));
        painter_.drawLine(QPointF(0, top + 4), QPointF(width_, top + 4));
    }

    // A row of cells, each in its column; `x` gives the left edges.
    void Row(const std::vector<QString>& cells, const std::vector<double>& x, bool bold, double pointSize = kBodyPt - 1)
    {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(pointSize);
        font.setBold(bold);
        const double height = QFontMetricsF(font, &writer_).lineSpacing() + 3;
        const double top = Take(height);
        painter_.setFont(font);
        for (std::size_t i = 0; i < cells.size() && i < x.size(); ++i) {
            const double right = i + 1 < x.size() ? x[i + 1] - 4 : width_;
            painter_.drawText(QRectF(x[i], top, right - x[i], height), Qt::AlignLeft | Qt::AlignVCenter, cells[i]);
        }
    }

    std::function<void()> onNewPage;

private:
    QPdfWriter& writer_;
    QPainter& painter_;
    double width_ = 0;
    double height_ = 0;
    double y_ = 0;
};

void Fields(PageFlow& flow, const std::vector<const TemplateItem*>& fields, const ReportData& data)
{
    // Two label-value pairs to a line, the way the header block of the
    // instrument's printout reads.
    const double column = flow.Width() / 2;
    for (std::size_t i = 0; i < fields.size(); i += 2) {
        std::vector<QString> cells;
        std::vector<double> x;
        for (std::size_t k = i; k < std::min(i + 2, fields.size()); ++k) {
            cells.push_back(Q(fields[k]->text) + QStringLiteral(":"));
            cells.push_back(Q(Substitute(fields[k]->value, data)));
            x.push_back(column * static_cast<double>(k - i));
            x.push_back(column * static_cast<double>(k - i) + 95);
        }
        flow.Row(cells, x, false);
    }
}

void Temperatures(PageFlow& flow, const TemplateItem& item, const ReportData& data)
{
    if (data.Value("measuretemp").empty())
        return;
    if (!item.text.empty())
        flow.Text(Q(Substitute(item.text, data)), kBodyPt + 2, true);
    flow.Row({QStringLiteral("Measured temperature Tm:"), Q(data.Value("measuretemp"))}, {0, 150}, false);
    flow.Row({QStringLiteral("Reference temperature Ts:"), Q(data.Value("referencetemp"))}, {0, 150}, false);
    flow.Row({QStringLiteral("Temperature constant Tk:"), Q(data.Value("tempconstant"))}, {0, 150}, false);
    flow.Gap(6);
}

void Readings(PageFlow& flow, const TemplateItem& item, const ReportData& data)
{
    if (data.Flag("isltc"))
        return;
    struct Column {
        const char* name;
        const char* heading;
        double width;
    };
    struct Resistance {
        const char* name;
        const char* heading;
    };
    constexpr Resistance kResistances[] = {{"r1", "R1"},   {"r1s", "R1s"}, {"r2", "R2"},
                                           {"r2s", "R2s"}, {"r3", "R3"},   {"r3s", "R3s"}};
    std::vector<Column> columns = {{"testlabel", "Test", 30}, {"time", "Time", 50}};
    std::size_t shown = 0;
    for (const Resistance& r : kResistances)
        shown += data.Flag(std::string(r.name) + "enabled");
    // The resistance columns share what Test, Time and a narrow Notes leave.
    const double width = shown ? std::min(80.0, (flow.Width() - 80 - 50) / static_cast<double>(shown)) : 0;
    for (const Resistance& r : kResistances)
        if (data.Flag(std::string(r.name) + "enabled"))
            columns.push_back({r.name, r.heading, width});
    columns.push_back({"notes", "Notes", 0});
    std::vector<QString> headings;
    std::vector<double> x;
    double at = 0;
    for (const Column& c : columns) {
        headings.push_back(QString::fromLatin1(c.heading));
        x.push_back(at);
        at += c.width;
    }
    if (!item.text.empty())
        flow.Text(Q(Substitute(item.text, data)), kBodyPt + 2, true);
    flow.Row(headings, x, true);
    // A table that runs onto the next page repeats its headings there.
    flow.onNewPage = [&] { flow.Row(headings, x, true); };
    for (const Reading& reading : data.readings) {
        std::vector<QString> cells;
        for (const Column& c : columns) {
            auto it = reading.find(c.name);
            cells.push_back(it == reading.end() ? QString() : Q(it->second));
        }
        flow.Row(cells, x, false, kBodyPt - 2);
    }
    flow.onNewPage = nullptr;
    flow.Gap(6);
}

}  // namespace

bool WritePdf(const ReportTemplate& report, const ReportData& data, const std::string& pdfPath, std::string& error)
{
    QSaveFile file(QString::fromLocal8Bit(pdfPath.c_str()));
    if (!file.open(QIODevice::WriteOnly)) {
        error = "cannot write the PDF " + pdfPath + ": " + file.errorString().toStdString();
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setResolution(72);
        writer.setCreator(QStringLiteral("bxReportExport"));
        writer.setTitle(Q(Substitute("TKAN report {filename}", data)));
        writer.setPageLayout(QPageLayout(QPageSize(report.letter ? QPageSize::Letter : QPageSize::A4),
                                         report.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                         QMarginsF(kMarginPt, kMarginPt, kMarginPt, kMarginPt), QPageLayout::Point));
        QPainter painter(&writer);
        PageFlow flow(writer, painter);
        std::vector<const TemplateItem*> fields;
        for (std::size_t i = 0; i < report.items.size(); ++i) {
            const TemplateItem& item = report.items[i];
            if (item.directive == "field") {
                fields.push_back(&item);
                if (i + 1 < report.items.size() && report.items[i + 1].directive == "field")
                    continue;
                Fields(flow, fields, data);
                fields.clear();
            } else if (item.directive == "title") {
                flow.Text(Q(Substitute(item.text, data)), 18, true, Qt::AlignHCenter);
                flow.Gap(4);
            } else if (item.directive == "heading") {
                flow.Text(Q(Substitute(item.text, data)), kBodyPt + 2, true);
            } else if (item.directive == "line") {
                flow.Text(Q(Substitute(item.text, data)), kBodyPt, false);
            } else if (item.directive == "dynamic") {
                if (data.Flag("isltc"))
                    flow.Text(Q(Substitute(item.text, data)), kBodyPt, false);
            } else if (item.directive == "rule") {
                flow.Rule();
            } else if (item.directive == "temperatures") {
                Temperatures(flow, item, data);
            } else if (item.directive == "readings") {
                Readings(flow, item, data);
            }
        }
        if (!painter.end()) {
            error = "cannot write the PDF " + pdfPath;
            file.cancelWriting();
            return false;
        }
    }
    if (!file.commit()) {
        error = "cannot write the PDF " + pdfPath + ": " + file.errorString().toStdString();
        return false;
    }
    return true;
}

}  // namespace bx
