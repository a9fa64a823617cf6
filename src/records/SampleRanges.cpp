#include "records/SampleRanges.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TKAN_SAMPLE_SCAN_AVX2 1
#include <immintrin.h>
#endif

namespace tkan {

namespace {

constexpr std::size_t kBytesPerSample = 6;

// Each field reduced to an integer that orders the samples exactly as their
// decoded values do and turns into that value without loss: the test
// current in micro-amperes, the resistance in micro-ohms already capped, the
// motor current as its signed count of 13.8-mA steps. Comparing integers is
// what makes a single cheap pass possible.
struct Keys {
    std::uint32_t currentMin = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t currentMax = 0;
    std::uint32_t resistanceMin = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t resistanceMax = 0;
    std::int32_t motorMin = std::numeric_limits<std::int32_t>::max();
    std::int32_t motorMax = std::numeric_limits<std::int32_t>::min();
};

void ScanPortable(const std::uint8_t* p, std::size_t count, Keys& k)
{
    for (const std::uint8_t* end = p + count * kBytesPerSample; p != end; p += kBytesPerSample) {
        std::uint32_t motorWord = p[4] | static_cast<std::uint32_t>(p[5]) << 8;
        std::uint32_t current = SampleCurrentMicroAmps(p);
        std::uint32_t resistance = SampleResistanceMicroOhms(p);
        // Sign and magnitude to two's complement without a branch.
        std::int32_t negative = static_cast<std::int32_t>(motorWord >> 15);
        std::int32_t motor = (static_cast<std::int32_t>(motorWord & 0x7FFF) ^ -negative) + negative;

        k.currentMin = std::min(k.currentMin, current);
        k.currentMax = std::max(k.currentMax, current);
        k.resistanceMin = std::min(k.resistanceMin, resistance);
        k.resistanceMax = std::max(k.resistanceMax, resistance);
        k.motorMin = std::min(k.motorMin, motor);
        k.motorMax = std::max(k.motorMax, motor);
    }
}

// Blocks from `firstBlock` on, one sample at a time.
void ScanBlocksPortable(const std::uint8_t* samples, std::size_t count, std::size_t firstBlock, CurrentBlocks& out)
{
    for (std::size_t b = firstBlock; b * kCurrentBlock < count; ++b) {
        const std::size_t end = std::min(count, (b + 1) * kCurrentBlock);
        std::uint32_t low = std::numeric_limits<std::uint32_t>::max(), high = 0;
        for (std::size_t i = b * kCurrentBlock; i < end; ++i) {
            const std::uint8_t* s = samples + i * kBytesPerSample;
            const std::uint32_t current = SampleCurrentMicroAmps(s);
            low = std::min(low, current);
            high = std::max(high, current);
            out.motorLargest = std::max(out.motorLargest, SampleMotorSteps(s));
        }
        out.low[b] = low;
        out.high[b] = high;
    }
}

#ifdef TKAN_SAMPLE_SCAN_AVX2

// Eight samples at a time in single-precision lanes. Every key is exact in a
// float: the current is a 12-bit mantissa times a power of two, the motor
// count has 15 bits, and a resistance below the cap is a 13-bit mantissa
// times 3^e (below 2^24 for every exponent that can stay under the cap)
// times 2^e. A resistance the float cannot hold exactly is far above the
// cap, so its rounding never shows.
//
// Returns the number of samples it covered; the caller scans the rest.
__attribute__((target("avx2"))) std::size_t ScanAvx2(const std::uint8_t* samples, std::size_t count, Keys& k)
{
    constexpr std::size_t kLanes = 8;
    // A block is read as four 16-byte loads of two samples each, the last
    // one reaching 4 bytes into the next sample: there must be one.
    if (count <= kLanes)
        return 0;

    // From two samples c0 r0 m0 c1 r1 m1 in a 128-bit half: the words
    // c0 c1 r0 r1 widened to 32 bits, and m0 m1 in the first or second
    // pair of 32-bit places.
    const __m256i pickCurrentResistance = _mm256_setr_epi8(0, 1, -1, -1, 6, 7, -1, -1, 2, 3, -1, -1, 8, 9, -1, -1, 0, 1,
                                                           -1, -1, 6, 7, -1, -1, 2, 3, -1, -1, 8, 9, -1, -1);
    const __m256i pickMotorLow = _mm256_setr_epi8(4, 5, -1, -1, 10, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 4, 5,
                                                  -1, -1, 10, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i pickMotorHigh = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 4, 5, -1, -1, 10, 11, -1, -1, -1, -1,
                                                   -1, -1, -1, -1, -1, -1, 4, 5, -1, -1, 10, 11, -1, -1);
    const __m256 powersOfSix = _mm256_setr_ps(1, 6, 36, 216, 1296, 7776, 46656, 279936);
    const __m256i currentMantissa = _mm256_set1_epi32(0x0FFF);
    const __m256i currentExponent = _mm256_set1_epi32(0xF << 23);
    const __m256i resistanceMantissa = _mm256_set1_epi32(0x1FFF);
    const __m256i motorMagnitude = _mm256_set1_epi32(0x7FFF);
    const __m256i signBit = _mm256_set1_epi32(static_cast<int>(0x80000000u));

    const float inf = std::numeric_limits<float>::infinity();
    __m256 currentMin = _mm256_set1_ps(inf), currentMax = _mm256_set1_ps(-inf);
    __m256 resistanceMin = currentMin, resistanceMax = currentMax;
    __m256 motorMin = currentMin, motorMax = currentMax;

    std::size_t done = 0;
    for (; done + kLanes < count; done += kLanes) {
        const std::uint8_t* p = samples + done * kBytesPerSample;
        auto load = [](const std::uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); };
        // Samples 0 1 | 4 5 and 2 3 | 6 7, so that each 128-bit half ends up
        // with four consecutive samples.
        __m256i first = _mm256_inserti128_si256(_mm256_castsi128_si256(load(p)), load(p + 24), 1);
        __m256i second = _mm256_inserti128_si256(_mm256_castsi128_si256(load(p + 12)), load(p + 36), 1);
        __m256i firstWords = _mm256_shuffle_epi8(first, pickCurrentResistance);
        __m256i secondWords = _mm256_shuffle_epi8(second, pickCurrentResistance);
        __m256i current = _mm256_unpacklo_epi64(firstWords, secondWords);
        __m256i resistance = _mm256_unpackhi_epi64(firstWords, secondWords);
        __m256i motor =
            _mm256_or_si256(_mm256_shuffle_epi8(first, pickMotorLow), _mm256_shuffle_epi8(second, pickMotorHigh));

        // mantissa x 2^exponent: the exponent added into the float's
        // exponent field. A zero mantissa comes out as a tiny number instead
        // of 0, below every true value and truncated to 0 at the end.
        __m256i currentBits =
            _mm256_add_epi32(_mm256_castps_si256(_mm256_cvtepi32_ps(_mm256_and_si256(current, currentMantissa))),
                             _mm256_and_si256(_mm256_slli_epi32(current, 11), currentExponent));
        __m256 currentValue = _mm256_castsi256_ps(currentBits);

        // Capped only after the scan: capping commutes with min and max.
        __m256 sixToThe = _mm256_permutevar8x32_ps(powersOfSix, _mm256_srli_epi32(resistance, 13));
        __m256 resistanceValue =
            _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_and_si256(resistance, resistanceMantissa)), sixToThe);

