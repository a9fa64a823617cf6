#include "display/SampleEnvelope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "display/GraphFixtures.h"
#include "support/DemoFiles.h"
#include "support/TempDir.h"

using namespace tkan;
using namespace tkan::graphtest;

namespace {

ValueRange Scan(const TestRecord& record, SampleQuantity quantity, int first, int last)
{
    auto value = [&](int i) {
        switch (quantity) {
        case SampleQuantity::Resistance: return record.SampleResistance(i);
        case SampleQuantity::TestCurrent: return record.SampleCurrent(i);
        case SampleQuantity::MotorCurrent: return record.SampleMotorCurrent(i);
        }
        return 0.0;
    };
    ValueRange range{value(first), value(first)};
    for (int i = first; i <= last; ++i) {
        range.low = std::min(range.low, value(i));
        range.high = std::max(range.high, value(i));
    }
    return range;
}

// A trace of random values over the whole range of each quantity.
std::unique_ptr<TestRecord> RandomTrace(unsigned seed, int seconds, int count)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> resistance(0, 3e6), current(0, 50), motor(-30, 30);
    std::vector<SampleValues> values(static_cast<std::size_t>(count));
    for (auto& v : values)
        v = {resistance(random), current(random), motor(random)};
    return MakeDynamic(
        seconds, [&](int i) { return values[static_cast<std::size_t>(i)]; }, count);
}

// Pages of column bounds as a graph asks for them, and worse: narrow and
// wide columns, columns within one block, repeated bounds, bounds past either
// end, a stretch running backwards, and a page whose last columns all stand
// on the last sample.
std::vector<std::vector<int>> PagesOfBounds(int count)
{
    std::vector<std::vector<int>> pages;
    for (int step : {1, 3, 8, 9, 100, 182, 777}) {
        std::vector<int> bounds;
        for (int at = -20; at < count + 40; at += step)
            bounds.push_back(at);
        pages.push_back(bounds);
        bounds.insert(bounds.begin() + static_cast<long>(bounds.size() / 2), {700, 700, 300, 4000, 17});
        pages.push_back(bounds);
    }
    std::vector<int> page;
    for (int x = 0; x <= 1920; ++x)
        page.push_back(std::min(count - 1, static_cast<int>(static_cast<long long>(count) * x / 1800)));
    pages.push_back(page);
    return pages;
}

void ExpectColumns(const TestRecord& record, SampleQuantity quantity, const std::vector<int>& bounds,
                   const std::vector<ValueRange>& ranges)
{
    const int count = record.trace.sampleCount;
    for (std::size_t c = 0; c < ranges.size(); ++c) {
        const int a = std::clamp(std::min(bounds[c], bounds[c + 1]), 0, count - 1);
        const int b = std::clamp(std::max(bounds[c], bounds[c + 1]), 0, count - 1);
        const ValueRange expected = Scan(record, quantity, a, b);
        ASSERT_EQ(ranges[c].low, expected.low) << "columns " << ranges.size() << ", column " << c;
        ASSERT_EQ(ranges[c].high, expected.high) << "columns " << ranges.size() << ", column " << c;
    }
}

}  // namespace

TEST(SampleEnvelope, AgreesWithAPlainScanOverAnyRun)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> resistance(0, 3e6), current(0, 50), motor(-30, 30);
    // 1237 samples: neither the blocks nor the levels come out even.
    std::vector<SampleValues> values(1237);
    for (auto& v : values)
        v = {resistance(random), current(random), motor(random)};
    auto record = MakeDynamic(
        2, [&](int i) { return values[static_cast<std::size_t>(i)]; }, 1237);

    for (SampleQuantity quantity :
         {SampleQuantity::Resistance, SampleQuantity::TestCurrent, SampleQuantity::MotorCurrent}) {
        SampleEnvelope envelope;
        envelope.Build(*record, quantity);
        std::uniform_int_distribution<int> index(0, 1236);
        for (int trial = 0; trial < 3000; ++trial) {
            int a = index(random), b = index(random);
            if (trial % 3 == 0)
                b = std::min(1236, a + trial % 40);  // short runs, as in a wide plot
            if (a > b)
                std::swap(a, b);
            ValueRange expected = Scan(*record, quantity, a, b);
            ValueRange got = envelope.Range(*record, a, b);
            ASSERT_EQ(got.low, expected.low) << a << ".." << b;
            ASSERT_EQ(got.high, expected.high) << a << ".." << b;
        }
        // Runs ending at the trace's last blocks, which may have no right
        // neighbour on some levels of the pyramid.
        for (int a = 1100; a < 1237; ++a) {
            for (const auto& [from, to] : {std::pair{a, 1236}, std::pair{0, a}, std::pair{a - 90, a}}) {
                const ValueRange expected = Scan(*record, quantity, from, to);
                const ValueRange got = envelope.Range(*record, from, to);
                ASSERT_EQ(got.low, expected.low) << from << ".." << to;
                ASSERT_EQ(got.high, expected.high) << from << ".." << to;
            }
        }
        ValueRange whole = envelope.Range(*record, -10, 5000);  // held within the trace
        EXPECT_EQ(whole.low, Scan(*record, quantity, 0, 1236).low);
        EXPECT_EQ(whole.high, Scan(*record, quantity, 0, 1236).high);
    }
}

