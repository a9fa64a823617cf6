#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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

// The test current of each block of kCurrentBlock samples as its smallest
// and largest exact integer (micro-amperes), and the largest motor-current
// magnitude of all samples in its 13.8-mA steps. The last block may be
// short. What a search for dips of the current skims a trace with before it
// looks at single samples.
constexpr std::size_t kCurrentBlock = 64;

struct CurrentBlocks {
    std::vector<std::uint32_t> low, high;
    std::uint32_t motorLargest = 0;
};

CurrentBlocks ScanCurrentBlocks(const std::uint8_t* samples, std::size_t count);
CurrentBlocks ScanCurrentBlocksPortable(const std::uint8_t* samples, std::size_t count);

// A sample's test current in micro-amperes and its resistance in micro-ohms
// held at 100 ohms: integers in the order of, and exactly equal to, the
// values the record's accessors decode.
inline std::uint32_t SampleCurrentMicroAmps(const std::uint8_t* s)
{
    return ((static_cast<std::uint32_t>(s[1] & 0x0F) << 8) | s[0]) << (s[1] >> 4);
}

constexpr std::uint32_t kResistanceCapMicroOhms = 100000000;  // 100 ohms

inline std::uint32_t SampleResistanceMicroOhms(const std::uint8_t* s)
{
    constexpr std::uint32_t kPowersOfSix[8] = {1, 6, 36, 216, 1296, 7776, 46656, 279936};
    const std::uint32_t value = ((static_cast<std::uint32_t>(s[3] & 0x1F) << 8) | s[2]) * kPowersOfSix[s[3] >> 5];
    return value > kResistanceCapMicroOhms ? kResistanceCapMicroOhms : value;
}

inline std::uint32_t SampleMotorSteps(const std::uint8_t* s)
{
    return (static_cast<std::uint32_t>(s[5] & 0x7F) << 8) | s[4];
}

}  // namespace tkan