        // The magnitude with the sign bit put on; -0 and +0 both end as 0.
        __m256 motorValue = _mm256_or_ps(_mm256_cvtepi32_ps(_mm256_and_si256(motor, motorMagnitude)),
                                         _mm256_castsi256_ps(_mm256_and_si256(_mm256_slli_epi32(motor, 16), signBit)));

        currentMin = _mm256_min_ps(currentMin, currentValue);
        currentMax = _mm256_max_ps(currentMax, currentValue);
        resistanceMin = _mm256_min_ps(resistanceMin, resistanceValue);
        resistanceMax = _mm256_max_ps(resistanceMax, resistanceValue);
        motorMin = _mm256_min_ps(motorMin, motorValue);
        motorMax = _mm256_max_ps(motorMax, motorValue);
    }

    const __m256 cap = _mm256_set1_ps(static_cast<float>(kResistanceCapMicroOhms));
    alignas(32) float lanes[6][kLanes];
    _mm256_store_ps(lanes[0], currentMin);
    _mm256_store_ps(lanes[1], currentMax);
    _mm256_store_ps(lanes[2], _mm256_min_ps(resistanceMin, cap));
    _mm256_store_ps(lanes[3], _mm256_min_ps(resistanceMax, cap));
    _mm256_store_ps(lanes[4], motorMin);
    _mm256_store_ps(lanes[5], motorMax);
    for (std::size_t i = 0; i < kLanes; ++i) {
        k.currentMin = std::min(k.currentMin, static_cast<std::uint32_t>(lanes[0][i]));
        k.currentMax = std::max(k.currentMax, static_cast<std::uint32_t>(lanes[1][i]));
        k.resistanceMin = std::min(k.resistanceMin, static_cast<std::uint32_t>(lanes[2][i]));
        k.resistanceMax = std::max(k.resistanceMax, static_cast<std::uint32_t>(lanes[3][i]));
        k.motorMin = std::min(k.motorMin, static_cast<std::int32_t>(lanes[4][i]));
        k.motorMax = std::max(k.motorMax, static_cast<std::int32_t>(lanes[5][i]));
    }
    return done;
}

