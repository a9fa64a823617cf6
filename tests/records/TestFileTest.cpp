#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "records/ByteCursor.h"
#include "records/TestRecord.h"
#include "reports/TextReport.h"
#include "support/RecordingPrompter.h"
#include "support/TempDir.h"

using namespace tkan;
using tkan::test::ReadFileBytes;
using tkan::test::TempDir;
using tkan::test::WriteFileBytes;
using tkan::test::WriteFileText;

namespace {

using Bytes = std::vector<std::uint8_t>;

void PutText(Bytes& b, std::size_t at, const std::string& text)
{
    std::memset(b.data() + at, ' ', 20);
    std::memcpy(b.data() + at, text.data(), std::min<std::size_t>(text.size(), 20));
}

void PutWord(Bytes& b, std::size_t at, unsigned v)
{
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void PutBig(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

// An instrument record block as the instrument sends it: the 256-byte header,
// then reading rows or samples.
Bytes InstrumentBlock(int type, int readings, unsigned tm = 850)
{
    Bytes b(kRecordBlockSize, 0);
    b[4] = static_cast<std::uint8_t>(type);
    b[5] = static_cast<std::uint8_t>(readings);
    const std::uint8_t date[] = {0x03, 0x05, 0x10, 0x14, 0x30, 0x59};  // Mar 5 2010 14:30:59
    std::memcpy(b.data() + 16, date, sizeof date);
    const char* texts[] = {"Northern Grid", "Substation 7", "T2 HV", "Reinhausen",
                           "OLTC-M",        "SN 0042",      "40000", "J. Smith"};
    for (int i = 0; i < 8; ++i)
        PutText(b, 22 + 20 * i, texts[i]);
    PutWord(b, 184, tm);    // 25.0 C
    PutWord(b, 186, 1350);  // 75.0 C
    PutWord(b, 188, 2345);  // 234.5
    b[190] = 2;
    for (int i = 0; i < readings && i < 64; ++i) {
        std::size_t row = 256 + 32 * static_cast<std::size_t>(i);
        PutBig(b, row + 1, 100000 + i);
        PutBig(b, row + 5, 1000 + i);
        PutBig(b, row + 9, 2000 + i);
        PutBig(b, row + 13, 3000 + i);
    }
    return b;
}

Bytes Samples(int count)
{
    Bytes s;
    for (int i = 0; i < count; ++i) {
        std::uint8_t sample[6] = {static_cast<std::uint8_t>(i),     0x3A,
                                  static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(0x21 + (i % 3)),
                                  static_cast<std::uint8_t>(i),     static_cast<std::uint8_t>(i % 2 ? 0x80 : 0)};
        s.insert(s.end(), sample, sample + 6);
    }
    return s;
}

// A dynamic record as the instrument sends it.
Bytes InstrumentDynamic(int type, int samples)
{
    Bytes b = InstrumentBlock(type, 0);
    b.resize(256);
    Bytes s = Samples(samples);
    b.insert(b.end(), s.begin(), s.end());
    return b;
}

void Append32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void AppendDouble(Bytes& b, double v)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i)
        b.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

// A sectioned file of an older version, laid out by hand: the fixed header
// as far as the version has it, then the block.
Bytes SectionedFile(std::uint32_t version, const Bytes& block)
{
    Bytes f = {'T', 'T', 'X', 'B'};
    Append32(f, version);
    std::size_t fields = version >= 4 ? 7 : version >= 3 ? 6 : version >= 2 ? 2 : 0;
    for (std::size_t i = 0; i < fields; ++i)
        Append32(f, 0);
    if (version >= 5)
        Append32(f, 0);  // no header text
    f.insert(f.end(), block.begin(), block.begin() + std::min(block.size(), kRecordBlockSize));
    return f;
}

// The report a corrected V1/V2 run of `rows` readings saves: series 1 when
// the meter is a series-1 RKZ, else series 2.
std::string StaticReport(bool rkzMeter, int rows)
{
    TextReportInput in;
    in.isRkzMeter = rkzMeter;
    in.openedAt.tm_year = 110;
    in.openedAt.tm_mon = 2;
    in.openedAt.tm_mday = 5;
    in.header.company = "Northern Grid";
    in.header.station = "Sub 7";
    in.header.operatorName = "J. Smith";
    in.correctionEnabled = true;
    in.tmCelsiusText = "20";
    in.tsCelsiusText = "75.00";
    in.testTypeName = "V1/V2";
    for (int i = 0; i < rows; ++i) {
        char time[32];
        std::snprintf(time, sizeof time, "10:%02d:00", i);
        in.rows.push_back({std::to_string(i + 1), "V1/V2", time, FormatResistance(1100 + i, true, false),
                           FormatResistance(1300 + i, true, false), FormatResistance(2200 + i, true, false),
                           FormatResistance(2600 + i, true, false), "", ""});
    }
    std::string out;
    WriteTextReport(out, "Run", in);
    return out;
}

void ExpectSameRecord(const TestRecord& a, const TestRecord& b)
{
    EXPECT_EQ(a.testType, b.testType);
    EXPECT_EQ(a.header.company, b.header.company);
    EXPECT_EQ(a.header.station, b.header.station);
    EXPECT_EQ(a.header.circuit, b.header.circuit);
    EXPECT_EQ(a.header.manufacturer, b.header.manufacturer);
    EXPECT_EQ(a.header.model, b.header.model);
    EXPECT_EQ(a.header.serialNumber, b.header.serialNumber);
    EXPECT_EQ(a.header.kva, b.header.kva);
    EXPECT_EQ(a.header.operatorName, b.header.operatorName);
    EXPECT_EQ(a.header.testDate, b.header.testDate);
    EXPECT_EQ(a.header.testTime, b.header.testTime);
    EXPECT_EQ(a.measureTemp, b.measureTemp);
    EXPECT_EQ(a.referenceTemp, b.referenceTemp);
    EXPECT_EQ(a.tempConstant, b.tempConstant);
    EXPECT_EQ(a.tempCorrected, b.tempCorrected);
    EXPECT_EQ(a.tapsPerSide, b.tapsPerSide);
    EXPECT_EQ(a.textForm, b.textForm);
    EXPECT_EQ(a.headerTextPresent, b.headerTextPresent);
    EXPECT_EQ(a.recordText, b.recordText);
    EXPECT_EQ(a.notesText, b.notesText);
    ASSERT_EQ(a.readingCount, b.readingCount);
    for (int i = 0; i < a.readingCount; ++i) {
        const StaticReading &x = a.readings[i], &y = b.readings[i];
        EXPECT_EQ(x.current, y.current);
        EXPECT_EQ(x.r1, y.r1);
        EXPECT_EQ(x.r2, y.r2);
        EXPECT_EQ(x.r3, y.r3);
        EXPECT_EQ(x.r1s, y.r1s);
        EXPECT_EQ(x.r2s, y.r2s);
        EXPECT_EQ(x.r3s, y.r3s);
        EXPECT_EQ(x.timeText, y.timeText);
    }
    ASSERT_EQ(a.dataPointCount, b.dataPointCount);
    for (int i = 0; i < a.dataPointCount; ++i) {
        const DataPoint &x = a.dataPoints[i], &y = b.dataPoints[i];
        EXPECT_EQ(x.time, y.time);
        EXPECT_EQ(x.resistance, y.resistance);
        EXPECT_EQ(x.comment, y.comment);
        EXPECT_EQ(x.current, y.current);
        EXPECT_EQ(x.motorCurrent, y.motorCurrent);
    }
    EXPECT_EQ(a.trace.sampleCount, b.trace.sampleCount);
    EXPECT_EQ(a.trace.seconds, b.trace.seconds);
    EXPECT_EQ(a.trace.samples, b.trace.samples);
    EXPECT_EQ(a.resistanceMin, b.resistanceMin);
    EXPECT_EQ(a.resistanceMax, b.resistanceMax);
    EXPECT_EQ(a.currentMin, b.currentMin);
    EXPECT_EQ(a.currentMax, b.currentMax);
    EXPECT_EQ(a.motorCurrentMin, b.motorCurrentMin);
    EXPECT_EQ(a.motorCurrentMax, b.motorCurrentMax);
    EXPECT_TRUE(std::equal(a.recordBlock.begin(), a.recordBlock.begin() + kRecordBlockSize, b.recordBlock.begin()));
}

}  // namespace

TEST(RecordBlock, HeaderTextsTemperaturesAndReadings)
{
    TestRecord r;
    Bytes block = InstrumentBlock(3, 4);
    ASSERT_EQ(r.ParseRecordBlock(block.data(), block.size()), 1);
    EXPECT_EQ(r.testType, 3);
    EXPECT_EQ(r.readingCount, 4);
    EXPECT_EQ(r.header.company, "Northern Grid");  // blank padding removed
    EXPECT_EQ(r.header.operatorName, "J. Smith");
    EXPECT_EQ(r.header.testDate, "Mar 05, 2010");
    EXPECT_EQ(r.header.testTime, "02:30 PM");
    EXPECT_EQ(r.measureTemp, 25.0);
    EXPECT_EQ(r.referenceTemp, 75.0);
    EXPECT_EQ(r.tempConstant, 234.5);
    EXPECT_TRUE(r.tempCorrected);
    EXPECT_EQ(r.tapsPerSide, 2);
    EXPECT_EQ(r.readings[3].current, 100003);
    EXPECT_EQ(r.readings[3].r1, 1003);
    EXPECT_EQ(r.readings[3].r2, 2003);
    EXPECT_EQ(r.readings[3].r3, 3003);
    EXPECT_DOUBLE_EQ(r.readings[3].r1s, 1003 * (75 + 234.5) / (234.5 + 25));
    EXPECT_EQ(r.readings[0].timeText, std::string(15, ' '));

    // Temperatures below zero come through the offset of 600 tenths.
    PutWord(block, 184, 450);
    r.ParseRecordBlock(block.data(), block.size());
    EXPECT_EQ(r.measureTemp, -15.0);
}

TEST(RecordBlock, MissingTemperatureAndCappedCount)
{
    TestRecord r;
    Bytes block = InstrumentBlock(1, 60, 0xFFFF);
    r.ParseRecordBlock(block.data(), block.size());
    EXPECT_FALSE(r.tempCorrected);
    EXPECT_EQ(r.measureTemp, 0);
    EXPECT_EQ(r.referenceTemp, 0);
    EXPECT_EQ(r.readingCount, 50);
    EXPECT_EQ(r.readings[49].r1, 1049);

    // A dynamic record with temperatures is never marked corrected.
    TestRecord d;
    Bytes dyn = InstrumentBlock(4, 0);
    d.ParseRecordBlock(dyn.data(), dyn.size());
    EXPECT_EQ(d.measureTemp, 25.0);
    EXPECT_FALSE(d.tempCorrected);
}

TEST(RecordBlock, DatesAreNormalisedByTheCalendar)
{
    struct Case {
        std::uint8_t bcd[6];
        const char* date;
        const char* time;
    } cases[] = {
        {{0x12, 0x31, 0x09, 0x24, 0x00, 0x00}, "Jan 01, 2010", "12:00 AM"},  // hour 24: next day
        {{0x04, 0x31, 0x10, 0x09, 0x05, 0x00}, "May 01, 2010", "09:05 AM"},  // 31 April
        {{0x02, 0x29, 0x11, 0x12, 0x00, 0x00}, "Mar 01, 2011", "12:00 PM"},  // no leap day in 2011
        {{0x13, 0x00, 0x10, 0x25, 0x60, 0x61}, "Jan 01, 2010", "12:00 AM"},  // fields out of range
        {{0x1A, 0x1A, 0x0A, 0x00, 0x00, 0x00}, "Jan 01, 2000", "12:00 AM"},  // a digit above 9 ends the number
        {{0x09, 0x15, 0x25, 0x23, 0x59, 0x59}, "Sep 15, 2025", "11:59 PM"},
        {{0x03, 0x10, 0x24, 0x02, 0x30, 0x00}, "Mar 10, 2024", "02:30 AM"},  // in a daylight-saving gap
    };
    // 02:30 on the morning clocks went forward in New York: the instrument's
    // time stays as it was, whatever zone the computer is in.
    ::setenv("TZ", "America/New_York", 1);
    ::tzset();
    for (const Case& c : cases) {
        Bytes block = InstrumentBlock(1, 0);
        std::memcpy(block.data() + 16, c.bcd, 6);
        TestRecord r;
        r.ParseRecordBlock(block.data(), block.size());
        EXPECT_EQ(r.header.testDate, c.date);
        EXPECT_EQ(r.header.testTime, c.time);
    }
    ::setenv("TZ", "UTC", 1);
    ::tzset();
}

TEST(BuildFromInstrument, SamplesDurationLimitAndShortRecords)
{
    TestRecord r;
    Bytes rec = InstrumentDynamic(5, 2500);
    ASSERT_EQ(r.BuildFromInstrument(rec.data(), rec.size()), 1);
    EXPECT_EQ(r.trace.sampleCount, 2500);  // all of them: only files drop part-seconds
    EXPECT_EQ(r.trace.seconds, 2);
    EXPECT_TRUE(std::equal(rec.begin() + 256, rec.end(), r.trace.samples.begin()));

    TestRecord limited;
    limited.trace.durationLimit = 1;
    limited.BuildFromInstrument(rec.data(), rec.size());
    EXPECT_EQ(limited.trace.sampleCount, 1000);

    TestRecord fast;
    Bytes rec2000 = InstrumentDynamic(4, 4001);
    fast.trace.durationLimit = 1;
    fast.BuildFromInstrument(rec2000.data(), rec2000.size() - 3);  // a part sample at the end
    EXPECT_EQ(fast.trace.sampleCount, 2000);

    // A record cut inside its header has no samples and a zero-filled rest.
    TestRecord cut;
    cut.BuildFromInstrument(rec.data(), 100);
    EXPECT_EQ(cut.testType, 5);
    EXPECT_EQ(cut.trace.sampleCount, 0);
    EXPECT_EQ(cut.header.company, "Northern Grid");
    EXPECT_EQ(cut.header.kva, "");

    TestRecord empty;
    EXPECT_EQ(empty.BuildFromInstrument(nullptr, 0), 1);
    EXPECT_EQ(empty.testType, 0);
}

class TestFiles : public ::testing::Test {
protected:
    TempDir dir;

