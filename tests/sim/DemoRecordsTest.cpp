#include "sim/DemoRecords.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include <gtest/gtest.h>

#include "records/TestRecord.h"

namespace tkan {
namespace {

std::unique_ptr<TestRecord> FromInstrument(const std::vector<std::uint8_t>& bytes)
{
    auto record = std::make_unique<TestRecord>();
    record->BuildFromInstrument(bytes.data(), bytes.size());
    return record;
}

// Samples decoded by the record's own accessors.
std::unique_ptr<TestRecord> Decoder(const std::vector<std::array<std::uint8_t, 6>>& samples)
{
    auto record = std::make_unique<TestRecord>();
    record->testType = 4;
    for (const auto& s : samples)
        record->trace.samples.insert(record->trace.samples.end(), s.begin(), s.end());
    record->trace.sampleCount = static_cast<int>(samples.size());
    return record;
}

TEST(EncodeSample, DecodesBackWithinTheFormatsResolution)
{
    struct Value {
        double r, i, m;
    };
    std::vector<Value> values;
    for (double x = 0; x < 1; x += 0.004) {
        // Resistance 0.7 micro-ohm to 100 ohms, current 1 uA to 134 A,
        // motor current +-450 A, each swept on a log scale.
        values.push_back({0.7 * std::pow(1.4e8, x), 1e-6 * std::pow(1.3e8, x),
                          (x < 0.5 ? -1 : 1) * 0.01 * std::pow(4.5e4, std::fmod(2 * x, 1.0))});
    }
    std::vector<std::array<std::uint8_t, 6>> samples;
    for (const Value& v : values)
        samples.push_back(EncodeSample(v.r, v.i, v.m));
    auto d = Decoder(samples);
    for (int k = 0; k < static_cast<int>(values.size()); ++k) {
        const Value& v = values[k];
        // With the smallest exponent that fits, a mantissa above 0 is at
        // least a sixth (resistance) or a half (current) of its range.
        EXPECT_NEAR(d->SampleResistance(k), v.r, std::max(0.5, v.r / (2 * 1365.0)) + 1e-9) << v.r;
        EXPECT_NEAR(d->SampleCurrent(k), v.i, std::max(0.5e-6, v.i / (2 * 2047.0)) + 1e-12) << v.i;
        EXPECT_NEAR(d->SampleMotorCurrent(k), v.m, 0.0069 + 1e-12) << v.m;
        EXPECT_EQ(std::signbit(d->SampleMotorCurrent(k)), v.m < 0) << v.m;
    }
}

TEST(EncodeSample, HoldsTheFormatsLimits)
{
    auto d = Decoder({EncodeSample(8191 * 6, 0.004095, 1.38), EncodeSample(1e8, 1000, 1e6),
                      EncodeSample(-5, -1, -0.001), EncodeSample(NAN, NAN, NAN)});
    EXPECT_EQ(d->SampleResistance(0), 8191 * 6);  // exact where the format allows
    EXPECT_EQ(d->SampleCurrent(0), 0.004095);
    EXPECT_EQ(d->SampleResistance(1), 100000000);  // the decoder's cap, not just below it
    EXPECT_NEAR(d->SampleCurrent(1), 134.18496, 1e-9);
    EXPECT_NEAR(d->SampleMotorCurrent(1), 452.1846, 1e-9);
    EXPECT_EQ(d->SampleResistance(2), 0);
    EXPECT_EQ(d->SampleCurrent(2), 0);
    EXPECT_FALSE(std::signbit(d->SampleMotorCurrent(2)));  // no negative zero
    EXPECT_EQ(d->SampleResistance(3) + d->SampleCurrent(3) + d->SampleMotorCurrent(3), 0);
}

TEST(DemoRecords, DynamicRecordHasTheInstrumentsLayout)
{
    DemoParameters p;
    p.company = "A company name longer than twenty";
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
        std::vector<DemoReading> rows = DemoStaticReadings(p);
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
    std::vector<DemoReading> rows = DemoStaticReadings(p);
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
