// Any bytes as a trace's samples and any column bounds: the extremes the
// graph takes from its min/max pyramids, one quantity at a time and two
// swept together, must be those of a plain scan over the samples.

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "FuzzSupport.h"
#include "display/SampleEnvelope.h"

using namespace tkan;

namespace {

double Value(const TestRecord& record, SampleQuantity quantity, int index)
{
    switch (quantity) {
    case SampleQuantity::Resistance: return record.SampleResistance(index);
    case SampleQuantity::TestCurrent: return record.SampleCurrent(index);
    case SampleQuantity::MotorCurrent: return record.SampleMotorCurrent(index);
    }
    return 0;
}

void CheckColumns(const TestRecord& record, SampleQuantity quantity, const std::vector<int>& bounds,
                  const std::vector<ValueRange>& ranges, bool usable)
{
    const int count = record.trace.sampleCount;
    for (std::size_t c = 0; c + 1 < bounds.size(); ++c) {
        ValueRange expected;
        if (usable) {
            const int a = std::clamp(std::min(bounds[c], bounds[c + 1]), 0, count - 1);
            const int b = std::clamp(std::max(bounds[c], bounds[c + 1]), 0, count - 1);
            expected = {Value(record, quantity, a), Value(record, quantity, a)};
            for (int i = a; i <= b; ++i) {
                expected.low = std::min(expected.low, Value(record, quantity, i));
                expected.high = std::max(expected.high, Value(record, quantity, i));
            }
        }
        fuzz::Require(ranges[c].low == expected.low && ranges[c].high == expected.high,
                      "a column's extremes are those of a plain scan");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Eight bytes of choices, then the samples.
    if (size < 8)
        return 0;
    std::array<std::uint8_t, 8> head;
    std::memcpy(head.data(), data, head.size());
    data += head.size();
    size -= head.size();

    static TestRecord record;
    record.trace.samples.assign(data, data + size);
    const int whole = static_cast<int>(size / kSampleSize);
    // Now and then a count that the bytes do not cover.
    record.trace.sampleCount = (head[0] & 0x80) ? whole + 1 + head[1] % 7 : whole;
    record.trace.seconds = 1;
    const bool usable = record.trace.sampleCount > 0 && whole >= record.trace.sampleCount;

    // Bounds as a page asks for them (rising, even steps, the tail on the
    // last sample), or anywhere around the trace in any order.
    std::seed_seq seed(head.begin(), head.end());
    std::mt19937 random(seed);
    // A page may be wide; bounds anywhere are few, as each column is
    // scanned in full to check it.
    const bool page = head[0] & 1;
    const int columns = 1 + head[2] % 64 + (page && (head[3] & 1) ? (head[3] % 200) * 8 : 0);
    const int count = std::max(record.trace.sampleCount, 1);
    std::vector<int> bounds(static_cast<std::size_t>(columns) + 1);
    if (page) {
        const int span = 1 + static_cast<int>(random() % static_cast<unsigned>(count + count / 2 + 1));
        const int start = static_cast<int>(random() % static_cast<unsigned>(count));
        for (int x = 0; x <= columns; ++x)
            bounds[static_cast<std::size_t>(x)] =
                std::min(count - 1, start + static_cast<int>(static_cast<long long>(span) * x / columns));
    } else {
        std::uniform_int_distribution<int> anywhere(-40, count + 40);
        for (int& bound : bounds)
            bound = anywhere(random);
        if (head[0] & 2)
            std::sort(bounds.begin(), bounds.end());
    }

    static constexpr SampleQuantity kQuantities[] = {SampleQuantity::Resistance, SampleQuantity::TestCurrent,
                                                     SampleQuantity::MotorCurrent};
    std::array<SampleEnvelope, 3> envelopes;
    for (std::size_t q = 0; q < 3; ++q)
        envelopes[q].Build(record, kQuantities[q]);

    std::vector<ValueRange> ranges(bounds.size() - 1), motorRanges(bounds.size() - 1);
    for (std::size_t q = 0; q < 3; ++q) {
        envelopes[q].Ranges(record, bounds, ranges);
        CheckColumns(record, kQuantities[q], bounds, ranges, usable);
    }
    const std::size_t first = (head[0] & 4) ? 1 : 0;  // test current or resistance
    SampleEnvelope::Ranges(record, bounds, envelopes[first], ranges, envelopes[2], motorRanges);
    CheckColumns(record, kQuantities[first], bounds, ranges, usable);
    CheckColumns(record, SampleQuantity::MotorCurrent, bounds, motorRanges, usable);
    return 0;
}
