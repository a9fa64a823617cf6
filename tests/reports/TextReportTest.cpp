#include "reports/TextReport.h"

#include <gtest/gtest.h>

#include <string>

#include "records/TestRecord.h"

using namespace tkan;

namespace {

TextReportInput StaticRun(bool correction)
{
    TextReportInput in;
    in.isRkzMeter = false;
    in.openedAt.tm_year = 110;
    in.openedAt.tm_mon = 2;
    in.openedAt.tm_mday = 5;
    in.openedAt.tm_hour = 9;
    in.openedAt.tm_min = 8;
    in.openedAt.tm_sec = 7;
    in.header.company = "Northern Grid";
    in.header.station = "Sub 7";
    in.header.serialNumber = "0042";
    in.header.operatorName = "J. Smith";
    in.correctionEnabled = correction;
    in.tmCelsiusText = "23.9";
    in.tsCelsiusText = "75.00";
    in.copper = false;
    in.testTypeName = "V1/V2";
    in.rows.push_back({"1", "V1/V2", "10:11:12", FormatResistance(1001, true, false), "1.2161 m-Ohm",
                       FormatResistance(2002, true, false), "2.4322 m-Ohm", "", ""});
    in.rows.push_back({"2", "V1/V2", "10:12:13", "850.00 u-Ohm", "1.0336 m-Ohm", "", "", "", ""});
    return in;
}

}  // namespace

TEST(TextReport, LayoutOfARunWithoutCorrection)
{
    std::string out = "kept:";
    WriteTextReport(out, "Test 1", StaticRun(false));
    EXPECT_EQ(out.rfind("kept:", 0), 0u);  // appends

    const std::string expectedStart =
        "kept:                         RKZ TEST RESULTS FOR SERIES(2) DEVICE\r\n"
        "                         ----------------\r\n"
        "\r\n"
        "TEST NUMBER: Test 1            # OF TESTS: 2\r\n"
        "       DATE: 03/05/2010                  TIME: 09:08:07\r\n"
        "    COMPANY: Northern Grid                   STATION: Sub 7               \r\n";
    EXPECT_EQ(out.substr(0, expectedStart.size()), expectedStart);
    EXPECT_EQ(out.find("Measure Temp"), std::string::npos);
    EXPECT_EQ(out.find("Tk ="), std::string::npos);

    const std::string rows =
        std::string(80, '-') + "\r\n\r\n" +
        "1      V1/V2                  R1 =1.0010 m-Ohm            R2 =2.0020 m-Ohm            \r\n"
        "      10:11:12" +
        std::string(12, ' ') + std::string(4 + 5 + 4, ' ') + " \r\n" +
        "2      V1/V2                  R1 =850.00 u-Ohm                        \r\n";
    EXPECT_NE(out.find(rows), std::string::npos) << out;
}

TEST(TextReport, CorrectionLinesAndLongHeaderTexts)
{
    TextReportInput in = StaticRun(true);
    in.isRkzMeter = true;
    in.header.company = "A company name of more than twenty";
    std::string out;
    WriteTextReport(out, "x", in);
    EXPECT_NE(out.find("SERIES(1)"), std::string::npos);
    EXPECT_NE(out.find("\r\n  Measure Temp Tm = 23.9 C\r\nReference Temp Ts = 75.00 C\r\n"
                       "               Tk = 225 C\r\n\r\nTEST  TYPE"),
              std::string::npos);
    EXPECT_NE(out.find("    COMPANY: A company name of more than twenty            STATION: "), std::string::npos);
    EXPECT_NE(out.find("      10:11:12                R1s=1.2161 m-Ohm     R2s=2.4322 m-Ohm     \r\n"),
              std::string::npos);
}

