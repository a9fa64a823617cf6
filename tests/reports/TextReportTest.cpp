#include <gtest/gtest.h>

#include "records/TestRecord.h"
#include "reports/TextReport.h"

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
    in.company = "Northern Grid";
    in.station = "Sub 7";
    in.serialNumber = "0042";
    in.operatorName = "J. Smith";
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
        "      10:11:12" + std::string(12, ' ') + std::string(4 + 5 + 4, ' ') + " \r\n" +
        "2      V1/V2                  R1 =850.00 u-Ohm                        \r\n";
    EXPECT_NE(out.find(rows), std::string::npos) << out;
}

TEST(TextReport, CorrectionLinesAndLongHeaderTexts)
{
    TextReportInput in = StaticRun(true);
    in.isRkzMeter = true;
    in.company = "A company name of more than twenty";
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
