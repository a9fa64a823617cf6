#include "reports/SpreadsheetExport.h"

#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

#include "analysis/TransitionTable.h"
#include "analysis/Transitions.h"
#include "platform/Codepage.h"
#include "platform/Paths.h"
#include "platform/Prompter.h"
#include "records/TestRecord.h"
#include "records/TextLines.h"
#include "reports/SheetWriter.h"

namespace tkan {

namespace {

std::string Resistance(double value)
{
    return FormatResistance(value, false, false);
}

// Fills one row from column A on.
void WriteRow(SheetWriter& sheet, int row, std::initializer_list<std::string> texts)
{
    int column = 1;
    for (const std::string& text : texts)
        sheet.WriteCell(row, column++, text);
}

}  // namespace

void WriteSheetCells(const TestRecord& record, SheetWriter& sheet)
{
    const TestHeader& h = record.header;
    WriteRow(sheet, 1, {"FILENAME", h.fileName});
    WriteRow(sheet, 2, {"DATE", h.testDate});
    WriteRow(sheet, 3, {"# TESTS", std::to_string(record.readingCount)});
    WriteRow(sheet, 4, {"COMPANY", h.company});
    WriteRow(sheet, 5, {"CIRCUIT", h.circuit});
    WriteRow(sheet, 6, {"MODEL", h.model});
    WriteRow(sheet, 7, {"STATION", h.station});
    WriteRow(sheet, 8, {"MFR", h.manufacturer});
    WriteRow(sheet, 9, {"SN", h.serialNumber});
    WriteRow(sheet, 10, {"OPERATOR", h.operatorName});
    WriteRow(sheet, 11, {"COMMENTS", ""});
    int row = 12;
    if (record.tempCorrected) {
        WriteRow(sheet, 12, {"Measure Temp", FormatNumber("%2.1lf", record.measureTemp)});
        WriteRow(sheet, 13, {"Reference Temp", FormatNumber("%2.1lf", record.referenceTemp)});
        WriteRow(sheet, 14, {"Tk", FormatNumber("%2.1lf", record.tempConstant)});
        row = 15;
    }

    if (record.IsDynamic()) {
        WriteRow(sheet, row, {"DATA POINTS"});
        WriteRow(sheet, row + 2, {"POINT", "TIME", "RES", "COMMENT"});
        for (int i = 0; i < record.dataPointCount && i < kMaxDataPoints; ++i) {
            const DataPoint& point = record.dataPoints[static_cast<std::size_t>(i)];
            WriteRow(sheet, row + 3 + i,
                     {std::to_string(i + 1), FormatNumber("%3.3lf", point.time), Resistance(point.resistance),
                      point.comment});
        }
        return;
    }

    WriteRow(sheet, row, {"TEST", "TIME", "R1", "R1s", "R2", "R2s", "R3", "R3s"});
    // Each value stands under its own heading; without the correction the
    // corrected columns stay empty.
    for (int i = 0; i < record.readingCount && i < kMaxReadings; ++i) {
        const StaticReading& r = record.readings[static_cast<std::size_t>(i)];
        const int at = row + 1 + i;
        WriteRow(sheet, at, {record.ReadingLabel(i), r.timeText, Resistance(r.r1)});
        if (record.tempCorrected)
            sheet.WriteCell(at, 4, Resistance(r.r1s));
        if (record.HasV2()) {
            sheet.WriteCell(at, 5, Resistance(r.r2));
            if (record.tempCorrected)
                sheet.WriteCell(at, 6, Resistance(r.r2s));
        }
        if (record.HasV3()) {
            sheet.WriteCell(at, 7, Resistance(r.r3));
            if (record.tempCorrected)
                sheet.WriteCell(at, 8, Resistance(r.r3s));
        }
    }
}

void WriteTransitionCells(const TransitionReport& report, SheetWriter& sheet)
{
    sheet.WriteCell(1, 1, "Motor run time (s)");
    if (report.motorStartS)  // empty when the motor never ran, as on paper
        sheet.WriteNumber(1, 2, RoundedTo(report.motorRunS, kMotorRunDecimals));
    int column = 1;
    for (const TransitionColumn& c : kTransitionColumns)
        sheet.WriteCell(3, column++, c.heading);
    sheet.WriteCell(3, column, kJudgementHeading);
    int row = 3;
    for (const Transition& t : report.transitions) {
        ++row;
        const std::vector<std::optional<double>> values = TransitionValues(row - 3, t);
        column = 1;
        for (const TransitionColumn& c : kTransitionColumns) {
            const std::size_t k = static_cast<std::size_t>(column - 1);
            if (k < values.size() && values[k])
                sheet.WriteNumber(row, column, RoundedTo(*values[k], c.decimals));
            ++column;
        }
        sheet.WriteCell(row, column, TransitionJudgement(t));
    }
}

int ExportSpreadsheet(const TestRecord& record, const TransitionSettings& transitions, const std::string& path,
                      SheetWriter& sheet, Prompter& prompter)
{
    WriteSheetCells(record, sheet);
    if (record.IsDynamic()) {
        sheet.AddSheet(kTransitionsSheet);
        WriteTransitionCells(AnalyseTransitions(record, transitions), sheet);
    }
    std::string reason;
    if (sheet.Save(path, reason))
        return 1;
    prompter.Message(MessageStyle::Tkan,
                     "Unable to write the spreadsheet " + Utf8ToCp1252(path) + "\n" + Utf8ToCp1252(reason));
    return 0;
}

int ExportSpreadsheet(const TestRecord& record, const TransitionSettings& transitions, const std::string& path,
                      Prompter& prompter)
{
    std::unique_ptr<SheetWriter> sheet = MakeXlsxSheetWriter();
    return ExportSpreadsheet(record, transitions, path, *sheet, prompter);
}

std::string WorkbookPath(const std::string& folder, const std::string& testFile)
{
    return JoinPath(folder, FileStem(testFile) + kWorkbookExtension);
}

}  // namespace tkan