TEST(TextReport, ReadsBackIntoTheSameReadings)
{
    for (bool correction : {false, true}) {
        std::string out;
        WriteTextReport(out, "Test 1", StaticRun(correction));
        TestRecord r;
        r.ParseResultsText(out);
        EXPECT_EQ(r.tempCorrected, correction);
        EXPECT_EQ(r.testType, 2);
        ASSERT_EQ(r.readingCount, 2);
        EXPECT_DOUBLE_EQ(r.readings[0].r1, 1001);
        EXPECT_DOUBLE_EQ(r.readings[0].r2, 2002);
        EXPECT_DOUBLE_EQ(r.readings[1].r1, 850);
        EXPECT_EQ(r.readings[1].timeText, "10:12:13");
        EXPECT_EQ(r.header.company, "Northern Grid       ");
        EXPECT_EQ(r.header.testDate, "03/05/2010");
        if (correction) {
            EXPECT_DOUBLE_EQ(r.measureTemp, 23.9);
            EXPECT_DOUBLE_EQ(r.tempConstant, 225);
            EXPECT_DOUBLE_EQ(r.readings[0].r1s, 1216.1);
            EXPECT_DOUBLE_EQ(r.readings[1].r1s, 1033.6);
        }
    }

    // A regulator run with tap labels: the labels start the readings, and
    // the last reading line decides the type.
    TextReportInput taps = StaticRun(false);
    taps.testTypeName = "V1/V2/V3 STATIC LTC";
    taps.rows.clear();
    for (const char* label : {"2L", "1L", "N ", "1R", "2R"})
        taps.rows.push_back({label, "", "10:00:00", "1.0000 m-Ohm", "", "2.0000 m-Ohm", "", "3.0000 m-Ohm", ""});
    taps.rows[4].r3.clear();  // an empty R3 has no "R3 =" at all
    std::string out;
    WriteTextReport(out, "Reg", taps);
    EXPECT_NE(out.find("# OF TESTS: 5"), std::string::npos);
    TestRecord r;
    r.ParseResultsText(out);
    EXPECT_EQ(r.testType, 19);
    EXPECT_EQ(r.readingCount, 5);
    EXPECT_EQ(r.tapsPerSide, 2);
    EXPECT_DOUBLE_EQ(r.readings[3].r3, 3000);
    EXPECT_DOUBLE_EQ(r.readings[4].r3, 0);
}

namespace {

std::string WithLineEnd(const std::string& report, const std::string& eol)
{
    std::string out;
    for (std::size_t at = 0; at < report.size(); ++at) {
        if (report.compare(at, 2, "\r\n") == 0) {
            out += eol;
            ++at;
        } else {
            out += report[at];
        }
    }
    return out;
}

void ExpectSameRecord(const TestRecord& a, const TestRecord& b)
{
    EXPECT_EQ(a.testType, b.testType);
    EXPECT_EQ(a.tempCorrected, b.tempCorrected);
    EXPECT_EQ(a.measureTemp, b.measureTemp);
    EXPECT_EQ(a.referenceTemp, b.referenceTemp);
    EXPECT_EQ(a.tempConstant, b.tempConstant);
    EXPECT_EQ(a.tapsPerSide, b.tapsPerSide);
    EXPECT_EQ(a.notesText, b.notesText);
    EXPECT_EQ(a.header.company, b.header.company);
    EXPECT_EQ(a.header.operatorName, b.header.operatorName);
    EXPECT_EQ(a.header.testDate, b.header.testDate);
    EXPECT_EQ(a.header.testTime, b.header.testTime);
    ASSERT_EQ(a.readingCount, b.readingCount);
    for (int i = 0; i < a.readingCount; ++i) {
        const StaticReading& x = a.readings[i];
        const StaticReading& y = b.readings[i];
        EXPECT_EQ(x.timeText, y.timeText) << i;
        EXPECT_EQ(x.r1, y.r1) << i;
        EXPECT_EQ(x.r2, y.r2) << i;
        EXPECT_EQ(x.r3, y.r3) << i;
        EXPECT_EQ(x.r1s, y.r1s) << i;
        EXPECT_EQ(x.r2s, y.r2s) << i;
        EXPECT_EQ(x.r3s, y.r3s) << i;
    }
}

// Rows as the readings table holds them: compact resistance texts, and the
// corrected ones only while the correction is on.
ReadingRow Row(const std::string& test, const std::string& time, double r1, double r2, double r3, bool correction)
{
    auto text = [](double v) { return v == 0 ? std::string() : FormatResistance(v, true, false); };
    auto corrected = [&](double v) { return correction ? text(v * 2) : std::string(); };
    return {test, "", time, text(r1), corrected(r1), text(r2), corrected(r2), text(r3), corrected(r3)};
}

}  // namespace

