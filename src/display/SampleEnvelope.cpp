#include "display/SampleEnvelope.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

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

std::uint64_t RotateLeft(std::uint64_t v, int bits)
{
    return (v << bits) | (v >> (64 - bits));
}

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

// The columns of a page for one or more quantities of one trace. The
// quantities share the sample bytes, so a sweep over several reads each
// column edge once for all of them.
//
// A column is the whole blocks of the pyramid inside it and the parts of the
// two blocks its ends fall in. The whole blocks come from the pyramid: those
// of the end blocks' own level-L blocks beside the ends, found through each
// end block's siblings on the levels below L, and the level-L blocks between,
// where L is the level whose blocks are about half a column. An end block's
// samples are read only when the block's extremes reach beyond those of the
// rest of the column; on a trace that wavers about a level that is a column
// in ten or so. Neighbouring columns share an end, so each is worked out
// once.
template <SampleQuantity... Qs>
class ColumnSweep {
public:
    static constexpr std::size_t kCount = sizeof...(Qs);
    using Keys = SampleEnvelope::Keys;

    ColumnSweep(const std::uint8_t* samples, std::array<const SampleEnvelope*, kCount> pyramids,
                std::span<const int> bounds)
        : samples(samples), pyramids(pyramids), bounds(bounds), lastSample(pyramids[0]->sampleCount - 1),
          levelStarts(pyramids[0]->levelStarts)
    {
        // Any level gives the same extremes; this one the fewest reads.
        const std::size_t columns = bounds.size() - 1;
        const auto span = static_cast<std::size_t>(std::abs(static_cast<long>(bounds.back()) - bounds.front()));
        const std::size_t average = columns > 0 ? span / columns : 0;
        const auto levels = static_cast<int>(levelStarts.size()) - 1;
        while (sweepLevel + 1 < levels &&
               (static_cast<std::size_t>(SampleEnvelope::kBlockSamples) << (sweepLevel + 1)) <= average / 2)
            ++sweepLevel;
    }

    void Run(std::array<std::span<ValueRange>, kCount> ranges)
    {
        Touch();
        std::array<End, 2> ends;
        End* previous = &ends[0];
        End* next = &ends[1];
        for (std::size_t c = 0; c + 1 < bounds.size(); ++c) {
            int first = std::clamp(bounds[c], 0, lastSample);
            int last = std::clamp(bounds[c + 1], 0, lastSample);
            if (first > last)
                std::swap(first, last);
            const int firstBlock = first / kBlock;
            const int lastBlock = last / kBlock;
            std::array<Keys, kCount> keys;
            keys.fill({kNoLow, kNoHigh});
            if (firstBlock == lastBlock) {
                const int base = firstBlock * kBlock;
                for (int j = 0; j < kBlock; ++j) {
                    // Held within the run: a sample read twice moves no extreme.
                    const auto sample = KeysAt(std::clamp(base + j, first, last));
                    for (std::size_t q = 0; q < kCount; ++q)
                        keys[q] = Join(keys[q], {sample[q], sample[q]});
                }
            } else {
                if (previous->at != first)
                    Prepare(first, *previous);
                Prepare(last, *next);
                const auto firstSweep = static_cast<std::size_t>(firstBlock) >> sweepLevel;
                const auto lastSweep = static_cast<std::size_t>(lastBlock) >> sweepLevel;
                if (firstSweep == lastSweep) {
                    Climb(keys, 0, static_cast<std::size_t>(firstBlock) + 1, static_cast<std::size_t>(lastBlock));
                } else {
                    for (std::size_t q = 0; q < kCount; ++q)
                        keys[q] = Join(previous->sides[q].blocksAfter, next->sides[q].blocksBefore);
                    Climb(keys, static_cast<std::size_t>(sweepLevel), firstSweep + 1, lastSweep);
                }
                if (Reaches(*previous, keys)) {
                    ReadSamples(*previous);
                    for (std::size_t q = 0; q < kCount; ++q)
                        keys[q] = Join(keys[q], previous->sides[q].from);
                }
                if (Reaches(*next, keys)) {
                    ReadSamples(*next);
                    for (std::size_t q = 0; q < kCount; ++q)
                        keys[q] = Join(keys[q], next->sides[q].upTo);
                }
                std::swap(previous, next);
            }
            Store(keys, ranges, c, std::make_index_sequence<kCount>{});
        }
    }

private:
    static constexpr int kBlock = SampleEnvelope::kBlockSamples;

