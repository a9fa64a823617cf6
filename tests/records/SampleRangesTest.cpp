#include "records/SampleRanges.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "records/TestRecord.h"

using namespace tkan;

namespace {

using Sample = std::array<std::uint8_t, 6>;

Sample Make(std::uint16_t current, std::uint16_t resistance, std::uint16_t motor)
{
    return {static_cast<std::uint8_t>(current),    static_cast<std::uint8_t>(current >> 8),
            static_cast<std::uint8_t>(resistance), static_cast<std::uint8_t>(resistance >> 8),
            static_cast<std::uint8_t>(motor),      static_cast<std::uint8_t>(motor >> 8)};
}

void Fill(TestRecord& r, const std::vector<Sample>& samples)
{
    r.testType = 4;
    r.trace.samples.clear();
    for (const Sample& s : samples)
        r.trace.samples.insert(r.trace.samples.end(), s.begin(), s.end());
    r.trace.sampleCount = static_cast<int>(samples.size());
}

// The ranges as the accessors give them, one sample after the other, the
// first minimum and maximum met kept.
SampleRanges ThroughTheAccessors(const TestRecord& r)
{
    SampleRanges x;
    x.resistanceMin = x.resistanceMax = r.SampleResistance(0);
    x.currentMin = x.currentMax = r.SampleCurrent(0);
    x.motorCurrentMin = x.motorCurrentMax = r.SampleMotorCurrent(0);
    for (int i = 1; i < r.trace.sampleCount; ++i) {
        double v = r.SampleResistance(i);
        if (v < x.resistanceMin)
            x.resistanceMin = v;
        if (v > x.resistanceMax)
            x.resistanceMax = v;
        v = r.SampleCurrent(i);
        if (v < x.currentMin)
            x.currentMin = v;
        if (v > x.currentMax)
            x.currentMax = v;
        v = r.SampleMotorCurrent(i);
        if (v < x.motorCurrentMin)
            x.motorCurrentMin = v;
        if (v > x.motorCurrentMax)
            x.motorCurrentMax = v;
    }
    return x;
}

// Bit for bit, so that 0.0 and -0.0 differ.
void ExpectIdentical(const SampleRanges& got, const SampleRanges& want, const std::string& what)
{
    auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
    EXPECT_EQ(bits(got.resistanceMin), bits(want.resistanceMin)) << what << " " << got.resistanceMin;
    EXPECT_EQ(bits(got.resistanceMax), bits(want.resistanceMax)) << what << " " << got.resistanceMax;
    EXPECT_EQ(bits(got.currentMin), bits(want.currentMin)) << what << " " << got.currentMin;
    EXPECT_EQ(bits(got.currentMax), bits(want.currentMax)) << what << " " << got.currentMax;
    EXPECT_EQ(bits(got.motorCurrentMin), bits(want.motorCurrentMin)) << what << " " << got.motorCurrentMin;
    EXPECT_EQ(bits(got.motorCurrentMax), bits(want.motorCurrentMax)) << what << " " << got.motorCurrentMax;
}

void ExpectScansAgree(const std::vector<Sample>& samples, const std::string& what)
{
    TestRecord r;
    Fill(r, samples);
    const SampleRanges want = ThroughTheAccessors(r);
    const auto* bytes = r.trace.samples.data();
    ExpectIdentical(ScanSampleRanges(bytes, samples.size()), want, what + " (scan)");
    ExpectIdentical(ScanSampleRangesPortable(bytes, samples.size()), want, what + " (portable)");
    r.ComputeDynamicRanges();
    ExpectIdentical(
        {r.resistanceMin, r.resistanceMax, r.currentMin, r.currentMax, r.motorCurrentMin, r.motorCurrentMax}, want,
        what + " (record)");
}

// Words where a decoding could go wrong: the ends of each field, the
// resistance cap and the place where a float stops holding the resistance
// exactly, zero mantissas under large exponents, the motor's negative zero.
const std::uint16_t kCurrentEdges[] = {0x0000, 0x0001, 0x0FFF, 0x1000, 0xF000, 0xF001, 0xFFFF, 0x7ABC};
const std::uint16_t kResistanceEdges[] = {
    0x0000,          0x0001,        0x1FFF,       0x2000,
    0xE000,          0xE001,        0xE000 | 357, 0xE000 | 358,  // 6^7 x 357 is under 100 ohms, x 358 over
    0xE000 | 7671,   0xE000 | 7672,                              // x 2187 just under and over 2^24
    0xC000 | 0x1FFF, 0xFFFF};
const std::uint16_t kMotorEdges[] = {0x0000, 0x8000, 0x0001, 0x8001, 0x7FFF, 0xFFFF, 0x4000, 0xC000};

}  // namespace

TEST(SampleRangeScan, AgreesWithTheAccessorsOnRandomAndEdgeSamples)
{
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> word(0, 0xFFFF);
    std::uniform_int_distribution<int> pick(0, 3);
    auto randomSample = [&]() {
        // Edge words a quarter of the time, so they meet in every order and
        // at every position within the vector blocks.
        auto choose = [&](const auto& edges) {
            return pick(random) == 0 ? edges[static_cast<std::size_t>(word(random)) % std::size(edges)]
                                     : static_cast<std::uint16_t>(word(random));
        };
        return Make(choose(kCurrentEdges), choose(kResistanceEdges), choose(kMotorEdges));
    };

    for (std::size_t count : {1u, 2u, 7u, 8u, 9u, 15u, 16u, 17u, 23u, 24u, 25u, 31u, 33u, 1000u, 4099u}) {
        for (int round = 0; round < 20; ++round) {
            std::vector<Sample> samples(count);
            for (Sample& s : samples)
                s = randomSample();
            ExpectScansAgree(samples, "count " + std::to_string(count) + " round " + std::to_string(round));
        }
    }

    // Each edge as the only extreme, early, inside a block and in the tail.
    for (std::size_t at : {0u, 5u, 12u, 40u}) {
        for (std::uint16_t c : kCurrentEdges)
            for (std::uint16_t r : kResistanceEdges)
                for (std::uint16_t m : kMotorEdges) {
                    std::vector<Sample> samples(41, Make(0x2123, 0x2456, 0x0010));
                    samples[at] = Make(c, r, m);
                    ExpectScansAgree(samples, "edge at " + std::to_string(at));
                }
    }
}

