#include "app/qt/ExportCommands.h"

#include <QFileDialog>
#include <QProgressDialog>
#include <QStatusBar>

#include <memory>

#include "app/AppServices.h"
#include "app/qt/MainFrame.h"
#include "platform/FileFilter.h"
#include "platform/qt/QtText.h"
#include "reports/ExportTests.h"
#include "settings/AppInfo.h"

namespace tkan {

namespace {

constexpr char kTestFilesFilter[] = "Test (*.tst-tkan;*.tst-rkz;*.test)|*.tst-tkan;*.tst-rkz;*.test||";

}  // namespace

std::optional<std::vector<std::string>> ChooseTestsToExport(QWidget* parent, const CAppInfo& settings)
{
    // Stands in for the Open Test dialog until that dialog takes the
    // several-files form; the title and the multiple choice are the same.
    QStringList filters;
    for (const std::string& filter : QtNameFilters(kTestFilesFilter))
        filters << QString::fromStdString(filter);
    const QStringList chosen = QFileDialog::getOpenFileNames(parent, QString::fromLatin1(kSelectTestsTitle),
                                                             FromPath(settings.FilePath), filters.join(";;"));
    if (chosen.isEmpty())
        return std::nullopt;
    std::vector<std::string> paths;
    for (const QString& path : chosen)
        paths.push_back(ToPath(path));
    return paths;
}

void InstallExportCommands(CMainFrame& frame, AppServices& services, ChooseTests chooseTests)
{
    CMainFrame* window = &frame;
    AppServices* shared = &services;
    if (!chooseTests)
        chooseTests = [window, shared] { return ChooseTestsToExport(window, shared->settings); };
    frame.SetCommandHandler(CommandId::ExportTest, [window, shared, chooseTests] {
        std::optional<std::string> status = ExportTests(chooseTests, shared->store, shared->prompter);
        if (status)
            window->statusBar()->showMessage(FromPath(*status));
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
