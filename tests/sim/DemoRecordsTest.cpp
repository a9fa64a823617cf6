#include "sim/DemoRecords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "records/TestRecord.h"

namespace tkan {
namespace {

std::unique_ptr<TestRecord> FromInstrument(const std::vector<std::uint8_t>& bytes)
{
    auto record = std::make_unique<TestRecord>();
    record->BuildFromInstrument(bytes.data(), bytes.size());
    return record;
}

TEST(DemoRecords, DynamicRecordHasTheInstrumentsLayout)
{
    DemoParameters p;
    p.header.company = "A company name longer than twenty";
    std::vector<std::uint8_t> bytes = BuildDynamicRecord(p);
    ASSERT_EQ(bytes.size(), 256u + 15 * 2000 * 6);
    EXPECT_EQ(std::string(bytes.begin() + 42, bytes.begin() + 62), "Harlow Substation   ");
    EXPECT_EQ(bytes[184] & bytes[185], 0xFF);  // no temperature data
    auto record = FromInstrument(bytes);
    EXPECT_EQ(record->testType, 4);
    EXPECT_EQ(record->header.company, "A company name longe");
    EXPECT_EQ(record->header.testDate, "Mar 05, 2024");
    EXPECT_EQ(record->header.testTime, "10:15 AM");
    EXPECT_EQ(record->trace.seconds, 15);

    p.testType = 5;
    p.seconds = 500;  // longer than the instrument's own test
    EXPECT_EQ(BuildDynamicRecord(p).size(), 256u + 240 * 1000 * 6);
    EXPECT_EQ(BuildDynamicRecord(p), BuildDynamicRecord(p));
    std::vector<std::uint8_t> first = BuildDynamicRecord(p);
    p.seed = 2;
    EXPECT_NE(BuildDynamicRecord(p), first);
}

TEST(DemoRecords, DynamicRecordLooksLikeTapChanges)
{
    DemoParameters p;
    p.seconds = 30;
    p.tapChanges = 3;
    const std::vector<DemoTapChange> changes = DemoTapChanges(p);
    ASSERT_EQ(changes.size(), 3u);
    auto record = FromInstrument(BuildDynamicRecord(p));
    const TestRecord& r = *record;
    auto at = [](double t) { return static_cast<int>(t * 2000); };
    auto mean = [&](double from, double to) {
        double sum = 0;
        for (int i = at(from); i < at(to); ++i)
            sum += r.SampleResistance(i);
        return sum / (at(to) - at(from));
    };

    // The current rises from nothing to the set value, and a transition
    // costs it a few percent.
    EXPECT_EQ(r.SampleCurrent(0), 0);
    for (int i = at(1.2); i < at(changes[0].transitionStart); ++i)
        ASSERT_NEAR(r.SampleCurrent(i), 10, 0.1) << i;

    double previous = mean(1.5, changes[0].transitionStart - 0.01);
    EXPECT_NEAR(previous, p.windingResistance, 5);
    for (const DemoTapChange& c : changes) {
        double end = c.transitionStart + c.transitionLength;
        EXPECT_GE(c.motorStop - c.motorStart, 3.0);
        EXPECT_GT(c.transitionStart, c.motorStart);
        EXPECT_LT(end, c.motorStop);
        EXPECT_LE(c.transitionLength, 0.08);

        double after = mean(end + 0.01, end + 0.5);
        EXPECT_NEAR(after - previous, p.tapStep, 0.2 * p.tapStep);
        previous = after;
        double peak = 0, dip = 10;
        for (int i = at(c.transitionStart); i < at(end + 0.1); ++i) {
            peak = std::max(peak, r.SampleResistance(i));
            dip = std::min(dip, r.SampleCurrent(i));
        }
        EXPECT_GT(peak, 3 * after);
        EXPECT_LT(dip, 9.7);
        EXPECT_GT(dip, 8.5);

        // Motor: off, an inrush, a steady run, off again.
        double inrush = 0;
        for (int i = at(c.motorStart); i < at(c.motorStart + 0.1); ++i)
            inrush = std::max(inrush, r.SampleMotorCurrent(i));
        double running = r.SampleMotorCurrent(at((c.motorStart + c.transitionStart) / 2));
        EXPECT_EQ(r.SampleMotorCurrent(at(c.motorStart) - 2), 0);
        EXPECT_GT(running, 1.0);
        EXPECT_LT(running, 3.0);
        EXPECT_GT(inrush, 2.5 * running);
        EXPECT_EQ(r.SampleMotorCurrent(at(c.motorStop) + 2), 0);
    }

    p.seconds = 15;
    p.tapChanges = 40;  // more than fit
    std::vector<DemoTapChange> crowded = DemoTapChanges(p);
    ASSERT_FALSE(crowded.empty());
    for (std::size_t k = 1; k < crowded.size(); ++k)
        EXPECT_LT(crowded[k - 1].motorStop, crowded[k].motorStart);
    EXPECT_LE(crowded.back().motorStop, 15.0);
}

TEST(DemoRecords, StaticRecordsCarryTheirReadings)
{
    for (int type : {1, 2, 3, 9, 10, 11, 17, 18, 19}) {
        DemoParameters p;
        p.testType = type;
        p.readingCount = 7;
        p.hasTemperatures = type != 2;
        std::vector<std::uint8_t> bytes = BuildStaticRecord(p);
        std::vector<InstrumentReading> rows = DemoStaticReadings(p);
        auto record = FromInstrument(bytes);
        EXPECT_EQ(record->testType, type);
        EXPECT_EQ(bytes.size(), 256 + 32 * rows.size());
        ASSERT_EQ(record->readingCount, record->IsStaticTap() ? 17 : 7) << type;
        EXPECT_EQ(record->tempCorrected, type != 2) << type;
        for (int i = 0; i < record->readingCount; ++i) {
            EXPECT_EQ(record->readings[i].r1, rows[i].r1);
            EXPECT_EQ(record->readings[i].r2, rows[i].r2);
            EXPECT_EQ(record->readings[i].r3, rows[i].r3);
            EXPECT_NEAR(record->readings[i].current, 100000, 100);
        }
        EXPECT_EQ(rows[0].r2 > 0, record->HasV2()) << type;
        EXPECT_EQ(rows[0].r3 > 0, record->HasV3()) << type;
        if (record->IsStaticTap()) {
            EXPECT_EQ(record->tapsPerSide, 8);
            EXPECT_DOUBLE_EQ(record->measureTemp, 24.5);
            // A regulator reads lowest at neutral, more with each tap either way.
            for (int i = 0; i < 8; ++i) {
                EXPECT_GT(rows[i].r1, rows[i + 1].r1) << i;
                EXPECT_LT(rows[8 + i].r1, rows[9 + i].r1) << i;
            }
        }
    }
    DemoParameters p;
    p.testType = 17;
    p.tapsPerSide = 30;  // both sides would not fit in 50 rows
    EXPECT_EQ(DemoStaticReadings(p).size(), 49u);
}

TEST(DemoRecords, KeyValueRecordReadsBackAsTheSameTest)
{
    DemoParameters p;
    std::string text = BuildKeyValueRecord(p);
    std::size_t bareEnds = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        bareEnds += (text[i] == '\n') != (i > 0 && text[i - 1] == '\r');
    EXPECT_EQ(bareEnds, 0u);
    EXPECT_TRUE(text.ends_with("\r\n"));

    TestRecord record;
    record.ParseKeyValueRecord(text);
    std::vector<InstrumentReading> rows = DemoStaticReadings(p);
    EXPECT_EQ(record.testType, 18);
    EXPECT_EQ(record.header.operatorName, "R. M\xFCller");
    EXPECT_EQ(record.header.testTime, "10:15:00");
    EXPECT_EQ(record.tapsPerSide, 8);
    EXPECT_TRUE(record.tempCorrected);
    ASSERT_EQ(record.readingCount, 17);
    for (int i = 0; i < 17; ++i) {
        EXPECT_EQ(record.readings[i].r1, rows[i].r1);
        EXPECT_EQ(record.readings[i].r2, rows[i].r2);
        EXPECT_EQ(record.readings[i].current, rows[i].current);
    }
}

}  // namespace
}  // namespace tkan