TEST(SampleRangeScan, AZeroMotorCurrentRangeKeepsTheSignOfTheFirstZero)
{
    const std::uint16_t plusZero = 0x0000, minusZero = 0x8000, plusFive = 5, minusThree = 0x8003;
    struct Case {
        std::vector<std::uint16_t> motor;
        bool minNegativeZero;
        bool maxNegativeZero;
    };
    const Case cases[] = {
        {{minusZero, plusZero}, true, true},
        {{plusZero, minusZero}, false, false},
        {{plusFive, minusZero, plusZero}, true, false},     // max 5: only the minimum is a zero
        {{minusThree, plusZero, minusZero}, false, false},  // min -3: the maximum is +0
        {{minusThree, minusZero, plusZero}, false, true},
    };
    for (const Case& c : cases) {
        // Repeating the first sample changes no extreme and no first zero,
        // and moves the rest past the first vector block.
        for (std::size_t repeats : {1u, 20u}) {
            std::vector<Sample> samples(repeats, Make(1, 1, c.motor.front()));
            for (std::size_t i = 1; i < c.motor.size(); ++i)
                samples.push_back(Make(1, 1, c.motor[i]));
            ExpectScansAgree(samples, "zero signs");
            TestRecord r;
            Fill(r, samples);
            r.ComputeDynamicRanges();
            if (r.motorCurrentMin == 0) {
                EXPECT_EQ(std::signbit(r.motorCurrentMin), c.minNegativeZero);
            }
            if (r.motorCurrentMax == 0) {
                EXPECT_EQ(std::signbit(r.motorCurrentMax), c.maxNegativeZero);
            }
        }
    }
}

TEST(SampleRangeScan, ATraceWithoutItsBytesRangesAsTheAccessorsDecodeIt)
{
    TestRecord r;
    r.testType = 5;
    r.trace.sampleCount = 3;  // the bytes of three samples are missing
    r.resistanceMax = r.currentMax = r.motorCurrentMax = 7;
    r.ComputeDynamicRanges();
    EXPECT_EQ(r.resistanceMax, 0);
    EXPECT_EQ(r.currentMax, 0);
    EXPECT_EQ(r.motorCurrentMax, 0);
    EXPECT_EQ(r.SampleResistance(1), 0);
}

TEST(SampleRangeScan, CurrentBlocksAgreeWithTheAccessors)
{
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int> word(0, 0xFFFF);
    for (std::size_t count : {1u, 63u, 64u, 65u, 128u, 129u, 1000u}) {
        std::vector<Sample> samples(count);
        for (Sample& s : samples)
            s = Make(static_cast<std::uint16_t>(word(random)), static_cast<std::uint16_t>(word(random)),
                     static_cast<std::uint16_t>(word(random)));
        samples[count / 2] = Make(0xFFFF, 0xFFFF, 0x7FFF);  // the largest current and motor current
        TestRecord r;
        Fill(r, samples);
        const std::uint8_t* bytes = r.trace.samples.data();

        // The integers behind the accessors' values.
        for (int i = 0; i < r.trace.sampleCount; ++i) {
            const std::uint8_t* s = bytes + static_cast<std::size_t>(i) * kSampleSize;
            ASSERT_EQ(SampleCurrentMicroAmps(s) / 1000000.0, r.SampleCurrent(i));
            ASSERT_EQ(static_cast<double>(SampleResistanceMicroOhms(s)), r.SampleResistance(i));
            ASSERT_EQ(SampleMotorSteps(s) * 0.0138, std::fabs(r.SampleMotorCurrent(i)));
        }

        const CurrentBlocks scanned = ScanCurrentBlocks(bytes, count);
        const CurrentBlocks portable = ScanCurrentBlocksPortable(bytes, count);
        ASSERT_EQ(scanned.low.size(), (count + kCurrentBlock - 1) / kCurrentBlock);
        EXPECT_EQ(scanned.low, portable.low) << count;
        EXPECT_EQ(scanned.high, portable.high) << count;
        EXPECT_EQ(scanned.motorLargest, 0x7FFFu) << count;
        EXPECT_EQ(portable.motorLargest, 0x7FFFu) << count;
        for (std::size_t b = 0; b < scanned.low.size(); ++b) {
            std::uint32_t low = std::numeric_limits<std::uint32_t>::max(), high = 0;
            for (std::size_t i = b * kCurrentBlock; i < std::min(count, (b + 1) * kCurrentBlock); ++i) {
                low = std::min(low, SampleCurrentMicroAmps(bytes + i * kSampleSize));
                high = std::max(high, SampleCurrentMicroAmps(bytes + i * kSampleSize));
            }
            EXPECT_EQ(scanned.low[b], low) << count << " block " << b;
            EXPECT_EQ(scanned.high[b], high) << count << " block " << b;
        }
    }
}
