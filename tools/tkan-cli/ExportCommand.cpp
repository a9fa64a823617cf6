#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "analysis/Transitions.h"
#include "platform/Paths.h"
#include "records/TestRecord.h"
#include "reports/Comtrade.h"
#include "reports/SamplesCsv.h"
#include "reports/SpreadsheetExport.h"
#include "reports/XmlReport.h"

namespace tkan::cli {

int RunExport(const Command& self, std::span<const std::string> args)
{
    std::optional<std::string> format;
    std::optional<std::string> outDir;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string problem;
        bool ok = true;
        if (IsOption(arg, "--format"))
            ok = TakeOptionValue(args, i, "--format", format, problem);
        else if (IsOption(arg, "--out"))
            ok = TakeOptionValue(args, i, "--out", outDir, problem);
        else if (arg.starts_with("--"))
            ok = false, problem = "unknown option " + arg;
        else
            files.push_back(arg);
        if (!ok)
            return UsageError(self, problem);
    }
    if (files.empty())
        return UsageError(self, "no file given");
    if (!format || (*format != "xlsx" && *format != "xml" && *format != "comtrade" && *format != "csv"))
        return UsageError(self, "--format must be xlsx, xml, comtrade or csv");
    if (!outDir)
        return UsageError(self, "--out is required");

    StderrPrompter prompter;
    std::vector<std::string> failed;
    for (const std::string& file : files) {
        TestRecord record;
        bool written = LoadRecord(file, record, prompter);
        if (written && *format == "xlsx") {
            written = ExportSpreadsheet(record, TransitionSettings{}, WorkbookPath(*outDir, file), prompter) == 1;
        } else if (written && (*format == "comtrade" || *format == "csv")) {
            // The trace itself, for analysis programs; a static test has none.
            const std::string base = JoinPath(*outDir, FileStem(file));
            std::string problem;
            written = *format == "csv" ? SaveSamplesCsv(record, base + ".csv", problem)
                                       : WriteComtrade(record, base, problem);
            if (!written)
                ReportError(file + ": " + problem);
        } else if (written) {
            const std::string path = JoinPath(*outDir, FileStem(file) + ".xml");
            written = WriteXmlReport(record, path, std::time(nullptr)) == 1;
            if (!written)
                ReportError("cannot write " + path);
        }
        if (!written)
            failed.push_back(file);
    }
    if (failed.empty())
        return kExitOk;
    std::string names;
    for (const std::string& file : failed)
        names += (names.empty() ? "" : ", ") + file;
    ReportError("not exported: " + names);
    return kExitFailure;
}

}  // namespace tkan::cli