    // One quantity at a column end: the extremes of the end's block, of
    // the whole blocks before and after it inside its level-L block, and,
    // once read, of the block's samples up to and from the end sample.
    struct Side {
        Keys block{kNoLow, kNoHigh};
        Keys blocksBefore{kNoLow, kNoHigh};
        Keys blocksAfter{kNoLow, kNoHigh};
        Keys upTo{kNoLow, kNoHigh};
        Keys from{kNoLow, kNoHigh};
    };
    struct End {
        int at = -1;
        bool samplesRead = false;
        std::array<Side, kCount> sides;
    };

    static Keys Join(Keys a, Keys b) { return {std::min(a.low, b.low), std::max(a.high, b.high)}; }
    static Keys Taken(bool take, Keys keys) { return {Pick(take, keys.low, kNoLow), Pick(take, keys.high, kNoHigh)}; }

    std::array<std::int32_t, kCount> KeysAt(int index) const { return {KeyAt<Qs>(samples, index)...}; }

    template <std::size_t... I>
    static void Store(const std::array<Keys, kCount>& keys, std::array<std::span<ValueRange>, kCount>& ranges,
                      std::size_t c, std::index_sequence<I...>)
    {
        ((ranges[I][c] = {Field<Qs>::Value(keys[I].low), Field<Qs>::Value(keys[I].high)}), ...);
    }

    // Whether the end's block holds a value outside `keys` for any
    // quantity; if not, its samples cannot move the column's extremes.
    static bool Reaches(const End& end, const std::array<Keys, kCount>& keys)
    {
        for (std::size_t q = 0; q < kCount; ++q) {
            if (end.sides[q].block.low < keys[q].low || end.sides[q].block.high > keys[q].high)
                return true;
        }
        return false;
    }

    void Prepare(int at, End& end) const
    {
        end.at = at;
        end.samplesRead = false;
        auto block = static_cast<std::size_t>(at / kBlock);
        for (std::size_t q = 0; q < kCount; ++q)
            end.sides[q] = Side{pyramids[q]->blocks[block]};
        // Up to level L, the sibling of the end's block on each level lies
        // before it (an odd block) or after it (an even one, if the level
        // has a block there).
        for (int k = 0; k < sweepLevel; ++k, block >>= 1) {
            const std::size_t start = levelStarts[static_cast<std::size_t>(k)];
            const std::size_t size = levelStarts[static_cast<std::size_t>(k) + 1] - start;
            const std::size_t sibling = std::min(block ^ 1, size - 1);
            const bool isBefore = block & 1;
            const bool isAfter = !isBefore && (block ^ 1) < size;
            for (std::size_t q = 0; q < kCount; ++q) {
                const Keys other = pyramids[q]->blocks[start + sibling];
                end.sides[q].blocksBefore = Join(end.sides[q].blocksBefore, Taken(isBefore, other));
                end.sides[q].blocksAfter = Join(end.sides[q].blocksAfter, Taken(isAfter, other));
            }
        }
    }

    void ReadSamples(End& end) const
    {
        if (end.samplesRead)
            return;
        end.samplesRead = true;
        // Running extremes from either end of the block, read at the end
        // sample's place.
        const int base = end.at / kBlock * kBlock;
        std::array<std::array<std::int32_t, kCount>, kBlock> sample;
        for (int j = 0; j < kBlock; ++j)
            sample[static_cast<std::size_t>(j)] = KeysAt(std::min(base + j, lastSample));
        const auto place = static_cast<std::size_t>(end.at - base);
        for (std::size_t q = 0; q < kCount; ++q) {
            std::array<Keys, kBlock> before;
            std::array<Keys, kBlock> after;
            before[0] = {sample[0][q], sample[0][q]};
            for (std::size_t j = 1; j < kBlock; ++j)
                before[j] = Join(before[j - 1], {sample[j][q], sample[j][q]});
            after[kBlock - 1] = {sample[kBlock - 1][q], sample[kBlock - 1][q]};
            for (std::size_t j = kBlock - 1; j-- > 0;)
                after[j] = Join(after[j + 1], {sample[j][q], sample[j][q]});
            end.sides[q].upTo = before[place];
            end.sides[q].from = after[place];
        }
    }