// Blocks keep integer stand-ins for the samples' values: every code of every
// quantity must come back as its decoder reads it and order as its value.
TEST(SampleEnvelope, EveryCodeComesBackAsItsDecodedValueInOrder)
{
    const int count = 65536;
    std::vector<int> order(count);
    for (int i = 0; i < count; ++i)
        order[static_cast<std::size_t>(i)] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(11));
    TestRecord record;
    record.trace.sampleCount = count;
    record.trace.seconds = 65;
    for (int code : order) {
        const auto low = static_cast<std::uint8_t>(code & 0xFF), high = static_cast<std::uint8_t>(code >> 8);
        const std::uint8_t sample[kSampleSize] = {low, high, low, high, low, high};
        record.trace.samples.insert(record.trace.samples.end(), sample, sample + kSampleSize);
    }

    std::mt19937 random(5);
    std::uniform_int_distribution<int> index(0, count - 1), length(0, 300);
    for (SampleQuantity quantity :
         {SampleQuantity::Resistance, SampleQuantity::TestCurrent, SampleQuantity::MotorCurrent}) {
        SampleEnvelope envelope;
        envelope.Build(record, quantity);
        for (int i = 0; i < count; ++i) {
            const double value = Scan(record, quantity, i, i).low;
            const ValueRange got = envelope.Range(record, i, i);
            ASSERT_EQ(got.low, value) << i;
            ASSERT_EQ(got.high, value) << i;
        }
        for (int trial = 0; trial < 2000; ++trial) {
            const int a = index(random);
            const int b = std::min(count - 1, a + (trial % 2 ? length(random) : index(random)));
            const ValueRange expected = Scan(record, quantity, a, b);
            const ValueRange got = envelope.Range(record, a, b);
            ASSERT_EQ(got.low, expected.low) << a << ".." << b;
            ASSERT_EQ(got.high, expected.high) << a << ".." << b;
        }
    }
}

// A page asks for all its columns at once, each ending on the sample the
// next starts on; whatever the bounds, each column must match its own query.
TEST(SampleEnvelope, APageOfColumnsMatchesOneQueryPerColumn)
{
    const int count = 5003;
    auto record = RandomTrace(3, 5, count);

    for (SampleQuantity quantity :
         {SampleQuantity::Resistance, SampleQuantity::TestCurrent, SampleQuantity::MotorCurrent}) {
        SampleEnvelope envelope;
        envelope.Build(*record, quantity);
        for (const std::vector<int>& bounds : PagesOfBounds(count)) {
            std::vector<ValueRange> ranges(bounds.size() - 1);
            envelope.Ranges(*record, bounds, ranges);
            ExpectColumns(*record, quantity, bounds, ranges);
        }
    }
}

