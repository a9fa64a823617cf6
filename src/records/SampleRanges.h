#pragma once

#include <cstddef>
#include <cstdint>

namespace tkan {

// The value ranges of a run of 6-byte samples, as decoded by the record's
// sample accessors.
struct SampleRanges {
    double resistanceMin = 0, resistanceMax = 0;
    double currentMin = 0, currentMax = 0;
    double motorCurrentMin = 0, motorCurrentMax = 0;
};

// One pass over `count` samples (count x 6 bytes). The result is the very
// values, bit for bit, that decoding every sample through the accessors and
// keeping the first minimum and maximum met would give, signed zeros
// included. Uses the vector unit when the processor has one worth using.
SampleRanges ScanSampleRanges(const std::uint8_t* samples, std::size_t count);

// The same without any vector code: what processors without AVX2 run, and
// what the vector path is checked against.
SampleRanges ScanSampleRangesPortable(const std::uint8_t* samples, std::size_t count);

}  // namespace tkan
