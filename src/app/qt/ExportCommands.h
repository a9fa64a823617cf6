#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "reports/ExportTests.h"

class QWidget;

namespace tkan {

class CAppInfo;
class CMainFrame;
class CUlkDoc;
struct AppServices;

// Plugs "Export Test" into the main window: the tests are chosen, then the
// folder, one workbook is written per test, and the status bar says how many
// were exported and which were skipped. The handler keeps a reference to
// `services`, which must outlive the frame's use of it. `chooseTests`
// replaces the file choice (tests); empty: the Open Test dialog in its
// several-files form titled "Select Test(s)".
void InstallExportCommands(CMainFrame& frame, AppServices& services, ChooseTests chooseTests = {});

// Plugs "Export Trace..." in: the loaded dynamic test's samples saved as
// COMTRADE (a .cfg and a .dat) or as CSV, as the operator chooses.
void InstallTraceExport(CMainFrame& frame, CUlkDoc& doc, AppServices& services);

// What shows while the report exporter runs: a small modal window with a
// moving bar. The program's windows keep painting and take no other input
// meanwhile.
std::function<void(bool)> MakeExporterBusyIndicator(QWidget* parent);

}  // namespace tkan
