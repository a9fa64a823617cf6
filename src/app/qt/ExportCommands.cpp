#include "app/qt/ExportCommands.h"

#include <QProgressDialog>
#include <QStatusBar>

#include <memory>

#include "app/AppServices.h"
#include "app/qt/MainFrame.h"
#include "platform/qt/QtText.h"
#include "reports/ExportTests.h"
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
