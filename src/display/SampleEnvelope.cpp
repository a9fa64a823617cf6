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

void Widen(ValueRange& range, double value)
{
    range.low = std::min(range.low, value);
    range.high = std::max(range.high, value);
}

void Widen(ValueRange& range, const ValueRange& other)
{
    range.low = std::min(range.low, other.low);
    range.high = std::max(range.high, other.high);
}

constexpr ValueRange kEmptyRange{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};

std::uint64_t RotateLeft(std::uint64_t v, int bits) { return (v << bits) | (v >> (64 - bits)); }

}  // namespace

double SampleEnvelope::Sample(const TestRecord& record, int index) const
{
    // Callers hold the index within the usable samples.
    const std::uint8_t* s = record.trace.samples.data() + static_cast<std::size_t>(index) * kSampleSize;
    switch (quantity) {
    case SampleQuantity::Resistance: return DecodeSampleResistance(s);
    case SampleQuantity::TestCurrent: return DecodeSampleCurrent(s);
    case SampleQuantity::MotorCurrent: return DecodeSampleMotorCurrent(s);
    }
    return 0;
}

void SampleEnvelope::Build(const TestRecord& record, SampleQuantity what)
{
    quantity = what;
    sampleCount = UsableSamples(record);
    levels.clear();
    if (sampleCount == 0)
        return;

    std::vector<ValueRange> blocks(static_cast<std::size_t>((sampleCount + kBlockSamples - 1) / kBlockSamples), kEmptyRange);
    for (int i = 0; i < sampleCount; ++i)
        Widen(blocks[static_cast<std::size_t>(i / kBlockSamples)], Sample(record, i));
    levels.push_back(std::move(blocks));

    while (levels.back().size() > 1) {
        const std::vector<ValueRange>& below = levels.back();
        std::vector<ValueRange> above((below.size() + 1) / 2, kEmptyRange);
        for (std::size_t j = 0; j < below.size(); ++j)
            Widen(above[j / 2], below[j]);
        levels.push_back(std::move(above));
    }
}

ValueRange SampleEnvelope::Range(const TestRecord& record, int first, int last) const
{
    // A trace that shrank since the pyramid was built is not read past its end.
    if (sampleCount == 0 || record.trace.samples.size() < static_cast<std::size_t>(sampleCount) * kSampleSize)
        return {};
    first = std::clamp(first, 0, sampleCount - 1);
    last = std::clamp(last, 0, sampleCount - 1);
    if (first > last)
        std::swap(first, last);

    // The samples of the part-blocks at either end, decoded in place.
    ValueRange range = kEmptyRange;
    auto widenBySamples = [&](auto decode) {
        const std::uint8_t* base = record.trace.samples.data();
        while (first <= last && first % kBlockSamples != 0)
            Widen(range, decode(base + static_cast<std::size_t>(first++) * kSampleSize));
        while (first <= last && (last + 1) % kBlockSamples != 0)
            Widen(range, decode(base + static_cast<std::size_t>(last--) * kSampleSize));
    };
    switch (quantity) {
    case SampleQuantity::Resistance: widenBySamples(DecodeSampleResistance); break;
    case SampleQuantity::TestCurrent: widenBySamples(DecodeSampleCurrent); break;
    case SampleQuantity::MotorCurrent: widenBySamples(DecodeSampleMotorCurrent); break;
    }
    if (first > last)
        return range;

    // Whole blocks from here: climb the pyramid, taking the odd block out at
    // each end of the run before halving it.
    std::size_t left = static_cast<std::size_t>(first / kBlockSamples);
    std::size_t right = static_cast<std::size_t>(last / kBlockSamples);
    for (std::size_t k = 0; k < levels.size(); ++k) {
        const std::vector<ValueRange>& level = levels[k];
        if (left & 1)
            Widen(range, level[left++]);
        if (left > right)
            break;
        if (!(right & 1)) {
            Widen(range, level[right]);
            if (right == left)
                break;
            --right;
        }
        left >>= 1;
        right >>= 1;
    }
    return range;
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
