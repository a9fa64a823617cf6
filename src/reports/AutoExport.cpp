#include "reports/AutoExport.h"

#include <filesystem>
#include <system_error>

#include "analysis/Transitions.h"
#include "platform/ChildProcess.h"
#include "platform/MessagePump.h"
#include "platform/Paths.h"
#include "platform/Prompter.h"
#include "platform/TickSource.h"
#include "reports/SpreadsheetExport.h"
#include "reports/XmlReport.h"
#include "settings/AppInfo.h"

namespace tkan {

namespace {

// How long one wait for the exporter lets the window answer before looking
// at the child again.
constexpr std::uint32_t kExporterPollMs = 50;
// A report takes the exporter a second or two; one that has not ended in
// this long hangs, and the program must not wait behind it for ever.
constexpr std::uint32_t kExporterLimitMs = 120000;

constexpr char kSharedDataFolder[] = "../share/tkan";

std::string InFolderMadeIfMissing(const std::string& folder, const std::string& name)
{
    // A folder that cannot be made shows up as the file that cannot be
    // written there.
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return JoinPath(folder, name);
}

std::time_t Now(const ReportExportContext& context)
{
    return context.clock ? context.clock() : std::time(nullptr);
}

bool IsFile(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::is_regular_file(path, ignored);
}

}  // namespace

std::string ExportPath(const CAppInfo& settings, const std::string& fileName, const char* extension,
                       const char* subfolder)
{
    return InFolderMadeIfMissing(JoinPath(settings.AutoExportFolder, subfolder), FileStem(fileName) + extension);
}

std::string TempPath(const CAppInfo& settings, const std::string& name, const char* extension)
{
    return InFolderMadeIfMissing(settings.tempFolder, FileStem(name) + extension);
}

std::string ReportDataPath(const std::string& installDir, const std::string& name)
{
    const std::string direct = JoinPath(installDir, name);
    if (IsFile(direct))
        return direct;
    const std::string shared =
        (std::filesystem::path(installDir) / kSharedDataFolder / name).lexically_normal().string();
    return IsFile(shared) ? shared : direct;
}

int RunReportExporter(const std::string& templateName, const std::string& schemaName, const std::string& xmlPath,
                      const std::string& pdfPath, ReportExportContext& context)
{
    const std::string& installDir = context.settings.InstallDir;
    ChildProcess exporter;
    std::string reason;
    if (!exporter.Start(
            context.settings.exporterPath,
            {ReportDataPath(installDir, templateName), ReportDataPath(installDir, schemaName), xmlPath, pdfPath},
            reason)) {
        context.prompter.Message(MessageStyle::Tkan, "Unable to generate report");
        return 0;
    }
    if (context.busy)
        context.busy(true);
    int exitCode = 0;
    const std::uint32_t started = context.ticks.TickCount();
    bool killed = false;
    while (!exporter.Ended(exitCode)) {
        if (!killed && context.ticks.TickCount() - started >= kExporterLimitMs) {
            exporter.Kill();
            killed = true;
        }
        context.pump.WaitDispatching(context.ticks, kExporterPollMs);
    }
    if (context.busy)
        context.busy(false);
    if (exitCode == 0)
        return 1;
    context.prompter.Message(MessageStyle::Tkan, "Error generating report, error=" + std::to_string(exitCode));
    return 0;
}

void AutoExportAfterSave(const TestRecord& record, ReportExportContext& context)
{
    const CAppInfo& settings = context.settings;
    const std::string& fileName = record.header.fileName;
    if (record.exportOnSave) {
        if (record.autoExport)
            ExportSpreadsheet(record, TransitionSettingsFrom(settings), WorkbookPath(record.autoExportDir, fileName),
                              context.prompter);
        return;
    }
    if (settings.AutoExportXml)
        WriteXmlReport(record, ExportPath(settings, fileName, ".xml", "Xml"), Now(context));
    if (settings.AutoExportExcel)
        ExportSpreadsheet(record, TransitionSettingsFrom(settings),
                          ExportPath(settings, fileName, kWorkbookExtension, "Excel"), context.prompter);
    if (settings.AutoExportPdf) {
        const std::string xml = TempPath(settings, "autoexport", ".xml");
        // A report left from an earlier test must not pass for this one's
        // when this one cannot be written.
        std::error_code ignored;
        std::filesystem::remove(xml, ignored);
        WriteXmlReport(record, xml, Now(context));
        RunReportExporter(kReportTemplateName, kReportSchemaName, xml, ExportPath(settings, fileName, ".pdf", "PDF"),
                          context);
    }
}

AutoExportHook MakeAutoExportHook(ReportExportContext& context)
{
    ReportExportContext* shared = &context;
    return [shared](const TestRecord& record) { AutoExportAfterSave(record, *shared); };
}

}  // namespace tkan