    // The file a V1/V2 record of `readings` instrument rows and `notes` saves.
    Bytes SavedStatic(int readings, const std::string& notes)
    {
        TestRecord r;
        Bytes block = InstrumentBlock(2, readings);
        r.ParseRecordBlock(block.data(), block.size());
        r.notesText = notes;
        EXPECT_EQ(r.SaveTestFile(dir.File("saved.tst-rkz")), 1);
        return ReadFileBytes(dir.File("saved.tst-rkz"));
    }
};

TEST_F(TestFiles, OldLayoutsStartTheRecordAt256)
{
    Bytes file(256, 0);
    std::memcpy(file.data(), "TKAN", 4);
    Bytes rec = InstrumentDynamic(4, 4500);  // 2.25 s at 2000 samples/s
    file.insert(file.end(), rec.begin(), rec.end());
    WriteFileBytes(dir.File("old.test"), file);

    TestRecord r;
    ASSERT_EQ(r.LoadTestFile(dir.File("old.test")), 1);
    EXPECT_EQ(r.testType, 4);
    EXPECT_EQ(r.header.fileName, "old.test");
    EXPECT_EQ(r.trace.sampleCount, 4000);
    EXPECT_EQ(r.trace.seconds, 2);
    EXPECT_TRUE(std::equal(r.trace.samples.begin(), r.trace.samples.end(), rec.begin() + 256));
    EXPECT_GT(r.resistanceMax, r.resistanceMin);

    Bytes rkz(256, 0);
    std::memcpy(rkz.data(), "RKZ-", 4);
    Bytes block = InstrumentBlock(2, 3);
    block.resize(256 + 3 * 32);  // the instrument's record is only as long as its rows
    rkz.insert(rkz.end(), block.begin(), block.end());
    WriteFileBytes(dir.File("old.tst-rkz"), rkz);
    TestRecord s;
    ASSERT_EQ(s.LoadTestFile(dir.File("old.tst-rkz")), 1);
    EXPECT_EQ(s.readingCount, 3);
    EXPECT_EQ(s.readings[2].r2, 2002);
    EXPECT_EQ(s.resistanceMin, 1000);
    EXPECT_DOUBLE_EQ(s.resistanceMax, 2002 * s.CorrectionFactor());
}

TEST_F(TestFiles, EveryVersionFindsItsBlock)
{
    Bytes block = InstrumentBlock(2, 5);
    for (std::uint32_t version = 1; version <= 6; ++version) {
        std::string path = dir.File("v" + std::to_string(version) + ".tst-rkz");
        WriteFileBytes(path, SectionedFile(version, block));
        TestRecord r;
        ASSERT_EQ(r.LoadTestFile(path), 1) << version;
        EXPECT_EQ(r.testType, 2) << version;
        EXPECT_EQ(r.readingCount, 5) << version;
        EXPECT_EQ(r.header.station, "Substation 7") << version;
        EXPECT_EQ(r.readings[4].r1, 1004) << version;
    }
    // Versions this program does not know are not guessed at.
    for (std::uint32_t version : {0u, 7u, 0xFFFFFFFFu}) {
        std::string path = dir.File("unknown.test");
        WriteFileBytes(path, SectionedFile(version, block));
        TestRecord r;
        EXPECT_EQ(r.LoadTestFile(path), 0) << version;
    }
}

TEST_F(TestFiles, TheContentDecidesTheLayoutNotTheName)
{
    WriteFileBytes(dir.File("sectioned.tst-rkz"), SectionedFile(3, InstrumentBlock(1, 2)));
    TestRecord r;
    EXPECT_EQ(r.LoadTestFile(dir.File("sectioned.tst-rkz")), 1);
    EXPECT_EQ(r.readingCount, 2);
    EXPECT_FALSE(r.textForm);

    tkan::test::WriteFileText(dir.File("text.test"), "Some text that is not a record\r\n");
    EXPECT_EQ(r.LoadTestFile(dir.File("text.test")), 0);
    tkan::test::WriteFileText(dir.File("short.test"), "TT");
    EXPECT_EQ(r.LoadTestFile(dir.File("short.test")), 0);
    EXPECT_EQ(r.LoadTestFile(dir.File("missing.tst-tkan")), 0);
    EXPECT_EQ(r.LoadTestFile(dir.Path()), 0);  // a folder is not a file
}

TEST_F(TestFiles, DynamicSamplesDropTheTrailingPartSecond)
{
    TestRecord r;
    Bytes rec = InstrumentDynamic(5, 2500);
    r.BuildFromInstrument(rec.data(), rec.size());
    ASSERT_EQ(r.SaveTestFile(dir.File("d.tst-tkan")), 1);
    TestRecord back;
    ASSERT_EQ(back.LoadTestFile(dir.File("d.tst-tkan")), 1);
    EXPECT_EQ(back.trace.sampleCount, 2000);
    EXPECT_EQ(back.trace.seconds, 2);
}

TEST_F(TestFiles, Version5DataPointsHaveNoCurrents)
{
    Bytes f = SectionedFile(5, InstrumentBlock(5, 0));
    std::size_t points = f.size();
    Append32(f, 2);
    for (int i = 0; i < 2; ++i) {
        AppendDouble(f, 0.5 + i);
        AppendDouble(f, 800 + i);
        std::string comment = i ? "bridging" : "";
        Append32(f, static_cast<std::uint32_t>(comment.size()));
        f.insert(f.end(), comment.begin(), comment.end());
    }
    Put32(f, 20, static_cast<std::uint32_t>(points));
    WriteFileBytes(dir.File("v5.tst-tkan"), f);

    TestRecord r;
    ASSERT_EQ(r.LoadTestFile(dir.File("v5.tst-tkan")), 1);
    ASSERT_EQ(r.dataPointCount, 2);
    EXPECT_EQ(r.dataPoints[1].time, 1.5);
    EXPECT_EQ(r.dataPoints[1].resistance, 801);
    EXPECT_EQ(r.dataPoints[1].comment, "bridging");
    EXPECT_EQ(r.dataPoints[1].current, 0);
    EXPECT_EQ(r.dataPoints[1].motorCurrent, 0);
}

TEST_F(TestFiles, OldDynamicFilesWithoutSamplesOffsetTakeSamplesAfterTheBlock)
{
    // Version 2 has no samples fields: the samples follow the block, and a
    // notes section at the end is not mistaken for samples.
    Bytes f = SectionedFile(2, InstrumentBlock(5, 0));
    Bytes s = Samples(1000);
    f.insert(f.end(), s.begin(), s.end());
    std::string notes = "n1\tn2";
    Put32(f, 8, static_cast<std::uint32_t>(notes.size()));
    Put32(f, 12, static_cast<std::uint32_t>(f.size()));
    f.insert(f.end(), notes.begin(), notes.end());
    WriteFileBytes(dir.File("v2.tst-tkan"), f);

    TestRecord r;
    ASSERT_EQ(r.LoadTestFile(dir.File("v2.tst-tkan")), 1);
    EXPECT_EQ(r.trace.sampleCount, 1000);
    EXPECT_EQ(r.trace.samples, s);
}

TEST_F(TestFiles, DamagedFilesNeverCrashOrOverrun)
{
    TestRecord good;
    Bytes rec = InstrumentDynamic(4, 2000);
    good.BuildFromInstrument(rec.data(), rec.size());
    good.dataPointCount = 3;
    good.dataPoints[1].comment = "tap 5";
    ASSERT_EQ(good.SaveTestFile(dir.File("good.tst-tkan")), 1);
    Bytes file = ReadFileBytes(dir.File("good.tst-tkan"));

    // Every truncation loads or is refused, but never reads past the end.
    for (std::size_t cut = 0; cut < file.size(); cut += (cut < 2400 ? 1 : 997)) {
        WriteFileBytes(dir.File("cut.tst-tkan"), Bytes(file.begin(), file.begin() + cut));
        TestRecord r;
        r.LoadTestFile(dir.File("cut.tst-tkan"));
        EXPECT_LE(r.trace.sampleCount * 6, static_cast<int>(cut));
        EXPECT_LE(r.dataPointCount, 3);
    }

    // Offsets and lengths near 2^32.
    for (std::size_t field : {8u, 12u, 20u, 24u, 28u}) {
        for (std::uint32_t value : {0xFFFFFFFFu, 0xFFFFFFF0u, 0x80000000u, static_cast<std::uint32_t>(file.size())}) {
            Bytes bad = file;
            Put32(bad, field, value);
            if (field == 8) {
                Put32(bad, 12, 40);  // a notes length that runs past the end
            }
            WriteFileBytes(dir.File("bad.tst-tkan"), bad);
            TestRecord r;
            int result = r.LoadTestFile(dir.File("bad.tst-tkan"));
            if (field == 8) {
                // A notes length past the end: the notes end with the file.
                EXPECT_EQ(result, 1) << "notes length " << value;
                EXPECT_LE(r.notesText.size(), file.size() - 40);
            }
            EXPECT_LE(static_cast<std::size_t>(r.trace.sampleCount) * 6, file.size());
        }
    }
}

TEST_F(TestFiles, DataPointCountsAboveTheArrayKeepTheFirstFifty)
{
    TestRecord r;
    Bytes rec = InstrumentDynamic(5, 1000);
    r.BuildFromInstrument(rec.data(), rec.size());
    r.dataPointCount = 50;
    for (int i = 0; i < 50; ++i)
        r.dataPoints[i].time = i;
    Bytes file = r.SerializeTestFile();
    ByteCursor header(file.data(), file.size());
    header.Seek(20);
    std::size_t points = header.U32();

    // Claim 60 points with only 50 there, then append ten more.
    Put32(file, points, 60);
    WriteFileBytes(dir.File("sixty.tst-tkan"), file);
    TestRecord back;
    ASSERT_EQ(back.LoadTestFile(dir.File("sixty.tst-tkan")), 1);
    EXPECT_EQ(back.dataPointCount, 50);
    EXPECT_EQ(back.dataPoints[49].time, 49);

    Put32(file, points, 0xFFFFFFFF);
    WriteFileBytes(dir.File("huge.tst-tkan"), file);
    ASSERT_EQ(back.LoadTestFile(dir.File("huge.tst-tkan")), 1);
    EXPECT_EQ(back.dataPointCount, 50);

    // A comment whose length runs past the end of the file ends the list
    // before its point.
    Put32(file, points + 4 + 36 + 16, 0x7FFFFFFF);  // the second point's
    WriteFileBytes(dir.File("comment.tst-tkan"), file);
    ASSERT_EQ(back.LoadTestFile(dir.File("comment.tst-tkan")), 1);
    EXPECT_EQ(back.dataPointCount, 1);
    EXPECT_EQ(back.dataPoints[0].time, 0);
}

TEST_F(TestFiles, StaticRecordsRoundTrip)
{
    TestRecord original;
    Bytes block = InstrumentBlock(19, 7);
    original.ParseRecordBlock(block.data(), block.size());
    original.ComputeStaticRanges();
    original.notesText = "first\t\tthird";
    original.header.company = "A company name longer than twenty";
    original.referenceTemp = 20;
    original.ApplyCorrection();
    ASSERT_EQ(original.SaveTestFile(dir.File("s.tst-rkz")), 1);
    EXPECT_EQ(original.header.fileName, "s.tst-rkz");
    // Names on the disk are UTF-8; the header keeps its texts in Windows-1252.
    ASSERT_EQ(original.SaveTestFile(dir.File("Pr\xC3\xBC"
                                             "fung.tst-rkz")),
              1);
    EXPECT_EQ(original.header.fileName,
              "Pr\xFC"
              "fung.tst-rkz");
    TestRecord named;
    ASSERT_EQ(named.LoadTestFile(dir.File("Pr\xC3\xBC"
                                          "fung.tst-rkz")),
              1);
    EXPECT_EQ(named.header.fileName,
              "Pr\xFC"
              "fung.tst-rkz");

    TestRecord back;
    ASSERT_EQ(back.LoadTestFile(dir.File("s.tst-rkz")), 1);
    // The block holds 20 characters of each text.
    original.header.company = original.header.company.substr(0, 20);
    original.ComputeStaticRanges();
    ExpectSameRecord(original, back);
    EXPECT_EQ(back.referenceTemp, 20);
}

TEST_F(TestFiles, ReferenceTemperatureOutsideTheBlockWordIsClampedWhenSaved)
{
    // A results text can carry any number as its reference temperature; the
    // block keeps it in one 16-bit word, so it is written as the nearest end.
    Bytes block = InstrumentBlock(19, 2);
    struct Case {
        double temp;
        double expected;
    };
    for (Case c :
         {Case{1e30, (0xFFFE - 600) / 10.0}, Case{-1e30, -60.0}, Case{std::nan(""), -60.0}, Case{-12.34, -12.3}}) {
        TestRecord original;
        original.ParseRecordBlock(block.data(), block.size());
        original.referenceTemp = c.temp;
        ASSERT_EQ(original.SaveTestFile(dir.File("t.tst-rkz")), 1);
        TestRecord back;
        ASSERT_EQ(back.LoadTestFile(dir.File("t.tst-rkz")), 1);
        EXPECT_DOUBLE_EQ(back.referenceTemp, c.expected) << c.temp;
    }
}

TEST_F(TestFiles, DynamicRecordsRoundTripWithDataPoints)
{
    TestRecord original;
    Bytes rec = InstrumentDynamic(4, 6000);
    original.BuildFromInstrument(rec.data(), rec.size());
    original.ComputeDynamicRanges();
    original.dataPointCount = 2;
    original.dataPoints[0] = {0.25, 812.5, "before", 10.125, -1.5};
    original.dataPoints[1] = {1.75, 1234.0, std::string("after\xE9", 6), 9.75, 2.25};
    original.notesText = "static notes are not kept for a dynamic test";
    ASSERT_EQ(original.SaveTestFile(dir.File("d.tst-tkan")), 1);

    TestRecord back;
    ASSERT_EQ(back.LoadTestFile(dir.File("d.tst-tkan")), 1);
    original.notesText.clear();
    ExpectSameRecord(original, back);

    // Saved again, the file is byte for byte the same.
    ASSERT_EQ(back.SaveTestFile(dir.File("d2.tst-tkan")), 1);
    EXPECT_EQ(ReadFileBytes(dir.File("d.tst-tkan")), ReadFileBytes(dir.File("d2.tst-tkan")));
}

TEST_F(TestFiles, OldLayoutsSaveAsVersion6WithTheSameBlock)
{
    Bytes file(256, 0);
    std::memcpy(file.data(), "RKZ-", 4);
    Bytes block = InstrumentBlock(1, 4);
    file.insert(file.end(), block.begin(), block.end());
    WriteFileBytes(dir.File("old.tst-rkz"), file);

    TestRecord old;
    ASSERT_EQ(old.LoadTestFile(dir.File("old.tst-rkz")), 1);
    ASSERT_EQ(old.SaveTestFile(dir.File("new.tst-rkz")), 1);
    Bytes saved = ReadFileBytes(dir.File("new.tst-rkz"));
    ASSERT_GE(saved.size(), 40 + kRecordBlockSize);
    EXPECT_EQ(std::string(saved.begin(), saved.begin() + 4), "TTXB");
    EXPECT_EQ(saved[4], 6);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), saved.begin() + 40));

    TestRecord back;
    ASSERT_EQ(back.LoadTestFile(dir.File("new.tst-rkz")), 1);
    ExpectSameRecord(old, back);
}

