// The simulated instrument's memory: test files served as stored records.
#include "sim/SimRecords.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/TestRecord.h"
#include "support/SimHarness.h"
#include "support/TempDir.h"

namespace tkan::test {
namespace {

// A test file as the program would have saved it after a download.
void SaveDownloaded(const std::vector<std::uint8_t>& bytes, bool keyValue, const std::string& path)
{
    TestRecord record;
    record.textForm = keyValue;
    ASSERT_EQ(record.BuildFromInstrument(bytes.data(), bytes.size()), 1);
    ASSERT_EQ(record.SaveTestFile(path), 1);
}

void Rebuild(const SimStoredRecord& stored, TestRecord& record)
{
    record.textForm = stored.keyValue;
    ASSERT_EQ(record.BuildFromInstrument(stored.bytes.data(), stored.bytes.size()), 1);
}

TEST(SimRecords, SavedDownloadsAreServedBackAsTheSameTests)
{
    TempDir dir;
    std::vector<SimStoredRecord> demo = DemoRecordSet(SimModel::Tkan, SimDate{});
    // Names sort in the order the instrument should number them.
    SaveDownloaded(demo[2].bytes, false, dir.File("a-static.test"));
    SaveDownloaded(demo[0].bytes, false, dir.File("b-dynamic.tst-tkan"));
    WriteFileText(dir.File("c-notes.txt"), "not a test file");
    WriteFileText(dir.File("d-broken.test"), "neither");

    std::vector<SimStoredRecord> served;
    std::vector<std::string> problems;
    ASSERT_EQ(LoadRecordFolder(dir.Path(), SimModel::Tkan, served, problems), 1);
    ASSERT_EQ(served.size(), 2u);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("d-broken.test"), std::string::npos);

    EXPECT_EQ(served[0].number, 1);
    EXPECT_EQ(served[0].bytes, demo[2].bytes) << "a static record goes back byte for byte";
    EXPECT_EQ(served[0].dateText, demo[2].dateText);

    TestRecord original, back;
    Rebuild(demo[0], original);
    Rebuild(served[1], back);
    EXPECT_EQ(back.testType, 4);
    EXPECT_EQ(back.trace.samples, original.trace.samples);
    EXPECT_EQ(back.header.station, original.header.station);
    EXPECT_EQ(served[1].typeText, "DYN 2000");
}

TEST(SimRecords, RkzMeterServesBinaryStaticTestsAsKeyValueRecords)
{
    TempDir dir;
    std::vector<SimStoredRecord> demo = DemoRecordSet(SimModel::Tkan, SimDate{});
    SaveDownloaded(demo[3].bytes, false, dir.File("regulator.test"));
    SaveDownloaded(demo[0].bytes, false, dir.File("dynamic.test"));

    std::vector<SimStoredRecord> served;
    std::vector<std::string> problems;
    ASSERT_EQ(LoadRecordFolder(dir.Path(), SimModel::Rkz10, served, problems), 1);
    ASSERT_EQ(served.size(), 1u);
    ASSERT_EQ(problems.size(), 1u) << "an RKZ meter holds no dynamic tests";
    EXPECT_NE(problems[0].find("dynamic.test"), std::string::npos);
    EXPECT_TRUE(served[0].keyValue);

    TestRecord original, back;
    Rebuild(demo[3], original);
    Rebuild(served[0], back);
    EXPECT_EQ(back.testType, 18);
    EXPECT_EQ(back.tapsPerSide, 8);
    ASSERT_EQ(back.readingCount, original.readingCount);
    for (int i = 0; i < back.readingCount; ++i) {
        EXPECT_EQ(back.readings[i].r1, original.readings[i].r1) << i;
        EXPECT_EQ(back.readings[i].r2, original.readings[i].r2) << i;
        EXPECT_EQ(back.readings[i].current, original.readings[i].current) << i;
    }
    EXPECT_EQ(back.header.company, original.header.company);
    EXPECT_NEAR(back.measureTemp, original.measureTemp, 0.05);
    EXPECT_EQ(served[0].dateText, demo[3].dateText);
}

TEST(SimRecords, TkanServesKeyValueTestsAsRecordBlocks)
{
    TempDir dir;
    std::vector<SimStoredRecord> rkz = DemoRecordSet(SimModel::Rkz10, SimDate{2010, 3, 5, 14, 30, 0});
    SaveDownloaded(rkz[0].bytes, true, dir.File("meter.tst-rkz"));

    std::vector<SimStoredRecord> served;
    std::vector<std::string> problems;
    ASSERT_EQ(LoadRecordFolder(dir.Path(), SimModel::Tkan, served, problems), 1);
    ASSERT_EQ(served.size(), 1u);
    EXPECT_FALSE(served[0].keyValue);

    TestRecord original, back;
    Rebuild(rkz[0], original);
    Rebuild(served[0], back);
    EXPECT_EQ(back.testType, 2);
    ASSERT_EQ(back.readingCount, original.readingCount);
    EXPECT_EQ(back.readings[4].r2, original.readings[4].r2);
    EXPECT_EQ(back.header.testDate, "Mar 02, 2010");
    EXPECT_EQ(back.header.testTime, "02:30 PM");
    EXPECT_EQ(served[0].dateText, "03/02/10 14:30:00");
}

TEST(SimRecords, InstrumentClockKeepsCalendarRules)
{
    SimDate leap{2024, 2, 28, 23, 59, 30};
    SimDate next = leap.Plus(31);
    EXPECT_EQ(next.month, 2);
    EXPECT_EQ(next.day, 29);
    EXPECT_EQ(next.hour, 0);
    EXPECT_EQ(next.second, 1);
    SimDate back = SimDate{2024, 1, 1, 0, 0, 0}.Plus(-1);
    EXPECT_EQ(back.year, 2023);
    EXPECT_EQ(back.month, 12);
    EXPECT_EQ(back.day, 31);
    EXPECT_EQ(back.hour, 23);
}

TEST(SimRecords, NewTestRecordIsDatedByTheInstrumentClock)
{
    SimOptions o;
    o.clockStart = SimDate{2009, 12, 31, 23, 59, 0};
    SimHarness h(o);
    h.Exchange("T314");
    h.Exchange("Y");
    h.Wait(65000, 1000);
    h.Exchange("G");
    h.Wait(2000, 1000);
    h.Exchange("S");
    EXPECT_EQ(h.sim->Records().back().dateText, "01/01/10 00:00:05");
}

}  // namespace
}  // namespace tkan::test
