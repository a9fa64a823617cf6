#pragma once

#include <string>

namespace tkan {

class Prompter;
class SheetWriter;
class TestRecord;
struct TransitionReport;
struct TransitionSettings;

inline constexpr char kTransitionsSheet[] = "Transitions";

// The workbook extension: the files are .xlsx workbooks and are named so.
inline constexpr char kWorkbookExtension[] = ".xlsx";

// Writes the record's cells, row by row and left to right: the header block,
// then the data points of a dynamic test or the readings of a static one.
void WriteSheetCells(const TestRecord& record, SheetWriter& sheet);

// The cells of the "Transitions" sheet into the sheet being filled: the
// motor's run time, then one row per transition under headings with their
// units, numbers as numbers rounded as everywhere else.
void WriteTransitionCells(const TransitionReport& report, SheetWriter& sheet);

// Fills `sheet` and saves it at `path`; a dynamic test gets its transitions,
// found and judged by `transitions`, on a second sheet. A workbook that
// cannot be written is reported with its path and the reason. 1 when
// written.
int ExportSpreadsheet(const TestRecord& record, const TransitionSettings& transitions, const std::string& path,
                      SheetWriter& sheet, Prompter& prompter);
// The same with this platform's workbook writer.
int ExportSpreadsheet(const TestRecord& record, const TransitionSettings& transitions, const std::string& path,
                      Prompter& prompter);

// The workbook of test file `testFile` in `folder`: the file's name without
// its folder and extension, with the workbook extension.
std::string WorkbookPath(const std::string& folder, const std::string& testFile);

}  // namespace tkan