TEST_F(TestFiles, KeyValueRecordsRoundTripInTextForm)
{
    const std::string text =
        "DATE=03/05/2010 10:15:00\r\nCOMPANY=Northern Grid\r\nSTATION=Sub 7\r\nTm=25\r\nTs=75\r\n"
        "Tk=234.5\r\nTYPE=V1/V2\r\nR1=3E8\r\nR2=7D0\r\nCUR=2710\r\n";
    TestRecord original;
    original.textForm = true;
    original.BuildFromInstrument(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    original.notesText = "a note";
    ASSERT_EQ(original.SaveTestFile(dir.File("kv.tst-rkz")), 1);

    TestRecord back;
    ASSERT_EQ(back.LoadTestFile(dir.File("kv.tst-rkz")), 1);
    EXPECT_TRUE(back.textForm);
    EXPECT_EQ(back.testType, 2);
    EXPECT_EQ(back.readingCount, 1);
    EXPECT_EQ(back.readings[0].r1, 1000);
    EXPECT_EQ(back.notesText, "a note");
    EXPECT_EQ(back.header.company, original.header.company);
    EXPECT_EQ(back.readings[0].r1s, original.readings[0].r1s);
}

TEST_F(TestFiles, ASaveThatFailsLeavesTheOldFileAsItWas)
{
    TestRecord small;
    Bytes block = InstrumentBlock(1, 1);
    small.ParseRecordBlock(block.data(), block.size());
    ASSERT_EQ(small.SaveTestFile(dir.File("t.tst-tkan")), 1);
    Bytes before = ReadFileBytes(dir.File("t.tst-tkan"));

    int exports = 0;
    TestRecord big;
    big.autoExportAfterSave = [&](const TestRecord&) { ++exports; };
    Bytes rec = InstrumentDynamic(4, 20000);
    big.BuildFromInstrument(rec.data(), rec.size());

    // Let the disk "fill up" after 16 KiB: every write past it fails.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = 16384;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    int result = big.SaveTestFile(dir.File("t.tst-tkan"));
    setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_EQ(result, 0);
    EXPECT_EQ(exports, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("t.tst-tkan")), before);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        ++files;
    EXPECT_EQ(files, 1) << "no temporary file is left behind";

    EXPECT_EQ(big.SaveTestFile(dir.File("no-such-folder/t.tst-tkan")), 0);
    EXPECT_EQ(big.SaveTestFile(dir.File("t.tst-tkan")), 1);
    EXPECT_EQ(exports, 1);
}