// Eight samples' test currents in micro-amperes, read as the range scan
// reads them; their motor steps folded into `motor`.
__attribute__((target("avx2"), always_inline)) inline __m256i EightCurrents(const std::uint8_t* p, __m256i& motor)
{
    // From two samples c0 r0 m0 c1 r1 m1 in a 128-bit half: c0 c1 m0 m1,
    // each widened to 32 bits.
    const __m256i pickCurrentMotor = _mm256_setr_epi8(0, 1, -1, -1, 6, 7, -1, -1, 4, 5, -1, -1, 10, 11, -1, -1, 0, 1,
                                                      -1, -1, 6, 7, -1, -1, 4, 5, -1, -1, 10, 11, -1, -1);
    const __m256i first = _mm256_shuffle_epi8(
        _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 24), reinterpret_cast<const __m128i*>(p)),
        pickCurrentMotor);
    const __m256i second = _mm256_shuffle_epi8(
        _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 36), reinterpret_cast<const __m128i*>(p + 12)),
        pickCurrentMotor);
    const __m256i current = _mm256_unpacklo_epi64(first, second);
    motor = _mm256_max_epu32(motor, _mm256_and_si256(_mm256_unpackhi_epi64(first, second), _mm256_set1_epi32(0x7FFF)));
    return _mm256_sllv_epi32(_mm256_and_si256(current, _mm256_set1_epi32(0x0FFF)), _mm256_srli_epi32(current, 12));
}

// Whole blocks as runs of eight. Returns the number of blocks done; every
// one of them has a sample after it, which the last load reaches into.
__attribute__((target("avx2"))) std::size_t ScanBlocksAvx2(const std::uint8_t* samples, std::size_t count,
                                                           CurrentBlocks& out)
{
    static_assert(kCurrentBlock % 8 == 0);
    __m256i motor = _mm256_setzero_si256();
    std::size_t b = 0;
    for (; (b + 1) * kCurrentBlock < count; ++b) {
        const std::uint8_t* p = samples + b * kCurrentBlock * kBytesPerSample;
        __m256i low = EightCurrents(p, motor);
        __m256i high = low;
        for (std::size_t run = 1; run < kCurrentBlock / 8; ++run) {
            const __m256i next = EightCurrents(p + run * 8 * kBytesPerSample, motor);
            low = _mm256_min_epu32(low, next);
            high = _mm256_max_epu32(high, next);
        }
        // Folded down to one lane each.
        __m128i lows = _mm_min_epu32(_mm256_castsi256_si128(low), _mm256_extracti128_si256(low, 1));
        __m128i highs = _mm_max_epu32(_mm256_castsi256_si128(high), _mm256_extracti128_si256(high, 1));
        lows = _mm_min_epu32(lows, _mm_shuffle_epi32(lows, 0x4E));
        highs = _mm_max_epu32(highs, _mm_shuffle_epi32(highs, 0x4E));
        lows = _mm_min_epu32(lows, _mm_shuffle_epi32(lows, 0xB1));
        highs = _mm_max_epu32(highs, _mm_shuffle_epi32(highs, 0xB1));
        out.low[b] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(lows));
        out.high[b] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(highs));
    }
    alignas(32) std::uint32_t lanes[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), motor);
    for (std::uint32_t lane : lanes)
        out.motorLargest = std::max(out.motorLargest, lane);
    return b;
}