    // The whole blocks l..r - 1 of level k and up, for every quantity at
    // once: their pyramids have the same shape, so the walk is shared. The
    // odd block out at either end is taken before the run halves; both ends
    // are read on every level and kept or not by their parity.
    void Climb(std::array<Keys, kCount>& keys, std::size_t k, std::size_t l, std::size_t r) const
    {
        for (; l < r; ++k) {
            const bool takeLeft = l & 1;
            const bool takeRight = r & 1;
            for (std::size_t q = 0; q < kCount; ++q) {
                const Keys* level = pyramids[q]->blocks.data() + levelStarts[k];
                keys[q] = Join(keys[q], Join(Taken(takeLeft, level[l]), Taken(takeRight, level[r - 1])));
            }
            l = (l + takeLeft) >> 1;
            r = (r - takeRight) >> 1;
        }
    }

    // The level-0 blocks at every column end are read first, with nothing
    // waiting on them: the memory fetches overlap, and the sweep finds them
    // cached instead of waiting on each in turn. Columns lie a thousand
    // bytes or more apart, too far for the hardware to guess; the higher
    // levels are read in order and few enough to stay cached.
    void Touch() const
    {
        std::uint32_t sink = 0;
        for (const int bound : bounds) {
            const auto block = static_cast<std::size_t>(std::clamp(bound, 0, lastSample) / kBlock);
            for (const SampleEnvelope* pyramid : pyramids)
                sink += static_cast<std::uint32_t>(pyramid->blocks[block].low);
        }
        asm volatile("" : : "r"(sink));
    }

    const std::uint8_t* samples;
    std::array<const SampleEnvelope*, kCount> pyramids;
    std::span<const int> bounds;
    int lastSample;
    const std::vector<std::size_t>& levelStarts;
    int sweepLevel = 0;
};

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
    if (!Usable(record) || ranges.empty()) {
        std::fill(ranges.begin(), ranges.end(), ValueRange{});
        return;
    }
    bounds = bounds.first(ranges.size() + 1);
    const std::uint8_t* samples = record.trace.samples.data();
    switch (quantity) {
    case SampleQuantity::Resistance:
        ColumnSweep<SampleQuantity::Resistance>(samples, {this}, bounds).Run({ranges});
        break;
    case SampleQuantity::TestCurrent:
        ColumnSweep<SampleQuantity::TestCurrent>(samples, {this}, bounds).Run({ranges});
        break;
    case SampleQuantity::MotorCurrent:
        ColumnSweep<SampleQuantity::MotorCurrent>(samples, {this}, bounds).Run({ranges});
        break;
    }
}

void SampleEnvelope::Ranges(const TestRecord& record, std::span<const int> bounds, const SampleEnvelope& first,
                            std::span<ValueRange> firstRanges, const SampleEnvelope& second,
                            std::span<ValueRange> secondRanges)
{
    const std::size_t columns = bounds.empty() ? 0 : bounds.size() - 1;
    // Pyramids over the same number of samples have the same levels.
    const bool together = first.Usable(record) && second.Usable(record) && first.sampleCount == second.sampleCount &&
                          firstRanges.size() >= columns && secondRanges.size() >= columns && columns > 0;
    using Q = SampleQuantity;
    if (together && second.quantity == Q::MotorCurrent && first.quantity != Q::MotorCurrent) {
        firstRanges = firstRanges.first(columns);
        secondRanges = secondRanges.first(columns);
        const std::uint8_t* samples = record.trace.samples.data();
        if (first.quantity == Q::Resistance)
            ColumnSweep<Q::Resistance, Q::MotorCurrent>(samples, {&first, &second}, bounds)
                .Run({firstRanges, secondRanges});
        else
            ColumnSweep<Q::TestCurrent, Q::MotorCurrent>(samples, {&first, &second}, bounds)
                .Run({firstRanges, secondRanges});
        return;
    }
    first.Ranges(record, bounds, firstRanges);
    second.Ranges(record, bounds, secondRanges);
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
