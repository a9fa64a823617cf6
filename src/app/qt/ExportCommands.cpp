#include "app/qt/ExportCommands.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStatusBar>

#include <memory>

#include "analysis/Transitions.h"
#include "app/AppServices.h"
#include "app/UlkDoc.h"
#include "app/qt/MainFrame.h"
#include "platform/Codepage.h"
#include "platform/Paths.h"
#include "platform/Prompter.h"
#include "platform/qt/QtText.h"
#include "reports/Comtrade.h"
#include "reports/ExportTests.h"
#include "reports/SamplesCsv.h"
#include "settings/AppInfo.h"
#include "testlist/RovaOpenFileDlg.h"
#include "testlist/qt/OpenTestDialog.h"

namespace tkan {

void InstallExportCommands(CMainFrame& frame, AppServices& services, ChooseTests chooseTests)
{
    CMainFrame* window = &frame;
    AppServices* shared = &services;
    if (!chooseTests)
        chooseTests = [window, shared] {
            return ChooseTestFiles(window, shared->settings, shared->store, shared->prompter, kSelectTestsTitle, true);
        };
    frame.SetCommandHandler(CommandId::ExportTest, [window, shared, chooseTests] {
        std::optional<std::string> status =
            ExportTests(chooseTests, TransitionSettingsFrom(shared->settings), shared->store, shared->prompter);
        if (status)
            window->statusBar()->showMessage(FromPath(*status));
    });
}

void InstallTraceExport(CMainFrame& frame, CUlkDoc& doc, AppServices& services)
{
    CMainFrame* window = &frame;
    CUlkDoc* document = &doc;
    AppServices* shared = &services;
    frame.SetCommandHandler(CommandId::ExportTrace, [window, document, shared] {
        const QString comtrade = QStringLiteral("COMTRADE (*.cfg)");
        const QString csv = QStringLiteral("CSV (*.csv)");
        const std::string suggested = JoinPath(shared->settings.FilePath, FileStem(document->PathName()));
        QString filter = comtrade;
        const QString chosen = QFileDialog::getSaveFileName(window, QStringLiteral("Export Trace"), FromPath(suggested),
                                                            comtrade + QStringLiteral(";;") + csv, &filter);
        if (chosen.isEmpty())
            return;
        std::string path = ToPath(chosen);
        std::string problem;
        bool written = false;
        if (filter == csv) {
            path = WithDefaultExtension(path, ".csv");
            written = SaveSamplesCsv(document->Main(), path, problem);
        } else {
            // COMTRADE is a pair of files named alike: the name without ".cfg".
            if (QFileInfo(chosen).fileName().endsWith(QStringLiteral(".cfg"), Qt::CaseInsensitive))
                path.resize(path.size() - 4);
            written = WriteComtrade(document->Main(), path, problem);
            path += ".cfg";
        }
        if (!written) {
            shared->prompter.Message(MessageStyle::Warning, Utf8ToCp1252(problem));
            return;
        }
        window->statusBar()->showMessage(QStringLiteral("Trace exported to ") + FromPath(path));
    });
}

std::function<void(bool)> MakeExporterBusyIndicator(QWidget* parent)
{
    auto shown = std::make_shared<std::unique_ptr<QProgressDialog>>();
    return [parent, shown](bool busy) {
        if (!busy) {
            shown->reset();
            return;
        }
        auto dialog =
            std::make_unique<QProgressDialog>(QStringLiteral("Generating report..."), QString(), 0, 0, parent);
        dialog->setWindowTitle(QStringLiteral("TKAN"));
        dialog->setAccessibleName(QStringLiteral("Generating report..."));
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->setMinimumDuration(0);
        dialog->show();
        *shown = std::move(dialog);
    };
}

}  // namespace tkan