TEST_F(TestFiles, SectionsThatShareBytesWithTheSamplesReadTheSameBytes)
{
    // A dynamic file whose data-points offset points into its samples: the
    // points are read from the very bytes the samples are.
    TestRecord original;
    Bytes rec = InstrumentDynamic(5, 1000);
    original.BuildFromInstrument(rec.data(), rec.size());
    ASSERT_EQ(original.SaveTestFile(dir.File("d.tst-tkan")), 1);
    Bytes file = ReadFileBytes(dir.File("d.tst-tkan"));
    const std::size_t samplesAt = file[28] | file[29] << 8 | file[30] << 16 | static_cast<std::size_t>(file[31]) << 24;
    ASSERT_GT(samplesAt, 0u);
    const std::size_t pointsAt = samplesAt + 600;
    Bytes points;
    Append32(points, 1);
    AppendDouble(points, 0.5);
    AppendDouble(points, 1500.0);
    Append32(points, 2);
    points.push_back('o');
    points.push_back('k');
    AppendDouble(points, 9.5);
    AppendDouble(points, -1.25);
    std::copy(points.begin(), points.end(), file.begin() + static_cast<std::ptrdiff_t>(pointsAt));
    Put32(file, 20, static_cast<std::uint32_t>(pointsAt));
    WriteFileBytes(dir.File("shared.tst-tkan"), file);

    TestRecord r;
    ASSERT_EQ(r.LoadTestFile(dir.File("shared.tst-tkan")), 1);
    ASSERT_EQ(r.trace.sampleCount, 1000);
    EXPECT_TRUE(std::equal(points.begin(), points.end(), r.trace.samples.begin() + 600));
    ASSERT_EQ(r.dataPointCount, 1);
    EXPECT_EQ(r.dataPoints[0].time, 0.5);
    EXPECT_EQ(r.dataPoints[0].comment, "ok");
    EXPECT_EQ(r.dataPoints[0].motorCurrent, -1.25);

    // A samples section that claims more than the file holds ends with the
    // file, in whole seconds; one that starts past the end holds nothing.
    Bytes longer = ReadFileBytes(dir.File("d.tst-tkan"));
    Bytes extra = Samples(1500);
    longer.insert(longer.end(), extra.begin(), extra.end());
    Put32(longer, 24, 0xFFFFFF00u);
    WriteFileBytes(dir.File("long.tst-tkan"), longer);
    ASSERT_EQ(r.LoadTestFile(dir.File("long.tst-tkan")), 1);
    EXPECT_EQ(r.trace.sampleCount, 2000);
    EXPECT_EQ(r.trace.samples.size(), 2000u * 6);
    EXPECT_TRUE(std::equal(r.trace.samples.begin(), r.trace.samples.end(),
                           longer.begin() + static_cast<std::ptrdiff_t>(samplesAt)));
    Put32(longer, 28, static_cast<std::uint32_t>(longer.size() + 10));
    WriteFileBytes(dir.File("past.tst-tkan"), longer);
    ASSERT_EQ(r.LoadTestFile(dir.File("past.tst-tkan")), 1);
    EXPECT_EQ(r.trace.sampleCount, 0);

    // A static record keeps no samples, whatever section its file carries;
    // its notes behind that section still load.
    Bytes withSamples = SavedStatic(3, "a\tb");
    const std::size_t notesAt = withSamples.size() - 3;
    Bytes bogus = Samples(2000);
    withSamples.insert(withSamples.begin() + static_cast<std::ptrdiff_t>(notesAt), bogus.begin(), bogus.end());
    Put32(withSamples, 12, static_cast<std::uint32_t>(notesAt + bogus.size()));
    Put32(withSamples, 24, static_cast<std::uint32_t>(bogus.size()));
    Put32(withSamples, 28, static_cast<std::uint32_t>(notesAt));
    WriteFileBytes(dir.File("s2.tst-rkz"), withSamples);
    TestRecord back;
    ASSERT_EQ(back.LoadTestFile(dir.File("s2.tst-rkz")), 1);
    EXPECT_EQ(back.readingCount, 3);
    EXPECT_EQ(back.notesText, "a\tb");
    EXPECT_EQ(back.trace.sampleCount, 0);
    EXPECT_TRUE(back.trace.samples.empty());
}

