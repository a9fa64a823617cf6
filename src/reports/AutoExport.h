#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "records/TestRecord.h"

namespace tkan {

class CAppInfo;
class MessagePump;
class Prompter;
class TickSource;

inline constexpr char kReportTemplateName[] = "tkanreport.mrt";
inline constexpr char kReportSchemaName[] = "tkandata.xsd";

// What the automatic export and the report exporter work with. The
// application makes one for the run; a test makes its own.
struct ReportExportContext {
    const CAppInfo& settings;
    Prompter& prompter;
    // The window keeps answering through the pump while the exporter runs.
    MessagePump& pump;
    TickSource& ticks;
    // Local time of the XML reports; empty: the system's clock.
    std::function<std::time_t()> clock;
    // Shows (true) and takes away (false) a busy indicator while the
    // exporter runs; empty: none.
    std::function<void(bool)> busy;
};

// After a save: a downloaded or document save (`exportOnSave`) writes the
// workbook to the record's own export folder when "AutoExport" is set and
// nothing else; any other save goes through the XML, spreadsheet and PDF
// flags in that order.
void AutoExportAfterSave(const TestRecord& record, ReportExportContext& context);

// The hook the records, the document and the test dialogs call after a save.
// The context must outlive the hook.
AutoExportHook MakeAutoExportHook(ReportExportContext& context);

// "AutoExportFolder"/`subfolder`/<name of `fileName` with `extension`>,
// the folders made when missing.
std::string ExportPath(const CAppInfo& settings, const std::string& fileName, const char* extension,
                       const char* subfolder);
// The temporary folder's <name with `extension`>, the folder made when missing.
std::string TempPath(const CAppInfo& settings, const std::string& name, const char* extension);

// Where the exporter's template or schema `name` is: in "InstallDir" itself,
// else in the shared data folder beside the program folder
// (<prefix>/bin -> <prefix>/share/tkan). A file in neither is named in
// "InstallDir", where the exporter then says it found none.
std::string ReportDataPath(const std::string& installDir, const std::string& name);

// Starts the exporter without a shell with the template and schema (found by
// ReportDataPath), the XML report and the PDF path, and waits for it with the
// window answering; one still running after two minutes is ended (its
// error is then 128 + 9, the signal). 1 when it ended with exit code 0;
// otherwise it shows "Unable to generate report" or "Error generating
// report, error=%d".
int RunReportExporter(const std::string& templateName, const std::string& schemaName, const std::string& xmlPath,
                      const std::string& pdfPath, ReportExportContext& context);

}  // namespace tkan
