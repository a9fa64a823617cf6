#include "sim/RecordEncoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "records/TestRecord.h"

namespace tkan {
namespace {

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

}  // namespace
}  // namespace tkan