TEST(TextReport, OneToThreeWindingsReadBackUnderEveryLineEnd)
{
    struct Run {
        const char* type;
        int code;
        int windings;
    } const runs[] = {{"V1 ONLY", 1, 1}, {"V1/V2", 2, 2}, {"V1/V2/V3", 3, 3}};
    for (const Run& run : runs) {
        for (bool correction : {false, true}) {
            SCOPED_TRACE(std::string(run.type) + (correction ? " corrected" : " plain"));
            TextReportInput in = StaticRun(correction);
            in.copper = true;
            in.testTypeName = run.type;
            in.rows.clear();
            for (int i = 0; i < 3; ++i) {
                double r1 = 400 + 100 * i;                          // u-Ohm
                double r2 = run.windings >= 2 ? 12000 + i * 5 : 0;  // m-Ohm
                double r3 = run.windings >= 3 ? 2500000 : 0;        // Ohms
                in.rows.push_back(
                    Row(std::to_string(i + 1), "10:0" + std::to_string(i) + ":30", r1, r2, r3, correction));
            }
            std::string report;
            WriteTextReport(report, "Test 1", in);
            if (run.windings < 3) {
                EXPECT_EQ(report.find("R3 ="), std::string::npos);
            }

            TestRecord r;
            r.ParseResultsText(report);
            EXPECT_EQ(r.testType, run.code);
            EXPECT_EQ(r.tempCorrected, correction);
            EXPECT_EQ(r.notesText, "");
            ASSERT_EQ(r.readingCount, 3);
            for (int i = 0; i < 3; ++i) {
                const StaticReading& x = r.readings[i];
                EXPECT_DOUBLE_EQ(x.r1, 400 + 100 * i);
                EXPECT_DOUBLE_EQ(x.r2, run.windings >= 2 ? 12000 + i * 5 : 0);
                EXPECT_DOUBLE_EQ(x.r3, run.windings >= 3 ? 2500000 : 0);
                EXPECT_DOUBLE_EQ(x.r1s, correction ? 2 * x.r1 : 0);
                EXPECT_DOUBLE_EQ(x.r3s, correction ? 2 * x.r3 : 0);
                EXPECT_EQ(x.timeText, "10:0" + std::to_string(i) + ":30");
            }
            if (correction) {
                EXPECT_DOUBLE_EQ(r.measureTemp, 23.9);
                EXPECT_DOUBLE_EQ(r.referenceTemp, 75);
                EXPECT_DOUBLE_EQ(r.tempConstant, 234.5);
            }

            // The file on disk has CR CR LF; an LF copy must read the same.
            for (const char* eol : {"\r\r\n", "\n"}) {
                TestRecord other;
                other.ParseResultsText(WithLineEnd(report, eol));
                ExpectSameRecord(r, other);
            }
        }
    }
}

