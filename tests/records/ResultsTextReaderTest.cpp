#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "records/TestRecord.h"
#include "records/TextLines.h"
#include "support/TempDir.h"

using namespace tkan;

namespace {

std::vector<std::string> Lines(std::string_view text)
{
    std::vector<std::string> lines;
    std::string_view line;
    while (NextLine(text, line))
        lines.emplace_back(line);
    return lines;
}

}  // namespace

TEST(NextLine, EveryLineEndTheInstrumentsAndFilesUse)
{
    EXPECT_EQ(Lines("a\r\nb\r\n"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Lines("a\nb"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Lines("a\rb\r"), (std::vector<std::string>{"a", "b"}));
    // A text-mode write turns CR LF into CR CR LF: an empty line in between.
    EXPECT_EQ(Lines("a\r\r\nb\r\r\n"), (std::vector<std::string>{"a", "", "b", ""}));
    EXPECT_EQ(Lines("a\n\nb"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_TRUE(Lines("").empty());
}

TEST(NextLine, MixedLineEndsSplitAtTheFirstEnd)
{
    // An LF text with one stray CR further on keeps its lines apart.
    EXPECT_EQ(Lines("a\nb\r\nc"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(Lines("a\n\rb"), (std::vector<std::string>{"a", "", "b"}));
    // A CR takes every LF right behind it.
    EXPECT_EQ(Lines("a\r\n\nb"), (std::vector<std::string>{"a", "b"}));
    // A text that ends in a line end has no empty last line.
    EXPECT_EQ(Lines("a\n"), (std::vector<std::string>{"a"}));
}

TEST(ReadNumberAfter, UnitsEndInMicroOhms)
{
    double v = -1;
    EXPECT_FALSE(ReadNumberAfter("no label here", "R1 =", v));
    EXPECT_EQ(v, -1);
    struct Case {
        const char* line;
        double expected;
    } cases[] = {
        {"R1 =12.345 m-Ohm", 12345},
        {"R1 =12,345 MILLI-OHMS", 12345},
        {"R1 =0.0125 Ohms", 12500},
        {"R1 =0.0125 OHMS  note", 12500},
        {"R1 =850.00 u-Ohm", 850},
        {"R1 =   42", 42},
        {"R1 =x", 0},
        {"R1 =-3.5 C", -3.5},
        {"R1 =nan m-Ohm", 0},
        {"R1 =1e400", 0},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(ReadNumberAfter(c.line, "R1 =", v)) << c.line;
        EXPECT_DOUBLE_EQ(v, c.expected) << c.line;
    }
}

TEST(ClassifyTestType, TheLastMatchWins)
{
    EXPECT_EQ(ClassifyTestType("V1 ONLY"), 1);
    EXPECT_EQ(ClassifyTestType("V1/V2"), 2);
    EXPECT_EQ(ClassifyTestType("V1/V2/V3"), 3);
    EXPECT_EQ(ClassifyTestType("V1 & V2"), 2);
    EXPECT_EQ(ClassifyTestType("V1 STATIC LTC"), 17);
    EXPECT_EQ(ClassifyTestType("V1/V2 STATIC LTC"), 18);
    EXPECT_EQ(ClassifyTestType("V1/V2/V3 STATIC LTC"), 19);
    EXPECT_EQ(ClassifyTestType("V1_ST"), 1);
    EXPECT_EQ(ClassifyTestType(""), 1);
}

namespace {

// A report as the Run Test dialog writes it, with the given line ends.
std::string Report(const std::string& eol)
{
    std::string lines[] = {
        "                         RKZ TEST RESULTS FOR SERIES(1) DEVICE",
        "                         ----------------",
        "",
        "TEST NUMBER: Test 1            # OF TESTS: 3",
        "       DATE: 03/05/2010                  TIME: 10:11:12",
        "    COMPANY: Northern Grid                   STATION: Sub 7               ",
        "    CIRCUIT: T2                              MFR: ABB                 ",
        "    MODEL: OLTC                            SN: 0042                ",
        "    KVA: 40000                           OPERATOR: J. Smith            ",
        "",
        "  Measure Temp Tm = 20 C",
        "Reference Temp Ts = 75.00 C",
        "               Tk = 234.5 C",
        "",
        "TEST  TYPE     R1                      R2                      TAP/WINDING",
        "      TIME",
        std::string(80, '-'),
        "",
        "1      V1/V2                  R1 =1.0010 m-Ohm            R2 =2.0020 m-Ohm            ",
        "      10:11:12                R1s=1.2173 m-Ohm     R2s=2.4346 m-Ohm     ",
        "2      V1/V2                  R1 =850.00 u-Ohm            R2 =0.0125 Ohms            ",
        "      10:12:00                R1s=1.0336 m-Ohm         ",
        " N     V1/V2                  R1 =1.0 m-Ohm            ",
        "N      V1/V2                  R1 =5 u-Ohm OHMS tap note",
    };
    std::string text;
    for (const std::string& l : lines)
        text += l + eol;
    return text;
}

}  // namespace

TEST(ResultsText, ReadsHeaderTemperaturesReadingsAndTimes)
{
    TestRecord r;
    r.ParseResultsText(Report("\r\n"));
    EXPECT_TRUE(r.textForm);
    EXPECT_TRUE(r.headerTextPresent);
    EXPECT_EQ(r.header.testDate, "03/05/2010");
    EXPECT_EQ(r.header.testTime, "10:11:12");
    EXPECT_EQ(r.header.company, "Northern Grid       ");  // its 20-character column
    EXPECT_EQ(r.header.station, "Sub 7               ");
    EXPECT_EQ(r.header.serialNumber, "0042                ");
    EXPECT_EQ(r.header.operatorName, "J. Smith            ");
    EXPECT_EQ(r.measureTemp, 20);
    EXPECT_EQ(r.referenceTemp, 75);
    EXPECT_EQ(r.tempConstant, 234.5);
    EXPECT_TRUE(r.tempCorrected);

    // " N" (a blank first) does not start a reading; "N" does.
    ASSERT_EQ(r.readingCount, 3);
    EXPECT_EQ(r.testType, 2);
    EXPECT_DOUBLE_EQ(r.readings[0].r1, 1001);
    EXPECT_DOUBLE_EQ(r.readings[0].r2, 2002);
    EXPECT_DOUBLE_EQ(r.readings[0].r1s, 1217.3);
    EXPECT_DOUBLE_EQ(r.readings[0].r2s, 2434.6);
    EXPECT_EQ(r.readings[0].timeText, "10:11:12");
    EXPECT_DOUBLE_EQ(r.readings[1].r2, 12500);
    EXPECT_EQ(r.readings[1].timeText, "10:12:00");
    // The " N" line's R1 went to reading 2, then "N" started reading 3.
    EXPECT_DOUBLE_EQ(r.readings[1].r1, 1000);
    EXPECT_DOUBLE_EQ(r.readings[2].r1, 5);
    EXPECT_EQ(r.readings[2].timeText, std::string(15, ' '));
    // The note belongs to the third reading, so it is the third field.
    EXPECT_EQ(r.notesText, "\t\ttap note\t");
    EXPECT_EQ(r.ReadingNote(2), "tap note");
}

TEST(ResultsText, LineEndsDoNotChangeTheRecord)
{
    TestRecord crlf, crcrlf, lf;
    crlf.ParseResultsText(Report("\r\n"));
    crcrlf.ParseResultsText(Report("\r\r\n"));
    lf.ParseResultsText(Report("\n"));
    for (const TestRecord* r : {&crcrlf, &lf}) {
        EXPECT_EQ(r->readingCount, crlf.readingCount);
        EXPECT_EQ(r->header.company, crlf.header.company);
        EXPECT_EQ(r->measureTemp, crlf.measureTemp);
        for (int i = 0; i < crlf.readingCount; ++i) {
            EXPECT_EQ(r->readings[i].r1, crlf.readings[i].r1);
            EXPECT_EQ(r->readings[i].r2s, crlf.readings[i].r2s);
            EXPECT_EQ(r->readings[i].timeText, crlf.readings[i].timeText);
        }
    }
}

TEST(ResultsText, SeriesTapsAndOddInput)
{
    TestRecord series2;
    series2.ParseResultsText("RKZ TEST RESULTS FOR SERIES(2) DEVICE\r\n");
    EXPECT_FALSE(series2.textForm);
    EXPECT_TRUE(series2.headerTextPresent);

    std::string taps = "RKZ TEST RESULTS FOR SERIES(1) DEVICE\r\n" + std::string(42, '-') + "\r\n\r\n";
    for (int i = 0; i < 17; ++i)
        taps += std::to_string(i) + "L    V1/V2 STATIC LTC   R1 =1.0 m-Ohm\r\n      10:00:00\r\n";
    TestRecord tap;
    tap.ParseResultsText(taps);
    EXPECT_EQ(tap.testType, 18);
    EXPECT_EQ(tap.readingCount, 17);
    EXPECT_EQ(tap.tapsPerSide, 8);

    // Values before the first reading line, and more than fifty readings.
    std::string many = std::string(42, '-') + "\r\n\r\n   R1 =9 u-Ohm\r\n";
    for (int i = 0; i < 55; ++i)
        many += std::to_string(i + 1) + " V1 R1 =" + std::to_string(i + 1) + " u-Ohm\r\n";
    TestRecord r;
    r.ParseResultsText(many);
    EXPECT_EQ(r.readingCount, 50);
    EXPECT_EQ(r.readings[0].r1, 1);
    EXPECT_EQ(r.readings[49].r1, 50);

    TestRecord empty;
    EXPECT_EQ(empty.ParseResultsText(""), 1);
    EXPECT_EQ(empty.readingCount, 0);
}

TEST(ResultsText, NotesStayWithTheirReadings)
{
    std::string text = std::string(42, '-') + "\r\n\r\n" +
                       "1    V1   R1 =1 MILLI-OHMS  H1-H2\r\n"
                       "2    V1   R1 =2 MILLI-OHMS\r\n"
                       "3    V1   R1 =3 OHMS  X1 : X2\r\n"
                       " again R1 =3 OHMS second note\r\n"  // a later line of the same reading
                       "4    V1   R1 =4 u-Ohm\r\n";
    TestRecord r;
    r.ParseResultsText(text);
    ASSERT_EQ(r.readingCount, 4);
    EXPECT_DOUBLE_EQ(r.readings[0].r1, 1000);
    EXPECT_DOUBLE_EQ(r.readings[2].r1, 3000000);
    EXPECT_EQ(r.ReadingNote(0), "H1-H2");
    EXPECT_EQ(r.ReadingNote(1), "");
    EXPECT_EQ(r.ReadingNote(2), "second note");
    EXPECT_EQ(r.ReadingNote(3), "");
    EXPECT_EQ(r.notesText, "H1-H2\t\tsecond note\t");
    // A reading line's colon is no time.
    EXPECT_EQ(r.readings[2].timeText, std::string(15, ' '));
}

TEST(ResultsText, LoadingAFileEndsItsTextAtANul)
{
    tkan::test::TempDir dir;
    std::string text = Report("\r\r\n");
    tkan::test::WriteFileText(dir.File("Test 1.tst-tkan"), text + std::string("\0garbage R1 =", 13));
    TestRecord r;
    ASSERT_EQ(r.LoadResultsTextFile(dir.File("Test 1.tst-tkan")), 1);
    EXPECT_TRUE(r.headerTextPresent);
    EXPECT_EQ(r.recordText, text);
    EXPECT_EQ(r.readingCount, 3);
    EXPECT_DOUBLE_EQ(r.readings[1].r2, 12500);

    // Binary bytes are read as far as they go and never fail the parser.
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary.push_back(static_cast<char>((i * 37 + 11) % 255 + 1));
    tkan::test::WriteFileText(dir.File("binary.tst-rkz"), binary);
    TestRecord b;
    EXPECT_EQ(b.LoadResultsTextFile(dir.File("binary.tst-rkz")), 1);
    EXPECT_EQ(b.recordText, binary);
}

TEST(ResultsText, FilesThatCannotBeReadGiveZero)
{
    tkan::test::TempDir dir;
    TestRecord r;
    EXPECT_EQ(r.LoadResultsTextFile(dir.File("missing.tst-rkz")), 0);
    EXPECT_EQ(r.LoadResultsTextFile(dir.Path()), 0);  // a folder

    // Far larger than any report: refused rather than read into memory.
    std::string huge = dir.File("huge.tst-rkz");
    tkan::test::WriteFileText(huge, Report("\r\n"));
    std::filesystem::resize_file(huge, std::uintmax_t{1} << 30);
    EXPECT_EQ(r.LoadResultsTextFile(huge), 0);
}

TEST(PatchHeaderValues, ResultsTextsKeepTheirLayout)
{
    TestRecord r;
    std::string text = Report("\r\n");
    r.ParseResultsText(text);
    r.header.company = "ACME";
    r.header.serialNumber = "SN-9";
    std::string patched = text;
    r.PatchHeaderValues(patched);
    EXPECT_EQ(patched.size(), text.size());
    EXPECT_NE(patched.find("    COMPANY: ACME                            STATION: Sub 7"), std::string::npos);
    EXPECT_NE(patched.find("SN: SN-9                \r\n"), std::string::npos);
    std::string again = patched;
    r.PatchHeaderValues(again);
    r.PatchHeaderValues(again);
    EXPECT_EQ(again, patched);

    // A value longer than its column is cut to it; otherwise every save
    // would push its tail into the text once more.
    r.header.company = "A company name of more than twenty";
    std::string longer = patched;
    for (int i = 0; i < 3; ++i)
        r.PatchHeaderValues(longer);
    EXPECT_EQ(longer.size(), text.size());
    EXPECT_NE(longer.find("    COMPANY: A company name of mo" + std::string(12, ' ') + "STATION: Sub 7"),
              std::string::npos);
    r.header.company = "ACME";

    // A text cut short just after a label is patched without reading past it.
    std::string cut = "RKZ TEST RESULTS\r\nCOMPANY:";
    r.PatchHeaderValues(cut);
    EXPECT_EQ(cut, "RKZ TEST RESULTS\r\nCOMPANY:ACME                ");
}
