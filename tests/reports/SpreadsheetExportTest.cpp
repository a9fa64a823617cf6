#include "reports/SpreadsheetExport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Transitions.h"
#include "records/TestRecord.h"
#include "support/DemoFiles.h"
#include "support/RecordingPrompter.h"
#include "support/RecordingSheet.h"
#include "support/TempDir.h"

namespace tkan {
namespace {

using Row = std::vector<std::string>;
using test::RecordingSheet;

const std::string kBlank = "          ";

void FillHeader(TestRecord& r)
{
    r.header.fileName = "T1.tst-tkan";
    r.header.testDate = "Mar 04, 2026";
    r.header.company = "Northgrid";
    r.header.circuit = "Feeder 7";
    r.header.model = "OLTC-3";
    r.header.station = "Elm Street";
    r.header.manufacturer = "Acme";
    r.header.serialNumber = "SN42";
    r.header.operatorName = "Kim";
}

TEST(SpreadsheetLayoutTest, StaticV1WithCorrectionFillsRowsOneToEighteen)
{
    TestRecord r;
    FillHeader(r);
    r.testType = 1;
    r.tempCorrected = true;
    r.measureTemp = 24.5;
    r.referenceTemp = 75;
    r.tempConstant = 234.5;
    r.readingCount = 3;
    r.readings[0] = {0, 1001, 0, 0, 1200, 0, 0, "10:11:12"};
    r.readings[1] = {0, 0, 0, 0, 0, 0, 0, "10:12:00"};
    r.readings[2] = {0, 2500000, 5, 5, 3000000, 6, 6, "10:13:00"};

    RecordingSheet sheet;
    WriteSheetCells(r, sheet);
    EXPECT_EQ(sheet.Row(1), (Row{"FILENAME", "T1.tst-tkan"}));
    EXPECT_EQ(sheet.Row(3), (Row{"# TESTS", "3"}));
    EXPECT_EQ(sheet.Row(7), (Row{"STATION", "Elm Street"}));
    EXPECT_EQ(sheet.Row(11), (Row{"COMMENTS", ""}));
    EXPECT_EQ(sheet.Row(12), (Row{"Measure Temp", "24.5"}));
    EXPECT_EQ(sheet.Row(13), (Row{"Reference Temp", "75.0"}));
    EXPECT_EQ(sheet.Row(14), (Row{"Tk", "234.5"}));
    EXPECT_EQ(sheet.Row(15), (Row{"TEST", "TIME", "R1", "R1s", "R2", "R2s", "R3", "R3s"}));
    EXPECT_EQ(sheet.Row(16), (Row{" 1", "10:11:12", "1.0010 m-Ohm     ", "1.2000 m-Ohm     "}));
    // A zero resistance is ten blanks; V2 and V3 stay out of a V1 test.
    EXPECT_EQ(sheet.Row(17), (Row{" 2", "10:12:00", kBlank, kBlank}));
    EXPECT_EQ(sheet.Row(18), (Row{" 3", "10:13:00", "2.5000 Ohms      ", "3.0000 Ohms      "}));
    EXPECT_EQ(sheet.Row(19), Row{});
    // Row by row, left to right.
    EXPECT_EQ(sheet.order.front(), "A1");
    EXPECT_EQ(sheet.order.back(), "D18");
}

TEST(SpreadsheetLayoutTest, UncorrectedValuesStandUnderTheirOwnHeadings)
{
    TestRecord r;
    r.testType = 17 + 2;  // V1,V2,V3 tap-changer test
    r.tapsPerSide = 1;
    r.readingCount = 3;
    r.readings[0] = {0, 100, 200, 300, 9, 9, 9, "t"};
    RecordingSheet sheet;
    WriteSheetCells(r, sheet);
    EXPECT_EQ(sheet.Row(12)[0], "TEST");
    // Tap labels count down from the taps per side through neutral.
    EXPECT_EQ(sheet.Row(13),
              (Row{" 1L", "t", "100.00 u-Ohm     ", "-", "200.00 u-Ohm     ", "-", "300.00 u-Ohm     "}));
    EXPECT_EQ(sheet.Row(14)[0], " N");
    EXPECT_EQ(sheet.Row(15)[0], " 1R");
}

TEST(SpreadsheetLayoutTest, DynamicTestListsItsDataPoints)
{
    TestRecord r;
    r.testType = 4;
    r.dataPointCount = 2;
    r.dataPoints[0] = {0.5, 2450, "before", 0, 0};
    r.dataPoints[1] = {12.25, 0, "", 0, 0};
    RecordingSheet sheet;
    WriteSheetCells(r, sheet);
    EXPECT_EQ(sheet.Row(12), (Row{"DATA POINTS"}));
    EXPECT_EQ(sheet.Row(13), Row{});
    EXPECT_EQ(sheet.Row(14), (Row{"POINT", "TIME", "RES", "COMMENT"}));
    EXPECT_EQ(sheet.Row(15), (Row{"1", "0.500", "2.4500 m-Ohm     ", "before"}));
    EXPECT_EQ(sheet.Row(16), (Row{"2", "12.250", kBlank, ""}));
    EXPECT_EQ(sheet.Row(17), Row{});

    r.dataPointCount = 0;
    RecordingSheet empty;
    WriteSheetCells(r, empty);
    EXPECT_EQ(empty.Row(14), (Row{"POINT", "TIME", "RES", "COMMENT"}));
    EXPECT_EQ(empty.order.back(), "D14");
}

TEST(SpreadsheetLayoutTest, TransitionsAreNumbersRoundedUnderHeadingsWithUnits)
{
    TransitionReport report;
    report.motorStartS = 0.5;
    report.motorRunS = 2.34567;
    Transition a;
    a.startS = 1.00004;
    a.endS = 1.04006;
    a.durationMs = 40.04;
    a.ripplePct = 8.00049;
    a.slopeAPerS = -0.04;  // rounds to 0, never to -0
    a.resistanceBefore = 2000.004;
    a.openCircuit = true;
    a.fails = true;
    Transition b;
    b.standsOut = true;
    report.transitions = {a, b};

    RecordingSheet sheet;
    WriteTransitionCells(report, sheet);
    EXPECT_EQ(sheet.Row(1), (Row{"Motor run time (s)", "#2.346"}));
    EXPECT_EQ(sheet.Row(3), (Row{"No.", "Start (s)", "End (s)", "Duration (ms)", "Ripple (%)", "Slope (A/s)",
                                 "R before (u-Ohm)", "R after (u-Ohm)", "Open circuit", "Judgement"}));
    // An unmeasured resistance is an empty cell, not a zero.
    EXPECT_EQ(sheet.Row(4), (Row{"#1", "#1", "#1.0401", "#40", "#8", "#0", "#2000", "-", "#1", "Fail"}));
    EXPECT_EQ(sheet.Row(5)[9], "Stands out");
    EXPECT_EQ(sheet.Row(6), Row{});
}

TEST(SpreadsheetLayoutTest, OnlyADynamicTestGetsATransitionsSheet)
{
    TestRecord dynamic;
    ASSERT_EQ(test::BuildDemoDynamic(dynamic, 20, 3), 1);
    test::RecordingPrompter prompter;
    RecordingSheet sheet;
    TransitionSettings limits;
    limits.maxRipplePct = 1;
    ASSERT_EQ(ExportSpreadsheet(dynamic, limits, "/out/T1.xlsx", sheet, prompter), 1);
    EXPECT_EQ(sheet.Row(3, "Transitions!")[0], "No.");
    EXPECT_EQ(sheet.Row(6, "Transitions!")[0], "#3");
    EXPECT_EQ(sheet.Row(6, "Transitions!")[9], "Fail");  // the limits reach the judgement
    EXPECT_EQ(sheet.Row(7, "Transitions!"), Row{});
    EXPECT_EQ(sheet.Row(1), (Row{"FILENAME", ""}));

    TestRecord readings;
    readings.testType = 1;
    RecordingSheet single;
    ASSERT_EQ(ExportSpreadsheet(readings, limits, "/out/T2.xlsx", single, prompter), 1);
    for (const std::string& address : single.order)
        EXPECT_EQ(address.find('!'), std::string::npos) << address;
}

TEST(SpreadsheetLayoutTest, LongTextsAreWrittenWhole)
{
    TestRecord r;
    r.testType = 4;
    r.header.company = std::string(600, 'x') + "%s%n";
    RecordingSheet sheet;
    WriteSheetCells(r, sheet);
    EXPECT_EQ(sheet.cells["B4"], r.header.company);
}

TEST(SpreadsheetPathTest, WorkbookTakesTheTestNameInTheFolder)
{
    EXPECT_EQ(WorkbookPath("/out", "T1.tst-tkan"), "/out/T1.xlsx");
    EXPECT_EQ(WorkbookPath("/out/", "/tests/T1.tst-tkan"), "/out/T1.xlsx");
    // Only the name loses its extension, never a folder with a dot.
    EXPECT_EQ(WorkbookPath("/data/v1.2", "T1"), "/data/v1.2/T1.xlsx");
    EXPECT_EQ(WorkbookPath("/out", "a.b.test"), "/out/a.b.xlsx");
}

TEST(SpreadsheetExportTest, AWorkbookThatCannotBeWrittenIsReportedWithPathAndReason)
{
    TestRecord r;
    r.testType = 4;
    test::RecordingPrompter prompter;
    RecordingSheet sheet;
    sheet.failure = "Permission denied";
    EXPECT_EQ(ExportSpreadsheet(r, {}, "/ro/T1.xlsx", sheet, prompter), 0);
    EXPECT_EQ(prompter.Texts(),
              std::vector<std::string>{"Unable to write the spreadsheet /ro/T1.xlsx\nPermission denied"});

    // The real writer, into a folder that is not there.
    test::TempDir dir;
    EXPECT_EQ(ExportSpreadsheet(r, {}, dir.File("missing/T1.xlsx"), prompter), 0);
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_NE(prompter.shown[1].text.find("missing/T1.xlsx\nNo such file or directory"), std::string::npos);
}

// A workbook written by the real writer, read back with a spreadsheet
// library of its own, as another program would open it: every cell of
// sheet `sheet` (the first when empty) as "address|type|value|" lines.
// Nothing when python3-openpyxl is missing.
std::optional<std::string> ReadBack(const std::string& workbook, const std::string& sheet, test::TempDir& dir)
{
    const char* python = "/usr/bin/python3";
    struct stat info {};
    if (stat(python, &info) != 0 || std::system("/usr/bin/python3 -c 'import openpyxl' 2>/dev/null") != 0)
        return std::nullopt;
    const std::string script = dir.File("dump.py");
    std::ofstream(script) << "import sys, openpyxl\n"
                             "book = openpyxl.load_workbook(sys.argv[1])\n"
                             "ws = book[sys.argv[2]] if len(sys.argv) > 2 else book.worksheets[0]\n"
                             "for row in ws.iter_rows():\n"
                             "    for c in row:\n"
                             "        if c.value is not None:\n"
                             "            print(f'{c.coordinate}|{c.data_type}|{c.value}|')\n";
    const std::string out = dir.File("cells.txt");
    const std::string command =
        std::string(python) + " " + script + " " + workbook + (sheet.empty() ? "" : " '" + sheet + "'") + " > " + out;
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(out);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(SpreadsheetExportTest, WorkbookReadsBackCellByCell)
{
    TestRecord r;
    FillHeader(r);
    r.header.company = "A & B <Caf\xE9>";  // Windows-1252 e-acute
    r.testType = 2;
    r.readingCount = 1;
    r.readings[0] = {0, 1001, 0, 0, 0, 0, 0, "10:11:12"};
    test::TempDir dir;
    test::RecordingPrompter prompter;
    const std::string path = dir.File("T1.xlsx");
    ASSERT_EQ(ExportSpreadsheet(r, {}, path, prompter), 1);

    const std::optional<std::string> dump = ReadBack(path, "", dir);
    if (!dump)
        GTEST_SKIP() << "python3-openpyxl is not installed (scripts/setup.sh)";
    EXPECT_EQ(*dump,
              "A1|s|FILENAME|\nB1|s|T1.tst-tkan|\nA2|s|DATE|\nB2|s|Mar 04, 2026|\nA3|s|# TESTS|\nB3|s|1|\n"
              "A4|s|COMPANY|\nB4|s|A & B <Caf\xC3\xA9>|\nA5|s|CIRCUIT|\nB5|s|Feeder 7|\nA6|s|MODEL|\nB6|s|OLTC-3|\n"
              "A7|s|STATION|\nB7|s|Elm Street|\nA8|s|MFR|\nB8|s|Acme|\nA9|s|SN|\nB9|s|SN42|\n"
              "A10|s|OPERATOR|\nB10|s|Kim|\nA11|s|COMMENTS|\n"
              "A12|s|TEST|\nB12|s|TIME|\nC12|s|R1|\nD12|s|R1s|\nE12|s|R2|\nF12|s|R2s|\nG12|s|R3|\nH12|s|R3s|\n"
              "A13|s| 1|\nB13|s|10:11:12|\nC13|s|1.0010 m-Ohm     |\nE13|s|          |\n");
}

TEST(SpreadsheetExportTest, TransitionsSheetReadsBackAsNumbers)
{
    TestRecord dynamic;
    ASSERT_EQ(test::BuildDemoDynamic(dynamic, 20, 3), 1);
    test::TempDir dir;
    test::RecordingPrompter prompter;
    const std::string path = dir.File("T1.xlsx");
    ASSERT_EQ(ExportSpreadsheet(dynamic, {}, path, prompter), 1);

    const std::optional<std::string> dump = ReadBack(path, "Transitions", dir);
    if (!dump)
        GTEST_SKIP() << "python3-openpyxl is not installed (scripts/setup.sh)";
    // The figures of the printed page and of tkan-cli transitions.
    const std::string firstRows =
        "A1|s|Motor run time (s)|\nB1|n|16.6|\n"
        "A3|s|No.|\nB3|s|Start (s)|\nC3|s|End (s)|\nD3|s|Duration (ms)|\nE3|s|Ripple (%)|\nF3|s|Slope (A/s)|\n"
        "G3|s|R before (u-Ohm)|\nH3|s|R after (u-Ohm)|\nI3|s|Open circuit|\nJ3|s|Judgement|\n"
        "A4|n|1|\nB4|n|4.952|\nC4|n|5.254|\nD4|n|302|\nE4|n|6.224|\nF4|n|131.1|\nG4|n|2450|\nH4|n|2488|\n"
        "I4|n|0|\nJ4|s|Pass|\n";
    EXPECT_EQ(dump->substr(0, firstRows.size()), firstRows);
    EXPECT_NE(dump->find("A6|n|3|"), std::string::npos);
}

}  // namespace
}  // namespace tkan