TEST(TextReport, RegulatorRunReportsEveryTapRow)
{
    TextReportInput in = StaticRun(true);
    in.testTypeName = "V1/V2 STATIC LTC";
    in.rows.clear();
    // Three steps: seven tap rows, of which only the first four were captured.
    const char* labels[] = {"3L", "2L", "1L", "N ", "1R", "2R", "3R"};
    for (int i = 0; i < 7; ++i)
        in.rows.push_back(i < 4 ? Row(labels[i], "11:00:0" + std::to_string(i), 1000 + i, 3000, 0, true)
                                : ReadingRow{labels[i], "", "", "", "", "", "", "", ""});
    std::string report;
    WriteTextReport(report, "Regulator 3", in);
    EXPECT_NE(report.find("# OF TESTS: 7\r\n"), std::string::npos);
    EXPECT_NE(report.find("\r\nN      V1/V2 STATIC LTC       R1 =1.0030 m-Ohm"), std::string::npos);
    // A row without values still has its two lines.
    EXPECT_NE(report.find("\r\n3R     V1/V2 STATIC LTC       R1 =" + std::string(24, ' ') + "\r\n" +
                          std::string(6 + 20 + 4 + 5 + 4, ' ') + " \r\n"),
              std::string::npos);

    for (const char* eol : {"\r\n", "\r\r\n", "\n"}) {
        TestRecord r;
        r.ParseResultsText(WithLineEnd(report, eol));
        EXPECT_EQ(r.testType, 18) << eol;
        ASSERT_EQ(r.readingCount, 7);
        EXPECT_EQ(r.tapsPerSide, 3);
        EXPECT_TRUE(r.tempCorrected);
        EXPECT_EQ(r.ReadingLabel(0), " 3L");
        EXPECT_EQ(r.ReadingLabel(3), " N");
        EXPECT_EQ(r.ReadingLabel(6), " 3R");
        EXPECT_DOUBLE_EQ(r.readings[3].r1, 1003);
        EXPECT_DOUBLE_EQ(r.readings[3].r2s, 6000);
        EXPECT_EQ(r.readings[3].timeText, "11:00:03");
        EXPECT_DOUBLE_EQ(r.readings[4].r1, 0);
        EXPECT_EQ(r.readings[6].timeText, std::string(15, ' '));
    }
}

TEST(TextReport, HeaderSurvivesReadingBackAndRepeatedPatching)
{
    TextReportInput in = StaticRun(true);
    in.header.company = "A company name of more than twenty";
    in.header.circuit = "T2";
    in.header.manufacturer = "ABB";
    in.header.model = "OLTC";
    in.header.kva = "40000";
    std::string report;
    WriteTextReport(report, "Mixed Case  name", in);
    EXPECT_NE(report.find("TEST NUMBER: Mixed Case  name            # OF TESTS: 2\r\n"), std::string::npos);

    TestRecord r;
    r.ParseResultsText(report);
    EXPECT_FALSE(r.textForm);  // not an RKZ meter: series 2
    EXPECT_EQ(r.header.company, "A company name of mo");
    EXPECT_EQ(r.header.company.size(), 20u);
    EXPECT_EQ(r.header.station, "Sub 7               ");
    EXPECT_EQ(r.header.circuit, "T2                  ");
    EXPECT_EQ(r.header.manufacturer, "ABB                 ");
    EXPECT_EQ(r.header.model, "OLTC                ");
    EXPECT_EQ(r.header.kva, "40000               ");
    EXPECT_EQ(r.header.serialNumber, "0042                ");
    EXPECT_EQ(r.header.testTime, "09:08:07");

    // Saving patches the header into the stored text; the record read from
    // the patched text has the new values, and the text keeps its length
    // however often it is saved.
    r.header.company = "Southern Grid";
    r.header.operatorName = "an operator with a long name";
    std::string saved = r.recordText;
    r.PatchHeaderValues(saved);
    std::size_t length = saved.size();
    for (int i = 0; i < 5; ++i) {
        r.PatchHeaderValues(saved);
        EXPECT_EQ(saved.size(), length);
    }
    TestRecord back;
    back.ParseResultsText(saved);
    EXPECT_EQ(back.header.company, "Southern Grid       ");
    EXPECT_EQ(back.header.operatorName, "an operator with a l");
    EXPECT_EQ(back.header.station, r.header.station);
    EXPECT_EQ(back.readingCount, 2);
    EXPECT_DOUBLE_EQ(back.readings[0].r1s, 1216.1);
}