TEST_F(TestFiles, ALoadKeepsNothingOfTheTestBefore)
{
    TestRecord earlier;
    Bytes block = InstrumentBlock(19, 7);
    earlier.ParseRecordBlock(block.data(), block.size());
    ASSERT_EQ(earlier.SaveTestFile(dir.File("earlier.tst-rkz")), 1);

    // A report without reading lines names no type.
    const std::string report = StaticReport(false, 3);
    WriteFileText(dir.File("none.tst-rkz"), report.substr(0, report.find("TEST  TYPE")));
    TestRecord r;
    ASSERT_EQ(r.LoadTestFile(dir.File("earlier.tst-rkz")), 1);
    ASSERT_EQ(r.LoadTestFile(dir.File("none.tst-rkz")), 1);
    EXPECT_EQ(r.testType, 0);

    // A series-2 report is saved with a block beside it: the block holds
    // the report's header texts and nothing of the earlier test.
    WriteFileText(dir.File("s2.tst-rkz"), report);
    ASSERT_EQ(r.LoadTestFile(dir.File("earlier.tst-rkz")), 1);
    ASSERT_EQ(r.LoadTestFile(dir.File("s2.tst-rkz")), 1);
    ASSERT_FALSE(r.textForm);
    ASSERT_EQ(r.SaveTestFile(dir.File("s2-saved.tst-rkz")), 1);
    TestRecord back;
    ASSERT_EQ(back.LoadTestFile(dir.File("s2-saved.tst-rkz")), 1);
    const auto zero = [](std::uint8_t b) { return b == 0; };
    const std::uint8_t* kept = back.recordBlock.data();
    EXPECT_TRUE(std::all_of(kept, kept + 22, zero));  // type, count and date
    EXPECT_EQ(std::string(kept + 22, kept + 42), "Northern Grid       ");
    EXPECT_TRUE(std::all_of(kept + 182, kept + 186, zero));               // measured temperature
    EXPECT_TRUE(std::all_of(kept + 188, kept + kRecordBlockSize, zero));  // constant, taps, rows
}

