// tkan-cli print and graph: the printed report as a PDF and the graph as a
// picture, drawn as the program draws them, without a display.
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>

#include <array>
#include <clocale>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "display/DisplayTest.h"
#include "display/ResultsPage.h"
#include "display/qt/GraphImage.h"
#include "platform/Paths.h"
#include "platform/qt/QSettingsStore.h"
#include "platform/qt/QtImage.h"
#include "platform/qt/QtText.h"
#include "records/TestRecord.h"
#include "reports/PrintedReport.h"
#include "reports/qt/ReportPrinter.h"
#include "settings/AppInfo.h"

namespace tkan::cli {

namespace {

// The program prints at this resolution too, so the pages match.
constexpr int kPdfResolution = 600;
constexpr int kDefaultWidth = 1200;
constexpr int kDefaultHeight = 800;
constexpr std::int64_t kLargestSide = 20000;

// Qt's chatter (a missing runtime folder, font fallbacks) is not the tool's
// output; its fatal errors still go out.
void QuietQt(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        ReportError(message.toStdString());
}

// Fonts and painting need the GUI application object; the offscreen
// platform lets the tool run without a display unless one is asked for.
std::unique_ptr<QGuiApplication> StartGui()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietQt);
    static int argc = 1;
    static char name[] = "tkan-cli";
    static char* argv[] = {name, nullptr};
    auto app = std::make_unique<QGuiApplication>(argc, argv);
    // Numbers in reports keep the point, whatever the desktop's locale.
    std::setlocale(LC_NUMERIC, "C");
    return app;
}

struct Request {
    std::optional<std::string> file;
    std::vector<std::string> overlays;
    std::optional<std::string> out;
    bool portrait = false;
    std::int64_t width = kDefaultWidth;
    std::int64_t height = kDefaultHeight;
};

// The test and its overlays, loaded; the settings the program would use.
struct OpenTest {
    CAppInfo settings;
    TestRecord main;
    std::array<TestRecord, kMaxOverlays> overlays;
    std::array<const TestRecord*, kMaxOverlays> shown{};
    CDisplayTest renderer;

    bool Load(const Request& request, Prompter& prompter)
    {
        QSettingsStore store;
        settings.Load(store, CurrentFolder());
        if (!LoadRecord(*request.file, main, prompter))
            return false;
        for (std::size_t k = 0; k < request.overlays.size(); ++k) {
            if (!LoadRecord(request.overlays[k], overlays[k], prompter))
                return false;
            shown[k] = &overlays[k];
        }
        ResetForNewTest(renderer, main, shown, true);
        return true;
    }
};

// The options both commands share and the one naming the output; false
// with the usage error in `exitCode` when the line is not understood.
bool ParseRequest(const Command& self, std::span<const std::string> args, const std::string& outOption, bool sizes,
                  Request& request, int& exitCode)
{
    auto fail = [&](const std::string& problem) {
        exitCode = UsageError(self, problem);
        return false;
    };
    std::optional<std::string> width;
    std::optional<std::string> height;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string problem;
        if (IsOption(arg, "--overlay")) {
            std::optional<std::string> overlay;
            if (!TakeOptionValue(args, i, "--overlay", overlay, problem))
                return fail(problem);
            if (request.overlays.size() == kMaxOverlays)
                return fail("at most 2 overlays");
            request.overlays.push_back(*overlay);
        } else if (IsOption(arg, outOption)) {
            if (!TakeOptionValue(args, i, outOption, request.out, problem))
                return fail(problem);
        } else if (!sizes && arg == "--portrait") {
            request.portrait = true;
        } else if (sizes && (IsOption(arg, "--width") || IsOption(arg, "--height"))) {
            const bool isWidth = IsOption(arg, "--width");
            const std::string name = isWidth ? "--width" : "--height";
            std::optional<std::string>& value = isWidth ? width : height;
            if (!TakeOptionValue(args, i, name, value, problem))
                return fail(problem);
            std::optional<std::int64_t> n = ParseCount(*value);
            if (!n || *n < 1 || *n > kLargestSide)
                return fail(name + " needs a number of pixels from 1 to 20000");
            (isWidth ? request.width : request.height) = *n;
        } else if (arg.starts_with("--")) {
            return fail("unknown option " + arg);
        } else if (request.file) {
            return fail("one test file only (overlays go after --overlay)");
        } else {
            request.file = arg;
        }
    }
    if (!request.file)
        return fail("no test file given");
    if (!request.out)
        return fail(outOption + " is missing");
    return true;
}

// What both commands start with: the command line understood, Qt started
// and the tests loaded. False with the exit code set when any of it fails.
struct Session {
    Request request;
    std::unique_ptr<QGuiApplication> app;
    std::unique_ptr<OpenTest> test;
};

bool OpenSession(const Command& self, std::span<const std::string> args, const std::string& outOption, bool sizes,
                 Session& session, int& exitCode)
{
    exitCode = kExitUsage;
    if (!ParseRequest(self, args, outOption, sizes, session.request, exitCode))
        return false;
    session.app = StartGui();
    StderrPrompter prompter;
    session.test = std::make_unique<OpenTest>();
    if (!session.test->Load(session.request, prompter)) {
        exitCode = kExitFailure;
        return false;
    }
    return true;
}

}  // namespace

int RunPrint(const Command& self, std::span<const std::string> args)
{
    Session session;
    int exitCode = kExitOk;
    if (!OpenSession(self, args, "--pdf", false, session, exitCode))
        return exitCode;
    const Request& request = session.request;
    OpenTest* test = session.test.get();
    std::unique_ptr<QtImage> logo = LoadImageFile(test->settings.LogoFile);

    // Written beside and put in place whole: a failed run leaves an earlier
    // PDF of that name as it was.
    QSaveFile file(FromPath(*request.out));
    if (!file.open(QIODevice::WriteOnly)) {
        ReportError("cannot write " + *request.out);
        return kExitFailure;
    }
    QPdfWriter writer(&file);
    writer.setResolution(kPdfResolution);
    writer.setPageOrientation(request.portrait ? QPageLayout::Portrait : QPageLayout::Landscape);
    writer.setTitle(FromWindows1252(test->main.header.fileName));
    writer.setCreator(QStringLiteral("TKAN Software Version %1").arg(QString::fromLatin1(kSoftwareVersion)));

    PrintedReport report(test->settings, test->main, test->shown, test->renderer);
    report.SetLogo(logo.get());
    if (PaintReport(report, writer) == 0 || !file.commit()) {
        ReportError("cannot write " + *request.out);
        return kExitFailure;
    }
    return kExitOk;
}

int RunGraph(const Command& self, std::span<const std::string> args)
{
    Session session;
    int exitCode = kExitOk;
    if (!OpenSession(self, args, "--png", true, session, exitCode))
        return exitCode;
    const Request& request = session.request;
    OpenTest* test = session.test.get();

    QImage image = RenderGraphImage(test->renderer, test->settings, test->main, test->shown,
                                    QSize(static_cast<int>(request.width), static_cast<int>(request.height)));
    QSaveFile file(FromPath(*request.out));
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        ReportError("cannot write " + *request.out);
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace tkan::cli
