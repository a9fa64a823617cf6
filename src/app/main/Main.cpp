// tkan: the desktop program.
#include <QApplication>
#include <QFile>
#include <QTimer>

#include <clocale>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/AppServices.h"
#include "app/RecentFileList.h"
#include "app/UlkApp.h"
#include "app/UlkDoc.h"
#include "app/qt/ExportCommands.h"
#include "app/qt/FileCommands.h"
#include "app/qt/MainFrame.h"
#include "app/qt/PrintCommands.h"
#include "app/qt/TestingCommands.h"
#include "device/HidTransport.h"
#include "device/RovaDevice.h"
#include "device/SerialCom.h"
#include "device/Timer.h"
#include "device/hidapi/HidapiBackend.h"
#include "display/qt/UlkView.h"
#include "platform/Paths.h"
#include "platform/qt/QSettingsStore.h"
#include "platform/qt/QtMessagePump.h"
#include "platform/qt/QtPrompter.h"
#include "reports/AutoExport.h"
#include "settings/AppInfo.h"
#include "sim/PtySim.h"
#include "testing/TestingContext.h"

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    tkan::CommandLine line = tkan::ParseCommandLine(args);
    if (!line.error.empty()) {
        std::fprintf(stderr, "tkan: %s\n%s", line.error.c_str(), tkan::UsageText().c_str());
        return 2;
    }
    if (line.help) {
        std::fputs(tkan::UsageText().c_str(), stdout);
        return 0;
    }

    std::optional<tkan::SimModel> simulatedModel;
    if (line.simulate) {
        simulatedModel = line.simulatedModel.empty() ? tkan::SimModel::Tkan : tkan::ParseSimModel(line.simulatedModel);
        if (!simulatedModel || *simulatedModel == tkan::SimModel::Other) {
            std::fprintf(stderr, "tkan: no simulated instrument is called %s\n%s", line.simulatedModel.c_str(),
                         tkan::UsageText().c_str());
            return 2;
        }
    }

    QApplication application(argc, argv);
    // Qt takes the desktop's locale for the C library too, and a decimal
    // comma would then creep into the numbers of reports and files; the
    // program formats its numbers the way the instrument and its files do.
    std::setlocale(LC_NUMERIC, "C");
    // The settings key: the maker, then the application title.
    QCoreApplication::setOrganizationName(QString::fromLatin1(tkan::kCompanyKey));
    QCoreApplication::setApplicationName(QString::fromLatin1(tkan::kApplicationTitle));

    const std::string startFolder = tkan::CurrentFolder();
    const std::string programFolder = QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();

    tkan::QtPrompter prompter;
    tkan::QSettingsStore store;
    tkan::CAppInfo settings;
    tkan::RecentFileList recent;
    tkan::SteadyTickSource ticks;
    tkan::MessagePump pump;
    tkan::InstallQtPump(pump);

    tkan::CSerialCom serial(prompter, ticks, pump);
    tkan::HidapiBackend hid;
    tkan::HidTransport usb(hid, ticks, pump);
    tkan::RovaDevice device(serial, &usb, settings, prompter);

    // The built-in instrument of --simulate: a TKAN, or the model named, with
    // the demonstration records, answering on a pseudo-terminal at its line
    // speed.
    std::unique_ptr<tkan::PtySim> simulation;
    std::optional<std::string> simulatedPort;
    if (line.simulate) {
        tkan::SimOptions options;
        options.clockStart = tkan::SimDate::Today();
        options.model = *simulatedModel;
        simulation = std::make_unique<tkan::PtySim>(options);
        std::string error;
        if (!simulation->Start(error)) {
            prompter.Message(tkan::MessageStyle::Warning, "The simulated instrument did not start: " + error);
            return 1;
        }
        simulatedPort = simulation->SlavePath();
    }

    tkan::CUlkApp app(store, settings, recent, serial);
    app.InitInstance(startFolder, programFolder, simulatedPort);

    tkan::AppServices services{settings, store, recent, prompter, device, serial, ticks, pump};
    tkan::CUlkDoc doc(settings, prompter, recent, store);
    // Made before the frame so that it outlives the frame's handlers.
    tkan::TestingContext testing{device, settings, store, prompter, ticks, pump, {}, {}};
    tkan::ReportExportContext exports{settings, prompter, pump, ticks, {}, {}};
    tkan::CMainFrame frame(services, doc);
    prompter.SetMainWindow(&frame);

    // Every save exports as chosen in the settings: the document's, the
    // downloads' and the test dialogs'.
    exports.busy = tkan::MakeExporterBusyIndicator(&frame);
    doc.autoExport = tkan::MakeAutoExportHook(exports);
    testing.autoExport = tkan::MakeAutoExportHook(exports);
    tkan::InstallExportCommands(frame, services);
    tkan::InstallTraceExport(frame, doc, services);

    // The test-run and retrieval dialogs; what they saved opens as the document.
    tkan::InstallTestingCommands(frame, testing);
    // Recall, overlays and Application Setup.
    tkan::InstallFileCommands(frame, doc, services, app.Simulated());
    // Print, preview, page setup and the graph onto the clipboard.
    tkan::InstallPrintCommands(frame, settings, prompter);

    // A file that was named but does not load ends the program, after the
    // loader has said why.
    if (!line.file.empty() && !frame.OpenDocumentFile(tkan::AbsolutePath(line.file, startFolder)))
        return 1;

    if (line.exitAfterFirstPaint) {
        QObject::connect(
            &frame.View(), &tkan::CUlkView::painted, &application,
            [] { QTimer::singleShot(0, qApp, &QCoreApplication::quit); }, Qt::SingleShotConnection);
    }
    frame.showMaximized();
    return application.exec();
}
