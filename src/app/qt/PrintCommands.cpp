#include "app/qt/PrintCommands.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QKeySequence>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QShortcut>

#include <mutex>

#include "app/Commands.h"
#include "app/qt/MainFrame.h"
#include "display/ViewDocument.h"
#include "display/qt/GraphImage.h"
#include "display/qt/UlkView.h"
#include "platform/Paths.h"
#include "platform/Prompter.h"
#include "platform/qt/QtText.h"
#include "records/TestRecord.h"
#include "reports/PrintedReport.h"
#include "reports/qt/ReportPrinter.h"
#include "settings/AppInfo.h"

namespace tkan {

namespace {

// Fine enough for the graph's one line a column, and the same as the PDF
// that tkan-cli writes, so both give the same pages.
constexpr int kPrintResolution = 600;

QPageLayout::Orientation OrientationOf(const CAppInfo& settings)
{
    return settings.Orientation == 0 ? QPageLayout::Landscape : QPageLayout::Portrait;
}

}  // namespace

CPrintCommands::CPrintCommands(CMainFrame& frame, const CAppInfo& settings, Prompter& prompter)
    : QObject(&frame), frame_(frame), settings_(settings), prompter_(prompter)
{
    runDialog = [](QDialog& dialog) { return dialog.exec() == QDialog::Accepted; };

    frame.SetCommandHandler(CommandId::Print, [this] { Print(); });
    frame.SetCommandHandler(CommandId::PrintPreview, [this] { Preview(); });
    frame.SetCommandHandler(CommandId::PrintSetup, [this] { PageSetup(); });
    // On the view only: in a header edit or the grid the key copies text.
    auto* copy = new QShortcut(QKeySequence::Copy, &frame.View());
    copy->setContext(Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, &CPrintCommands::CopyGraph);
}

CPrintCommands::~CPrintCommands() = default;

QPrinter& CPrintCommands::EnsurePrinter()
{
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer_->setResolution(kPrintResolution);
        printer_->setPageOrientation(OrientationOf(settings_));
    }
    return *printer_;
}

void CPrintCommands::ApplyOrientationSetting()
{
    if (printer_)
        printer_->setPageOrientation(OrientationOf(settings_));
}

bool CPrintCommands::PaintPages(QPrinter& printer, int first, int last, int copies)
{
    CUlkView& view = frame_.View();
    ViewDocument& doc = view.Document();
    int painted = 0;
    {
        std::lock_guard lock(view.DisplayLock());
        const std::array<const TestRecord*, 2> overlays = doc.ShownOverlays();
        PrintedReport report(settings_, doc.Main(), overlays, view.Renderer());
        report.SetLogo(view.Logo());
        painted = PaintReport(report, printer, first, last, copies);
    }
    // The graph drawn elsewhere moved the renderer's plot; the page is laid
    // out and drawn again before the mouse finds it.
    view.OnUpdate();
    return painted > 0;
}

void CPrintCommands::Print()
{
    CUlkView& view = frame_.View();
    ViewDocument& doc = view.Document();
    if (!doc.TestLoaded())
        return;
    frame_.CommitEdits();
    QPrinter& printer = EnsurePrinter();

    int pages = 0;
    {
        std::lock_guard lock(view.DisplayLock());
        const std::array<const TestRecord*, 2> overlays = doc.ShownOverlays();
        PrintedReport report(settings_, doc.Main(), overlays, view.Renderer());
        pages = CountReportPages(report, printer);
    }
    // Printing to a file: the test's name, in the test folder, rather than
    // a "print.pdf" in the home folder.
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        const QString name = FromWindows1252(FileStem(doc.Main().header.fileName));
        if (!name.isEmpty())
            printer.setOutputFileName(QDir(FromPath(settings_.FilePath)).filePath(name + QStringLiteral(".pdf")));
    }
    QPrintDialog dialog(&printer, &frame_);
    dialog.setMinMax(1, pages);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    if (!runDialog(dialog))
        return;

    int first = 1;
    int last = 0;
    if (printer.printRange() == QPrinter::PageRange) {
        first = printer.fromPage();
        last = printer.toPage();
    }
    // A printer that cannot make copies itself gets each copy sent.
    const int copies = printer.supportsMultipleCopies() ? 1 : printer.copyCount();
    // A PDF into a folder that cannot be written, or a printer that refused
    // the job, must not pass for a printed report.
    if (!PaintPages(printer, first, last, copies))
        prompter_.Message(MessageStyle::Warning, kPrintFailedText);
}

void CPrintCommands::Preview()
{
    ViewDocument& doc = frame_.View().Document();
    if (!doc.TestLoaded())
        return;
    frame_.CommitEdits();
    QPrinter& printer = EnsurePrinter();
    QPrintPreviewDialog preview(&printer, &frame_);
    preview.setWindowTitle(QStringLiteral("Print Preview"));
    if (const QScreen* screen = frame_.screen())
        preview.resize(screen->availableGeometry().size() * 4 / 5);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* target) { PaintPages(*target, 1, 0, 1); });
    runDialog(preview);
}

void CPrintCommands::PageSetup()
{
    QPageSetupDialog dialog(&EnsurePrinter(), &frame_);
    runDialog(dialog);
}

void CPrintCommands::CopyGraph()
{
    CUlkView& view = frame_.View();
    ViewDocument& doc = view.Document();
    if (!doc.TestLoaded() || !doc.GraphShown())
        return;
    const Rect& shown = view.LastLayout().graphRect;
    QSize size = shown.empty() ? view.size() : QSize(shown.width(), shown.height());
    QImage image;
    {
        std::lock_guard lock(view.DisplayLock());
        const std::array<const TestRecord*, 2> overlays = doc.ShownOverlays();
        image = RenderGraphImage(view.Renderer(), settings_, doc.Main(), overlays, size);
    }
    QGuiApplication::clipboard()->setImage(image);
    view.OnUpdate();
}

CPrintCommands* InstallPrintCommands(CMainFrame& frame, const CAppInfo& settings, Prompter& prompter)
{
    return new CPrintCommands(frame, settings, prompter);
}

}  // namespace tkan
