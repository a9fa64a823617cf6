#include "reports/ExportTests.h"

#include "analysis/Transitions.h"
#include "platform/Paths.h"
#include "platform/Prompter.h"
#include "platform/SettingsStore.h"
#include "records/TestRecord.h"
#include "reports/SpreadsheetExport.h"
#include "settings/AppInfo.h"

namespace tkan {

namespace {

std::string NameList(const std::vector<std::string>& paths)
{
    std::string names;
    for (const std::string& path : paths)
        names += (names.empty() ? "" : ", ") + FileNamePart(path);
    return names;
}

}  // namespace

std::optional<std::string> ExportTests(const ChooseTests& chooseTests, const TransitionSettings& transitions,
                                       SettingsStore& store, Prompter& prompter)
{
    std::optional<std::vector<std::string>> tests = chooseTests();
    if (!tests || tests->empty())
        return std::nullopt;
    const std::string start = store.ReadText(kAppInfoSection, "ExportDir", "");
    std::optional<std::string> folder = prompter.ChooseFolder(kExportFolderTitle, start);
    if (!folder || folder->empty())
        return std::nullopt;

    int exported = 0;
    std::vector<std::string> skipped;
    std::vector<std::string> unwritten;
    for (const std::string& test : *tests) {
        TestRecord record;
        record.prompter = &prompter;
        if (!record.LoadTestFile(test)) {
            skipped.push_back(test);
            continue;
        }
        if (ExportSpreadsheet(record, transitions, WorkbookPath(*folder, test), prompter))
            ++exported;
        else
            unwritten.push_back(test);
    }
    store.WriteText(kAppInfoSection, "ExportDir", *folder);
    store.Flush();

    std::string status = std::to_string(exported) + (exported == 1 ? " test" : " tests") + " exported";
    if (!skipped.empty())
        status += "; not loaded: " + NameList(skipped);
    if (!unwritten.empty())
        status += "; not written: " + NameList(unwritten);
    return status;
}

}  // namespace tkan
