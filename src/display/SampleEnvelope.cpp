#include "display/SampleEnvelope.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "records/TestRecord.h"

namespace tkan {

namespace {

// The decoders return 0 for every index of a trace whose block is shorter
// than its count says; the pyramid must agree with them.
int UsableSamples(const TestRecord& record)
{
    const DynamicTrace& trace = record.trace;
    if (trace.sampleCount <= 0 || trace.samples.size() < static_cast<std::size_t>(trace.sampleCount) * kSampleSize)
        return 0;
    return trace.sampleCount;
}

constexpr std::int32_t kNoLow = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kNoHigh = std::numeric_limits<std::int32_t>::min();

// Each quantity's code as an integer that orders as its decoded value does,
// and that value back. Every code's round trip is checked against the
// record's decoders in the tests.
template <SampleQuantity Q>
struct Field;

template <>
struct Field<SampleQuantity::TestCurrent> {
    static constexpr std::size_t kOffset = 0;
    static std::int32_t Key(unsigned code) { return static_cast<std::int32_t>((code & 0x0FFF) << (code >> 12)); }
    static double Value(std::int32_t key) { return static_cast<double>(static_cast<unsigned>(key)) / 1000000.0; }
};

template <>
struct Field<SampleQuantity::Resistance> {
    static constexpr std::size_t kOffset = 2;
    static constexpr std::uint32_t kPowersOfSix[8] = {1, 6, 36, 216, 1296, 7776, 46656, 279936};
    static constexpr std::uint32_t kCap = 100000000;  // 100 ohms
    // The largest product, 8191 x 6^7, still fits 32 bits unsigned.
    static std::int32_t Key(unsigned code)
    {
        return static_cast<std::int32_t>(std::min((code & 0x1FFF) * kPowersOfSix[code >> 13], kCap));
    }
    static double Value(std::int32_t key) { return static_cast<double>(key); }
};

template <>
struct Field<SampleQuantity::MotorCurrent> {
    static constexpr std::size_t kOffset = 4;
    static std::int32_t Key(unsigned code)
    {
        const auto magnitude = static_cast<std::int32_t>(code & 0x7FFF);
        return (code & 0x8000) ? -magnitude : magnitude;
    }
    static double Value(std::int32_t key)
    {
        const double value = static_cast<unsigned>(key < 0 ? -key : key) * 0.0138;
        return key < 0 ? -value : value;
    }
};

// `value` when `take`, else `otherwise`, in bit operations: the compiler
// turns a plain condition back into a branch, and these conditions go
// either way at random.
std::int32_t Pick(bool take, std::int32_t value, std::int32_t otherwise)
{
    const std::uint32_t mask = 0u - static_cast<std::uint32_t>(take);
    const auto v = static_cast<std::uint32_t>(value);
    const auto o = static_cast<std::uint32_t>(otherwise);
    return static_cast<std::int32_t>(o ^ ((v ^ o) & mask));
}

template <SampleQuantity Q>
std::int32_t KeyAt(const std::uint8_t* samples, int index)
{
    const std::uint8_t* s = samples + static_cast<std::size_t>(index) * kSampleSize + Field<Q>::kOffset;
    return Field<Q>::Key(static_cast<unsigned>(s[0]) | (static_cast<unsigned>(s[1]) << 8));
}

std::uint64_t RotateLeft(std::uint64_t v, int bits) { return (v << bits) | (v >> (64 - bits)); }

}  // namespace

bool SampleEnvelope::Usable(const TestRecord& record) const
{
    // A trace that shrank since the pyramid was built is not read past its end.
    return sampleCount > 0 && record.trace.samples.size() >= static_cast<std::size_t>(sampleCount) * kSampleSize;
}

void SampleEnvelope::Build(const TestRecord& record, SampleQuantity what)
{
    quantity = what;
    sampleCount = UsableSamples(record);
    blocks.clear();
    levelStarts.clear();
    if (sampleCount == 0)
        return;
    const std::uint8_t* samples = record.trace.samples.data();
    switch (quantity) {
    case SampleQuantity::Resistance: BuildFor<SampleQuantity::Resistance>(samples); break;
    case SampleQuantity::TestCurrent: BuildFor<SampleQuantity::TestCurrent>(samples); break;
    case SampleQuantity::MotorCurrent: BuildFor<SampleQuantity::MotorCurrent>(samples); break;
    }
}

template <SampleQuantity Q>
void SampleEnvelope::BuildFor(const std::uint8_t* samples)
{
    // levelStarts ends with the total, so every level's size is the gap to
    // the next start.
    const auto firstLevel = static_cast<std::size_t>((sampleCount + kBlockSamples - 1) / kBlockSamples);
    std::size_t total = 0;
    for (std::size_t size = firstLevel;; size = (size + 1) / 2) {
        levelStarts.push_back(total);
        total += size;
        if (size == 1)
            break;
    }
    levelStarts.push_back(total);
    blocks.resize(total);

    for (std::size_t j = 0; j < firstLevel; ++j) {
        const int begin = static_cast<int>(j) * kBlockSamples;
        const int end = std::min(begin + kBlockSamples, sampleCount);
        Keys keys{kNoLow, kNoHigh};
        for (int i = begin; i < end; ++i) {
            const std::int32_t key = KeyAt<Q>(samples, i);
            keys.low = std::min(keys.low, key);
            keys.high = std::max(keys.high, key);
        }
        blocks[j] = keys;
    }

    for (std::size_t k = 0; k + 2 < levelStarts.size(); ++k) {
        const Keys* below = blocks.data() + levelStarts[k];
        const std::size_t belowSize = levelStarts[k + 1] - levelStarts[k];
        Keys* above = blocks.data() + levelStarts[k + 1];
        for (std::size_t j = 0; 2 * j < belowSize; ++j) {
            const Keys& a = below[2 * j];
            const Keys& b = 2 * j + 1 < belowSize ? below[2 * j + 1] : a;
            above[j] = {std::min(a.low, b.low), std::max(a.high, b.high)};
        }
    }
}

SampleEnvelope::Keys SampleEnvelope::Climb(Keys keys, std::size_t l, std::size_t r) const
{
    // [l, r) of each level: the odd block out at either end is taken before
    // the run halves. Both ends are read on every level and kept or not by
    // their parity.
    for (std::size_t k = 0; l < r; ++k) {
        const Keys* level = blocks.data() + levelStarts[k];
        const Keys left = level[l];
        const Keys right = level[r - 1];
        const bool takeLeft = l & 1;
        const bool takeRight = r & 1;
        keys.low = std::min(keys.low, Pick(takeLeft, left.low, kNoLow));
        keys.high = std::max(keys.high, Pick(takeLeft, left.high, kNoHigh));
        keys.low = std::min(keys.low, Pick(takeRight, right.low, kNoLow));
        keys.high = std::max(keys.high, Pick(takeRight, right.high, kNoHigh));
        l = (l + takeLeft) >> 1;
        r = (r - takeRight) >> 1;
    }
    return keys;
}

template <SampleQuantity Q>
void SampleEnvelope::RangesFor(const std::uint8_t* samples, std::span<const int> bounds,
                               std::span<ValueRange> ranges) const
{
    // The extremes of a block's samples up to and from one of them, both
    // with that sample. Every sample of the block is read and counted by its
    // place, which costs less than the missed branches of a loop that stops
    // at the sample; an index past the trace reads its last sample, which
    // lies on the `from` side.
    struct Split {
        int at = -1;
        Keys upTo{kNoLow, kNoHigh};
        Keys from{kNoLow, kNoHigh};
    };
    const int lastSample = sampleCount - 1;
    auto split = [&](int at) {
        Split parts;
        parts.at = at;
        const int base = at / kBlockSamples * kBlockSamples;
        for (int j = 0; j < kBlockSamples; ++j) {
            const int i = std::min(base + j, lastSample);
            const std::int32_t key = KeyAt<Q>(samples, i);
            parts.upTo.low = std::min(parts.upTo.low, Pick(i <= at, key, kNoLow));
            parts.upTo.high = std::max(parts.upTo.high, Pick(i <= at, key, kNoHigh));
            parts.from.low = std::min(parts.from.low, Pick(i >= at, key, kNoLow));
            parts.from.high = std::max(parts.from.high, Pick(i >= at, key, kNoHigh));
        }
        return parts;
    };

    // A column reads a block of samples and the lowest levels near each of
    // its ends; neighbouring columns lie a thousand bytes or more apart, too
    // far for the hardware to guess, so the reads of a column a few ahead
    // are started by hand.
    constexpr std::size_t kAhead = 16;
    auto prefetch = [&](int index) {
        const int block = std::clamp(index, 0, lastSample) / kBlockSamples;
        const std::uint8_t* s = samples + static_cast<std::size_t>(block) * kBlockSamples * kSampleSize;
        __builtin_prefetch(s);
        __builtin_prefetch(s + kBlockSamples * kSampleSize - 1);
        __builtin_prefetch(blocks.data() + block);
        if (levelStarts.size() > 2)
            __builtin_prefetch(blocks.data() + levelStarts[1] + block / 2);
    };

    // Each column ends on the sample the next one starts on, so on a page
    // the block there is split once for both.
    Split previous;
    for (std::size_t c = 0; c < ranges.size(); ++c) {
        if (c + kAhead < bounds.size())
            prefetch(bounds[c + kAhead]);
        int first = std::clamp(bounds[c], 0, lastSample);
        int last = std::clamp(bounds[c + 1], 0, lastSample);
        if (first > last)
            std::swap(first, last);
        const int firstBlock = first / kBlockSamples;
        const int lastBlock = last / kBlockSamples;
        Keys keys{kNoLow, kNoHigh};
        if (firstBlock == lastBlock) {
            const int base = firstBlock * kBlockSamples;
            for (int j = 0; j < kBlockSamples; ++j) {
                // Held within the run: a sample read twice moves no extreme.
                const std::int32_t key = KeyAt<Q>(samples, std::clamp(base + j, first, last));
                keys.low = std::min(keys.low, key);
                keys.high = std::max(keys.high, key);
            }
        } else {
            const Split left = previous.at == first ? previous : split(first);
            const Split right = split(last);
            keys = {std::min(left.from.low, right.upTo.low), std::max(left.from.high, right.upTo.high)};
            keys = Climb(keys, static_cast<std::size_t>(firstBlock) + 1, static_cast<std::size_t>(lastBlock));
            previous = right;
        }
        ranges[c] = {Field<Q>::Value(keys.low), Field<Q>::Value(keys.high)};
    }
}

ValueRange SampleEnvelope::Range(const TestRecord& record, int first, int last) const
{
    ValueRange range;
    const int bounds[2] = {first, last};
    Ranges(record, bounds, std::span<ValueRange>(&range, 1));
    return range;
}

void SampleEnvelope::Ranges(const TestRecord& record, std::span<const int> bounds, std::span<ValueRange> ranges) const
{
    if (bounds.size() <= ranges.size())
        ranges = ranges.first(bounds.empty() ? 0 : bounds.size() - 1);
    if (!Usable(record)) {
        std::fill(ranges.begin(), ranges.end(), ValueRange{});
        return;
    }
    const std::uint8_t* samples = record.trace.samples.data();
    switch (quantity) {
    case SampleQuantity::Resistance: RangesFor<SampleQuantity::Resistance>(samples, bounds, ranges); break;
    case SampleQuantity::TestCurrent: RangesFor<SampleQuantity::TestCurrent>(samples, bounds, ranges); break;
    case SampleQuantity::MotorCurrent: RangesFor<SampleQuantity::MotorCurrent>(samples, bounds, ranges); break;
    }
}

std::uint64_t SampleFingerprint(const std::uint8_t* data, std::size_t bytes)
{
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    std::uint64_t lanes[4] = {0x243F6A8885A308D3ull, 0x13198A2E03707344ull, 0xA4093822299F31D0ull,
                              0x082EFA98EC4E6C89ull};
    std::size_t i = 0;
    // Four independent lanes keep the multiplier busy instead of waiting on
    // one long dependency chain.
    for (; i + 32 <= bytes; i += 32) {
        for (int lane = 0; lane < 4; ++lane) {
            std::uint64_t word;
            std::memcpy(&word, data + i + 8 * lane, 8);
            lanes[lane] = RotateLeft((lanes[lane] ^ word) * kMultiplier, 29);
        }
    }
    std::uint64_t hash = bytes;
    for (std::uint64_t lane : lanes)
        hash = RotateLeft((hash ^ lane) * kMultiplier, 31);
    for (; i < bytes; ++i)
        hash = (hash ^ data[i]) * kMultiplier;
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    return hash;
}

SampleEnvelopeCache::Entry& SampleEnvelopeCache::EntryFor(const TestRecord& record)
{
    Entry* oldest = &entries[0];
    for (Entry& entry : entries) {
        if (entry.record == &record) {
            entry.lastUse = ++useCounter;
            return entry;
        }
        if (entry.lastUse < oldest->lastUse)
            oldest = &entry;
    }
    *oldest = Entry{};
    oldest->record = &record;
    oldest->lastUse = ++useCounter;
    return *oldest;
}

void SampleEnvelopeCache::Refresh(const TestRecord& record)
{
    Entry& entry = EntryFor(record);
    const std::vector<std::uint8_t>& samples = record.trace.samples;
    const bool sameBuffer = entry.known && entry.data == samples.data() && entry.bytes == samples.size() &&
                            entry.sampleCount == record.trace.sampleCount;
    // A trace the loaders filled says by its revision whether it changed;
    // any other trace is read in full.
    const std::uint64_t revision = record.trace.revision;
    if (sameBuffer && revision != 0 && entry.revision == revision)
        return;
    std::uint64_t fingerprint = SampleFingerprint(samples.data(), samples.size());
    if (sameBuffer && revision == 0 && entry.revision == 0 && entry.fingerprint == fingerprint)
        return;
    entry.known = true;
    entry.data = samples.data();
    entry.bytes = samples.size();
    entry.sampleCount = record.trace.sampleCount;
    entry.revision = revision;
    entry.fingerprint = fingerprint;
    entry.built = {};
    entry.envelopes = {};
}

const SampleEnvelope& SampleEnvelopeCache::For(const TestRecord& record, SampleQuantity quantity)
{
    Entry& entry = EntryFor(record);
    if (!entry.known)
        Refresh(record);
    auto slot = static_cast<std::size_t>(quantity);
    if (!entry.built[slot]) {
        entry.envelopes[slot].Build(record, quantity);
        entry.built[slot] = true;
    }
    return entry.envelopes[slot];
}

void SampleEnvelopeCache::Clear()
{
    entries = {};
    useCounter = 0;
}

}  // namespace tkan
