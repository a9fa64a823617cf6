#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tkan {

class TestRecord;

enum class SampleQuantity { Resistance, TestCurrent, MotorCurrent };

template <SampleQuantity... Qs>
class ColumnSweep;

struct ValueRange {
    double low = 0;
    double high = 0;
};

// Minimum and maximum of one quantity of one trace over any run of samples,
// from a pyramid of block extremes: a query reads a few blocks per level, and
// the samples of the block at either end only when that block reaches beyond
// the rest of the run, so a redraw costs the plot width times the pyramid's
// depth, not the number of samples.
//
// Samples are compared by their integer code values (micro-ohms,
// micro-amperes, signed steps of the motor current), which order exactly as
// the decoded values do: integer compares and half the memory of doubles,
// and a page touches six pyramids while it also writes a large image.
class SampleEnvelope {
public:
    static constexpr int kBlockSamples = 8;

    void Build(const TestRecord& record, SampleQuantity quantity);

    // Extremes over samples first..last inclusive, indexes held within the
    // trace; both 0 for a trace without samples.
    ValueRange Range(const TestRecord& record, int first, int last) const;

    // ranges[i] = Range(record, bounds[i], bounds[i + 1]) for every i below
    // ranges.size(); bounds must hold one more entry. A page's columns in one
    // call, so that the memory reads of neighbouring columns overlap.
    void Ranges(const TestRecord& record, std::span<const int> bounds, std::span<ValueRange> ranges) const;

    // The columns of two pyramids of one record in one sweep, as two calls
    // of the above would give them: their quantities share the samples'
    // bytes, so each column edge is read once for both.
    static void Ranges(const TestRecord& record, std::span<const int> bounds, const SampleEnvelope& first,
                       std::span<ValueRange> firstRanges, const SampleEnvelope& second,
                       std::span<ValueRange> secondRanges);

    int SampleCount() const { return sampleCount; }

private:
    // The smallest and largest code value of a block.
    struct Keys {
        std::int32_t low;
        std::int32_t high;
    };

    bool Usable(const TestRecord& record) const;
    template <SampleQuantity Q>
    void BuildFor(const std::uint8_t* samples);
    template <SampleQuantity... Qs>
    friend class ColumnSweep;

    SampleQuantity quantity = SampleQuantity::Resistance;
    int sampleCount = 0;
    // All levels end to end, level 0 first. Level 0 entry j covers samples
    // j x 8 .. j x 8 + 7; entry j of level k + 1 covers entries 2j and
    // 2j + 1 of level k.
    std::vector<Keys> blocks;
    std::vector<std::size_t> levelStarts;
};

// The pyramids of the records drawn lately, each quantity built on first
// use. A record is known again by its address and the exact content of its
// samples (its revision, or a digest of the bytes when it has none), so a
// record reloaded in place never shows its old trace.
class SampleEnvelopeCache {
public:
    // Checks the record's samples against what was cached for it and
    // forgets the pyramids when they changed: by revision for a trace the
    // loaders filled, by a full pass over the bytes otherwise. Run once per
    // page or mouse event, not per column.
    void Refresh(const TestRecord& record);
    // The pyramid of a refreshed record, built on first use.
    const SampleEnvelope& For(const TestRecord& record, SampleQuantity quantity);
    void Clear();

private:
    struct Entry {
        const TestRecord* record = nullptr;
        bool known = false;  // the key below has been taken
        const std::uint8_t* data = nullptr;
        std::size_t bytes = 0;
        int sampleCount = 0;
        std::uint64_t revision = 0;
        std::uint64_t fingerprint = 0;
        std::uint64_t lastUse = 0;
        std::array<bool, 3> built{};
        std::array<SampleEnvelope, 3> envelopes;
    };

    Entry& EntryFor(const TestRecord& record);

    static constexpr int kEntries = 4;
    std::array<Entry, kEntries> entries;
    std::uint64_t useCounter = 0;
};

// A 64-bit digest of a byte run, fast enough to run over a whole trace on
// every redraw.
std::uint64_t SampleFingerprint(const std::uint8_t* data, std::size_t bytes);

}  // namespace tkan