TEST_F(TestFiles, AFileShorterThanItsHeaderClaimsLoadsWhatItHolds)
{
    // Binary form: the notes at the end are cut short.
    Bytes file = SavedStatic(17, "first\tsecond\tthird");
    file.resize(file.size() - 6);
    WriteFileBytes(dir.File("b-cut.tst-rkz"), file);
    TestRecord r;
    ASSERT_EQ(r.LoadTestFile(dir.File("b-cut.tst-rkz")), 1);
    EXPECT_EQ(r.readingCount, 17);
    EXPECT_EQ(r.readings[16].r2, 2016);
    EXPECT_EQ(r.notesText, "first\tsecond");

    // Text form: the record text ends inside its last reading's time line.
    TestRecord text;
    WriteFileText(dir.File("run.tst-rkz"), StaticReport(true, 17));
    ASSERT_EQ(text.LoadTestFile(dir.File("run.tst-rkz")), 1);
    ASSERT_TRUE(text.textForm);
    ASSERT_EQ(text.SaveTestFile(dir.File("t.tst-rkz")), 1);
    file = ReadFileBytes(dir.File("t.tst-rkz"));
    file.resize(file.size() - 40);
    WriteFileBytes(dir.File("t-cut.tst-rkz"), file);
    ASSERT_EQ(r.LoadTestFile(dir.File("t-cut.tst-rkz")), 1);
    EXPECT_EQ(r.readingCount, 17);
    EXPECT_DOUBLE_EQ(r.readings[16].r1, 1116);
    EXPECT_DOUBLE_EQ(r.readings[16].r2, 2216);
    EXPECT_EQ(r.readings[16].timeText, "10:16:00");

    // A data-point comment cut short: the points before it stay.
    TestRecord dynamic;
    Bytes rec = InstrumentDynamic(5, 1000);
    dynamic.BuildFromInstrument(rec.data(), rec.size());
    dynamic.dataPointCount = 3;
    dynamic.dataPoints[0] = {0.25, 812.5, "before", 10.125, -1.5};
    dynamic.dataPoints[1] = {0.5, 900, "bridging", 10.0, 2.0};
    dynamic.dataPoints[2] = {0.75, 950, "after the change", 9.5, 0.5};
    ASSERT_EQ(dynamic.SaveTestFile(dir.File("d.tst-tkan")), 1);
    file = ReadFileBytes(dir.File("d.tst-tkan"));
    const std::string comment = "after the change";
    auto at = std::search(file.begin(), file.end(), comment.begin(), comment.end());
    ASSERT_NE(at, file.end());
    file.erase(at + 5, file.end());
    WriteFileBytes(dir.File("d-cut.tst-tkan"), file);
    ASSERT_EQ(r.LoadTestFile(dir.File("d-cut.tst-tkan")), 1);
    ASSERT_EQ(r.dataPointCount, 2);
    EXPECT_EQ(r.dataPoints[1].comment, "bridging");
    EXPECT_EQ(r.dataPoints[1].motorCurrent, 2.0);
}

