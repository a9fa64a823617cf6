#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tkan {

class Prompter;
class SettingsStore;
struct TransitionSettings;

inline constexpr char kExportFolderTitle[] = "Select Folder to Export To";

// Asks for the tests to export (the Open Test dialog in its several-files
// form, titled "Select Test(s)"); nothing when the operator cancelled.
using ChooseTests = std::function<std::optional<std::vector<std::string>>()>;

// "Export Test": the tests, then the folder (starting in "ExportDir" of
// section "AppInfo"), then one workbook per test in selection order; a test
// that does not load is skipped; a dynamic test's transitions are found
// and judged by `transitions`. The folder is remembered. Returns what the
// status bar says afterwards, or nothing when the operator cancelled.
std::optional<std::string> ExportTests(const ChooseTests& chooseTests, const TransitionSettings& transitions,
                                       SettingsStore& store, Prompter& prompter);

}  // namespace tkan