// The resistance or test current is swept together with the motor current
// when both are drawn; each must come out as if asked for alone.
TEST(SampleEnvelope, TwoQuantitiesSweptTogetherMatchTheirOwnColumns)
{
    const int count = 20011;
    auto record = RandomTrace(13, 20, count);

    SampleEnvelope motorEnvelope;
    motorEnvelope.Build(*record, SampleQuantity::MotorCurrent);
    for (SampleQuantity quantity : {SampleQuantity::Resistance, SampleQuantity::TestCurrent}) {
        SampleEnvelope envelope;
        envelope.Build(*record, quantity);
        for (const std::vector<int>& bounds : PagesOfBounds(count)) {
            std::vector<ValueRange> ranges(bounds.size() - 1), motorRanges(bounds.size() - 1);
            SampleEnvelope::Ranges(*record, bounds, envelope, ranges, motorEnvelope, motorRanges);
            ExpectColumns(*record, quantity, bounds, ranges);
            ExpectColumns(*record, SampleQuantity::MotorCurrent, bounds, motorRanges);
        }
    }

    // Pyramids of different records are not swept together.
    auto other = RandomTrace(17, 2, 1000);
    SampleEnvelope shorter;
    shorter.Build(*other, SampleQuantity::Resistance);
    const std::vector<int> bounds = {0, 400, 999};
    std::vector<ValueRange> ranges(2), motorRanges(2);
    SampleEnvelope::Ranges(*record, bounds, shorter, ranges, motorEnvelope, motorRanges);
    ExpectColumns(*record, SampleQuantity::MotorCurrent, bounds, motorRanges);
}

TEST(SampleEnvelope, TracesWithoutUsableSamplesGiveZeros)
{
    TestRecord none;
    SampleEnvelope envelope;
    envelope.Build(none, SampleQuantity::Resistance);
    EXPECT_EQ(envelope.Range(none, 0, 10).high, 0);

    auto shortBlock = MakeConstant(1, {500, 2, 3});
    shortBlock->trace.samples.resize(600);  // fewer bytes than the count says
    envelope.Build(*shortBlock, SampleQuantity::MotorCurrent);
    EXPECT_EQ(envelope.SampleCount(), 0);
    EXPECT_EQ(envelope.Range(*shortBlock, 0, 999).low, 0);
}

TEST(SampleEnvelopeCache, RebuildsOnlyWhenTheSamplesChange)
{
    auto record = MakeConstant(1, {500, 2, 3});
    SampleEnvelopeCache cache;
    cache.Refresh(*record);
    EXPECT_EQ(cache.For(*record, SampleQuantity::Resistance).Range(*record, 0, 999).high, 500);

    auto other = MakeConstant(1, {700, 2, 3});
    record->trace.samples = other->trace.samples;  // a reload of the same length
    cache.Refresh(*record);
    EXPECT_EQ(cache.For(*record, SampleQuantity::Resistance).Range(*record, 0, 999).high, 700);

    record->trace.sampleCount = 10;
    cache.Refresh(*record);
    EXPECT_EQ(cache.For(*record, SampleQuantity::Resistance).SampleCount(), 10);

    // Records that were never refreshed are checked on first use.
    EXPECT_EQ(cache.For(*other, SampleQuantity::Resistance).Range(*other, 0, 999).low, 700);

    EXPECT_NE(SampleFingerprint(record->trace.samples.data(), 36), SampleFingerprint(other->trace.samples.data(), 30));
}

TEST(SampleEnvelopeCache, AFileLoadedAgainIntoTheSameRecordShowsItsOwnTrace)
{
    test::TempDir dir;
    DemoParameters low, high;
    low.seconds = high.seconds = 2;
    high.windingResistance = low.windingResistance * 3;
    ASSERT_EQ(test::WriteDemoTest(dir.File("low.test"), test::DemoKind::Dynamic, low), 1);
    ASSERT_EQ(test::WriteDemoTest(dir.File("high.test"), test::DemoKind::Dynamic, high), 1);

    TestRecord record;
    SampleEnvelopeCache cache;
    double shown[2];
    for (int pass = 0; pass < 2; ++pass) {
        for (const char* name : {"low.test", "high.test"}) {
            ASSERT_EQ(record.LoadTestFile(dir.File(name)), 1);
            cache.Refresh(record);
            const int last = record.trace.sampleCount - 1;
            const double low = cache.For(record, SampleQuantity::Resistance).Range(record, last - 100, last).low;
            EXPECT_EQ(low, Scan(record, SampleQuantity::Resistance, last - 100, last).low) << name;
            shown[name[0] == 'h'] = low;
        }
        EXPECT_GT(shown[1], shown[0] * 2) << "pass " << pass;
    }
}