TEST_F(TestFiles, StaticTestsTakeEveryStoragePath)
{
    // A plain report is read as text by its name alone, in any case.
    const std::string series1 = StaticReport(true, 3);
    for (const std::string name : {"Run 1.tst-rkz", "RUN 2.TST-TKAN"}) {
        WriteFileText(dir.File(name), series1);
        TestRecord r;
        ASSERT_EQ(r.LoadTestFile(dir.File(name)), 1) << name;
        EXPECT_TRUE(r.textForm && r.headerTextPresent) << name;
        EXPECT_EQ(r.header.fileName, name);
        EXPECT_EQ(r.readingCount, 3) << name;
        EXPECT_DOUBLE_EQ(r.resistanceMin, 1100) << name;
        EXPECT_DOUBLE_EQ(r.resistanceMax, 2602) << name;
    }

    // Versions 5 and 6 keep a report and header lines before the block; the
    // record comes from them and the block is kept as it was.
    const std::string series2 = StaticReport(false, 3);
    const std::string lines = "COMPANY=Southern Grid\nSTATION=Sub 9\nKNEE=12\nOPERATOR\n";
    const Bytes block = InstrumentBlock(1, 5);
    for (std::uint32_t version : {5u, 6u}) {
        Bytes f = {'T', 'T', 'X', 'B'};
        Append32(f, version);
        for (int i = 0; i < 7; ++i)
            Append32(f, 0);
        Append32(f, 1);
        Append32(f, static_cast<std::uint32_t>(series2.size()));
        f.insert(f.end(), series2.begin(), series2.end());
        Append32(f, static_cast<std::uint32_t>(lines.size()));
        f.insert(f.end(), lines.begin(), lines.end());
        f.insert(f.end(), block.begin(), block.end());
        Put32(f, 8, 3);
        Put32(f, 12, static_cast<std::uint32_t>(f.size()));
        for (char c : std::string("a\tb"))
            f.push_back(static_cast<std::uint8_t>(c));
        WriteFileBytes(dir.File("v.tst-rkz"), f);

        TestRecord r;
        ASSERT_EQ(r.LoadTestFile(dir.File("v.tst-rkz")), 1) << version;
        EXPECT_TRUE(r.headerTextPresent) << version;
        EXPECT_FALSE(r.textForm) << version;
        EXPECT_EQ(r.recordText, series2) << version;
        EXPECT_EQ(r.testType, 2) << version;
        ASSERT_EQ(r.readingCount, 3) << version;
        EXPECT_DOUBLE_EQ(r.readings[2].r2, 2202) << version;
        EXPECT_DOUBLE_EQ(r.measureTemp, 20) << version;
        EXPECT_EQ(r.header.company, "Southern Grid") << version;
        EXPECT_EQ(r.header.station, "Sub 9") << version;
        EXPECT_EQ(r.header.operatorName, "") << version;  // a line without "=" has no value
        EXPECT_EQ(r.notesText, "a\tb") << version;
        EXPECT_TRUE(std::equal(block.begin(), block.end(), r.recordBlock.begin())) << version;
    }

    // A series-2 report saved in the binary form loads again as it was,
    // an edited header included.
    WriteFileText(dir.File("s2.tst-tkan"), StaticReport(false, 4));
    TestRecord original;
    ASSERT_EQ(original.LoadTestFile(dir.File("s2.tst-tkan")), 1);
    original.header.company = "Edited";
    ASSERT_EQ(original.SaveTestFile(dir.File("again.tst-tkan")), 1);
    TestRecord back;
    ASSERT_EQ(back.LoadTestFile(dir.File("again.tst-tkan")), 1);
    ExpectSameRecord(original, back);
    EXPECT_EQ(back.header.company, "Edited");
    EXPECT_EQ(back.readingCount, 4);
    EXPECT_DOUBLE_EQ(back.readings[3].r1s, 1303);
    EXPECT_DOUBLE_EQ(back.referenceTemp, 75);
}