bool HaveAvx2()
{
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}

#endif

double MotorCurrent(std::int32_t steps)
{
    double value = static_cast<double>(steps < 0 ? -steps : steps) * 0.0138;
    return steps < 0 ? -value : value;
}

// A zero motor current keeps its sign bit (-0.0 for a negative zero), and the
// first zero met is the one that stays. When a range ends at zero, that
// sample's sign decides.
double FirstZeroMotorCurrent(const std::uint8_t* p, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i, p += kBytesPerSample) {
        if (p[4] == 0 && (p[5] & 0x7F) == 0)
            return (p[5] & 0x80) ? -0.0 : 0.0;
    }
    return 0.0;
}

SampleRanges ToRanges(const Keys& k, const std::uint8_t* samples, std::size_t count)
{
    SampleRanges r;
    if (count == 0)
        return r;
    r.currentMin = static_cast<double>(k.currentMin) / 1000000.0;
    r.currentMax = static_cast<double>(k.currentMax) / 1000000.0;
    r.resistanceMin = static_cast<double>(k.resistanceMin);
    r.resistanceMax = static_cast<double>(k.resistanceMax);
    r.motorCurrentMin = k.motorMin == 0 ? FirstZeroMotorCurrent(samples, count) : MotorCurrent(k.motorMin);
    r.motorCurrentMax = k.motorMax == 0 ? FirstZeroMotorCurrent(samples, count) : MotorCurrent(k.motorMax);
    return r;
}

}  // namespace

SampleRanges ScanSampleRangesPortable(const std::uint8_t* samples, std::size_t count)
{
    Keys keys;
    ScanPortable(samples, count, keys);
    return ToRanges(keys, samples, count);
}

SampleRanges ScanSampleRanges(const std::uint8_t* samples, std::size_t count)
{
    Keys keys;
    std::size_t done = 0;
#ifdef TKAN_SAMPLE_SCAN_AVX2
    if (HaveAvx2())
        done = ScanAvx2(samples, count, keys);
#endif
    ScanPortable(samples + done * kBytesPerSample, count - done, keys);
    return ToRanges(keys, samples, count);
}

namespace {

CurrentBlocks SizedBlocks(std::size_t count)
{
    CurrentBlocks out;
    const std::size_t blocks = (count + kCurrentBlock - 1) / kCurrentBlock;
    out.low.resize(blocks);
    out.high.resize(blocks);
    return out;
}

}  // namespace

CurrentBlocks ScanCurrentBlocksPortable(const std::uint8_t* samples, std::size_t count)
{
    CurrentBlocks out = SizedBlocks(count);
    ScanBlocksPortable(samples, count, 0, out);
    return out;
}

CurrentBlocks ScanCurrentBlocks(const std::uint8_t* samples, std::size_t count)
{
    CurrentBlocks out = SizedBlocks(count);
    std::size_t done = 0;
#ifdef TKAN_SAMPLE_SCAN_AVX2
    if (HaveAvx2())
        done = ScanBlocksAvx2(samples, count, out);
#endif
    ScanBlocksPortable(samples, count, done, out);
    return out;
}

}  // namespace tkan
