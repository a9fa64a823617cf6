#include "analysis/Transitions.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <type_traits>

#include "records/SampleRanges.h"
#include "records/TestRecord.h"
#include "settings/AppInfo.h"

namespace tkan {

namespace {

// Windows of the detection, in milliseconds.
constexpr double kBaseWindowMs = 200;  // the base current, and each resistance
constexpr double kHoldMs = 20;         // how long a recovery must hold
constexpr double kLongestMs = 1000;    // a transition ends after this at the latest
constexpr double kSettleMs = 100;      // before the resistance after is read
constexpr double kOpenCircuitShare = 0.10;
constexpr double kMotorRunShare = 0.10;
constexpr double kStandOutFactor = 3;

int Samples(double ms, int rate)
{
    return std::max(1, static_cast<int>(std::lround(ms * rate / 1000.0)));
}

// Where a run of integers lies: their extremes, and the bits in which any
// two of them differ.
struct Spread {
    std::uint32_t lowest = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t highest = 0;
    std::uint32_t grid = 0;
};

// The two middle values of integers (`lower` the one below the middle of
// an even count), found by counting: a steady signal takes only a few
// values, all on one grid of some power of two (a current's exponent). False
// when the values spread over too many steps of their grid for that.
bool CountedMiddle(const std::vector<std::uint32_t>& values, const Spread& spread, std::uint32_t& lower,
                   std::uint32_t& upper)
{
    constexpr std::size_t kSteps = 256;
    const std::uint32_t lowest = spread.lowest;
    const int shift = spread.grid == 0 ? 0 : std::countr_zero(spread.grid);
    if (values.empty() || values.size() > 0xFFFF || ((spread.highest - lowest) >> shift) >= kSteps)
        return false;
    // Four tables taken in turn, so that a run of equal values does not
    // wait on its own count. Only the steps in use are cleared.
    const std::size_t steps = ((spread.highest - lowest) >> shift) + 1;
    std::array<std::array<std::uint16_t, kSteps>, 4> counts;
    for (auto& table : counts)
        std::fill_n(table.begin(), steps, std::uint16_t{0});
    const std::size_t n = values.size();
    for (std::size_t k = 0; k < n; ++k)
        ++counts[k % 4][(values[k] - lowest) >> shift];
    const std::size_t half = n / 2;
    std::size_t seen = 0;
    bool haveLower = n % 2 != 0;  // an odd count has no lower middle
    for (std::size_t step = 0; step < steps; ++step) {
        seen += static_cast<std::size_t>(counts[0][step]) + counts[1][step] + counts[2][step] + counts[3][step];
        const std::uint32_t value = lowest + (static_cast<std::uint32_t>(step) << shift);
        if (!haveLower && seen >= half) {
            lower = value;
            haveLower = true;
        }
        if (seen > half) {
            upper = value;
            return true;
        }
    }
    return false;
}

// The median of `values` (the mean of the middle two for an even count),
// each value turned into its measure by `scale`; reorders them. Absent for
// none. Integers whose spread is given may be counted instead.
template <class Raw, class Scale>
std::optional<double> Median(std::vector<Raw>& values, Scale scale, const Spread* spread = nullptr)
{
    if (values.empty())
        return std::nullopt;
    const std::size_t half = values.size() / 2;
    Raw lower{}, upper{};
    bool counted = false;
    if constexpr (std::is_same_v<Raw, std::uint32_t>)
        counted = spread && CountedMiddle(values, *spread, lower, upper);
    if (!counted) {
        std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(half), values.end());
        upper = values[half];
        if (values.size() % 2 == 0)
            lower = *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(half));
    }
    if (values.size() % 2 != 0)
        return scale(upper);
    return (scale(lower) + scale(upper)) / 2;
}

// Per block of kCurrentBlock samples, the smallest and largest current as a
// source's raw values, and the largest motor-current magnitude.
struct SpanBlocks {
    std::vector<double> low, high;
    double motorLargest = 0;
};

// The three signals of spans given by the caller. Raw values are the
// decoded ones.
struct SpanSource {
    using Raw = double;
    const TraceSignals& s;
    int Count() const { return static_cast<int>(s.current.size()); }
    double Current(int i) const { return s.current[static_cast<std::size_t>(i)]; }
    double Resistance(int i) const { return s.resistance[static_cast<std::size_t>(i)]; }
    double MotorCurrent(int i) const { return s.motorCurrent[static_cast<std::size_t>(i)]; }
    double RawCurrent(int i) const { return Current(i); }
    double RawResistance(int i) const { return Resistance(i); }
    static double CurrentOf(double raw) { return raw; }
    static double ResistanceOf(double raw) { return raw; }
    double RawMotorMagnitude(int i) const { return std::fabs(MotorCurrent(i)); }

    SpanBlocks Blocks() const
    {
        SpanBlocks out;
        const std::size_t blocks = (s.current.size() + kCurrentBlock - 1) / kCurrentBlock;
        out.low.assign(blocks, std::numeric_limits<double>::infinity());
        out.high.assign(blocks, -std::numeric_limits<double>::infinity());
        for (int i = 0; i < Count(); ++i) {
            const std::size_t b = static_cast<std::size_t>(i) / kCurrentBlock;
            out.low[b] = std::min(out.low[b], Current(i));
            out.high[b] = std::max(out.high[b], Current(i));
            out.motorLargest = std::max(out.motorLargest, RawMotorMagnitude(i));
        }
        return out;
    }
};

// The three signals decoded from a record's samples as they are read, so
// that nothing is decoded that the analysis does not look at. Raw values
// are the exact integers behind the decoded ones (micro-amperes,
// micro-ohms, motor steps): they order and select the same samples, and
// cost less to make and to compare.
struct SampleSource {
    using Raw = std::uint32_t;
    const std::uint8_t* samples;
    int count;
    int Count() const { return count; }
    const std::uint8_t* At(int i) const { return samples + static_cast<std::size_t>(i) * kSampleSize; }
    double Current(int i) const { return DecodeSampleCurrent(At(i)); }
    double Resistance(int i) const { return DecodeSampleResistance(At(i)); }
    double MotorCurrent(int i) const { return DecodeSampleMotorCurrent(At(i)); }
    Raw RawCurrent(int i) const { return SampleCurrentMicroAmps(At(i)); }
    Raw RawResistance(int i) const { return SampleResistanceMicroOhms(At(i)); }
    static double CurrentOf(Raw raw) { return static_cast<double>(raw) / 1000000.0; }
    static double ResistanceOf(Raw raw) { return static_cast<double>(raw); }
    Raw RawMotorMagnitude(int i) const { return SampleMotorSteps(At(i)); }

    CurrentBlocks Blocks() const { return ScanCurrentBlocks(samples, static_cast<std::size_t>(count)); }
};

// The median of a signal over samples `from` to `to` (not included), taken
// on its raw values.
template <class Raw, class Signal, class Scale>
std::optional<double> MedianOf(Signal signal, Scale scale, int from, int to, std::vector<Raw>& scratch)
{
    scratch.resize(static_cast<std::size_t>(std::max(to - from, 0)));
    if constexpr (std::is_same_v<Raw, std::uint32_t>) {
        Spread spread;
        const Raw first = scratch.empty() ? 0 : signal(from);
        for (std::size_t k = 0; k < scratch.size(); ++k) {
            const Raw v = signal(from + static_cast<int>(k));
            scratch[k] = v;
            spread.lowest = std::min(spread.lowest, v);
            spread.highest = std::max(spread.highest, v);
            spread.grid |= v - first;
        }
        return Median(scratch, scale, &spread);
    } else {
        for (std::size_t k = 0; k < scratch.size(); ++k)
            scratch[k] = signal(from + static_cast<int>(k));
        return Median(scratch, scale);
    }
}

template <class Source>
std::optional<double> MedianCurrent(const Source& source, int from, int to, std::vector<typename Source::Raw>& scratch)
{
    return MedianOf([&source](int i) { return source.RawCurrent(i); }, [](auto raw) { return Source::CurrentOf(raw); },
                    std::max(from, 0), std::min(to, source.Count()), scratch);
}

template <class Source>
std::optional<double> MedianResistance(const Source& source, int from, int to,
                                       std::vector<typename Source::Raw>& scratch)
{
    return MedianOf([&source](int i) { return source.RawResistance(i); },
                    [](auto raw) { return Source::ResistanceOf(raw); }, std::max(from, 0), std::min(to, source.Count()),
                    scratch);
}

// A block the search must look into sample by sample, and the largest
// current of the blocks before it that the base window can reach.
struct DipBlock {
    int block = 0;
    double largestBefore = 0;
};

// The blocks whose smallest current is below `below` times the largest of
// the `length` blocks before them and of themselves. The largest of each
// run of blocks costs a few steps per block whatever its length: runs are
// cut into segments of `length`, and a run is the end of one segment and
// the start of the next.
template <class Blocks>
std::vector<DipBlock> BlocksWithDips(const Blocks& blocks, int length, double below)
{
    using Raw = std::decay_t<decltype(blocks.high[0])>;
    const std::vector<Raw>& high = blocks.high;
    const std::size_t count = high.size();
    const std::size_t segment = static_cast<std::size_t>(std::max(length, 1));
    std::vector<Raw> fromHere(count);  // from a block to its segment's end
    for (std::size_t start = 0; start < count; start += segment) {
        const std::size_t end = std::min(count, start + segment);
        fromHere[end - 1] = high[end - 1];
        for (std::size_t b = end - 1; b > start; --b)
            fromHere[b - 1] = std::max(high[b - 1], fromHere[b]);
    }

    std::vector<DipBlock> dips;
    auto consider = [&](std::size_t b, Raw before) {
        const auto largest = static_cast<double>(std::max(before, high[b]));
        if (static_cast<double>(blocks.low[b]) < largest * below)
            dips.push_back({static_cast<int>(b), static_cast<double>(before)});
    };
    if (count > 0)
        consider(0, std::numeric_limits<Raw>::lowest());
    for (std::size_t start = 0; start + 1 < count; start += segment) {
        const std::size_t end = std::min(count - 1, start + segment);
        Raw upToHere = std::numeric_limits<Raw>::lowest();  // from the segment's start
        for (std::size_t e = start; e < end; ++e) {
            upToHere = std::max(upToHere, high[e]);
            consider(e + 1, e + 1 <= segment ? upToHere : std::max(fromHere[e + 1 - segment], upToHere));
        }
    }
    return dips;
}

// The end of the transition that starts at `start`: the first sample from
// which the current holds at or above `threshold` for `hold` samples (the
// record's end counts as holding), or `longest` samples after the start.
template <class Source>
int FindEnd(const Source& source, int start, double threshold, int hold, int longest)
{
    const int count = source.Count();
    int run = -1;  // where the current run at or above the threshold began
    for (int i = start + 1; i < count; ++i) {
        if (source.Current(i) >= threshold) {
            if (run < 0) {
                if (i - start >= longest)
                    return start + longest;
                run = i;
            }
            if (i - run + 1 >= hold)
                return run;
        } else {
            run = -1;
            if (i - start >= longest)
                return start + longest;
        }
    }
    return run >= 0 ? run : count - 1;
}

// From the first to the last sample whose motor current is above a share
// of the largest, given in the source's raw measure.
template <class Source, class Raw>
void MeasureMotor(const Source& source, Raw largest, int rate, TransitionReport& report)
{
    if (!(largest > 0))
        return;
    const double floor = kMotorRunShare * largest;
    int first = 0;
    while (!(source.RawMotorMagnitude(first) > floor))
        ++first;
    int last = source.Count() - 1;
    while (!(source.RawMotorMagnitude(last) > floor))
        --last;
    report.motorStartS = static_cast<double>(first) / rate;
    report.motorRunS = static_cast<double>(last - first) / rate;
}

// For each value, the median of all the others. Sorted once, a value's
// others are the sorted list with one copy of it taken out, so their middle
// is read off directly: a record with many transitions does not take a
// selection per transition.
std::vector<std::optional<double>> MediansOfOthers(const std::vector<double>& values)
{
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::optional<double>> medians(values.size());
    const std::size_t others = values.size() > 0 ? values.size() - 1 : 0;
    if (others == 0)
        return medians;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const auto taken =
            static_cast<std::size_t>(std::lower_bound(sorted.begin(), sorted.end(), values[i]) - sorted.begin());
        const auto at = [&](std::size_t k) { return sorted[k < taken ? k : k + 1]; };
        const double upper = at(others / 2);
        medians[i] = others % 2 != 0 ? upper : (at(others / 2 - 1) + upper) / 2;
    }
    return medians;
}

void Judge(std::vector<Transition>& transitions, const TransitionSettings& settings)
{
    std::vector<double> ripples, durations;
    for (const Transition& t : transitions) {
        ripples.push_back(t.ripplePct);
        durations.push_back(t.durationMs);
    }
    const std::vector<std::optional<double>> typicalRipple = MediansOfOthers(ripples);
    const std::vector<std::optional<double>> typicalDuration = MediansOfOthers(durations);
    const auto beyond = [](double value, std::optional<double> typical) {
        return typical && *typical > 0 && value >= kStandOutFactor * *typical;
    };
    for (std::size_t i = 0; i < transitions.size(); ++i) {
        Transition& t = transitions[i];
        t.fails = (settings.maxDurationMs && t.durationMs > *settings.maxDurationMs) ||
                  (settings.maxRipplePct && t.ripplePct > *settings.maxRipplePct) ||
                  (settings.maxSlopeAPerS && t.slopeAPerS > *settings.maxSlopeAPerS);
        t.standsOut = beyond(t.ripplePct, typicalRipple[i]) || beyond(t.durationMs, typicalDuration[i]);
    }
}

}  // namespace

std::optional<double> TransitionSettingNumber(const std::string& text)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    while (end && (*end == ' ' || *end == '\t'))
        ++end;
    if (end == begin || *end != '\0' || !std::isfinite(value) || value < 0)
        return std::nullopt;
    return value;
}

bool UsableThreshold(double pct)
{
    return pct > 0 && pct < 100;
}

TransitionSettings TransitionSettingsFrom(const CAppInfo& settings)
{
    TransitionSettings out;
    const std::optional<double> threshold = TransitionSettingNumber(settings.TransitionThreshold);
    if (threshold && UsableThreshold(*threshold))
        out.thresholdPct = *threshold;
    out.maxDurationMs = TransitionSettingNumber(settings.TransitionMaxMs);
    out.maxRipplePct = TransitionSettingNumber(settings.TransitionMaxRipple);
    out.maxSlopeAPerS = TransitionSettingNumber(settings.TransitionMaxSlope);
    return out;
}

std::optional<double> Transition::ResistanceChange() const
{
    if (!resistanceBefore || !resistanceAfter)
        return std::nullopt;
    return *resistanceAfter - *resistanceBefore;
}

bool TransitionReport::AnyFlagged() const
{
    return std::any_of(transitions.begin(), transitions.end(),
                       [](const Transition& t) { return t.fails || t.standsOut; });
}

namespace {

// Where the current falls below its base, sample by sample. The base is a
// median over the window before the sample; taking it at every sample would
// cost far more than loading the record, so the samples are first set
// against the largest current of the blocks that hold the window: a sample
// not below that cannot be below the median either. Most blocks hold no
// such sample at all (their smallest current is not below the largest
// around them) and are passed over whole.
template <class Source>
TransitionReport Analyse(const Source& source, int rate, const TransitionSettings& settings)
{
    TransitionReport report;
    const int count = source.Count();
    if (rate <= 0 || count <= 0)
        return report;

    const int window = Samples(kBaseWindowMs, rate);
    const int hold = Samples(kHoldMs, rate);
    const int longest = Samples(kLongestMs, rate);
    const int settle = Samples(kSettleMs, rate);
    const double keep = 1 - std::clamp(settings.thresholdPct, 0.0, 100.0) / 100;
    // Covers the rounding of the raw values' scaling.
    const double below = keep * (1 + 1e-9);
    constexpr int kBlock = static_cast<int>(kCurrentBlock);

    const auto blocks = source.Blocks();
    std::vector<typename Source::Raw> scratch;
    int previousEnd = 0;  // samples before it are inside a transition found
    int i = 0;
    for (const DipBlock& dip : BlocksWithDips(blocks, (window + kBlock - 1) / kBlock, below)) {
        const int blockEnd = std::min(count, (dip.block + 1) * kBlock);
        i = std::max(i, dip.block * kBlock);
        while (i < blockEnd) {
            double largest = dip.largestBefore;  // over the window, so far
            for (; i < blockEnd; ++i) {
                const auto raw = static_cast<double>(source.RawCurrent(i));
                const double bound = largest;
                largest = std::max(largest, raw);
                // A base needs as long a stretch as a recovery must hold;
                // this also keeps two dips closer than that together as one.
                if (std::min(window, i - previousEnd) < hold || !(raw < bound * below))
                    continue;
                const double value = source.Current(i);
                const int from = std::max(i - window, previousEnd);
                const double baseCurrent = MedianCurrent(source, from, i, scratch).value_or(0);
                const double threshold = baseCurrent * keep;
                if (!(value < threshold))
                    continue;

                Transition t;
                t.startIndex = i;
                t.endIndex = FindEnd(source, i, threshold, hold, longest);
                t.baseCurrent = baseCurrent;
                t.minCurrent = value;
                double previous = i >= 1 ? source.Current(i - 1) : value;
                for (int j = i; j <= t.endIndex && j < count; ++j) {
                    const double c = source.Current(j);
                    if (j < t.endIndex)
                        t.minCurrent = std::min(t.minCurrent, c);
                    t.slopeAPerS = std::max(t.slopeAPerS, (previous - c) * rate);
                    previous = c;
                }
                t.startS = static_cast<double>(t.startIndex) / rate;
                t.endS = static_cast<double>(t.endIndex) / rate;
                t.durationMs = static_cast<double>(t.endIndex - t.startIndex) * 1000.0 / rate;
                t.ripplePct = baseCurrent > 0 ? (baseCurrent - t.minCurrent) / baseCurrent * 100 : 0;
                t.openCircuit = t.minCurrent < kOpenCircuitShare * baseCurrent;
                t.resistanceBefore = MedianResistance(source, from, i, scratch);
                report.transitions.push_back(t);

                // The search goes on from the end, its window starting there.
                previousEnd = std::max(t.endIndex, i + 1);
                i = previousEnd;
                break;
            }
        }
    }

    // The resistance after a transition is read once it has settled, and
    // never from inside the next one.
    for (std::size_t k = 0; k < report.transitions.size(); ++k) {
        Transition& t = report.transitions[k];
        const int from = t.endIndex + settle;
        int to = from + window;
        if (k + 1 < report.transitions.size())
            to = std::min(to, report.transitions[k + 1].startIndex);
        t.resistanceAfter = MedianResistance(source, from, to, scratch);
    }

    MeasureMotor(source, blocks.motorLargest, rate, report);
    if (report.motorStartS) {
        for (Transition& t : report.transitions)
            t.motorDelayS = t.startS - *report.motorStartS;
    }
    Judge(report.transitions, settings);
    return report;
}

}  // namespace

TransitionReport AnalyseTransitions(const TraceSignals& signals, const TransitionSettings& settings)
{
    if (signals.resistance.size() != signals.current.size() || signals.motorCurrent.size() != signals.current.size())
        return {};
    return Analyse(SpanSource{signals}, signals.rate, settings);
}

TransitionReport AnalyseTransitions(const TestRecord& record, const TransitionSettings& settings)
{
    const int count = std::max(0, record.trace.sampleCount);
    if (!record.IsDynamic() || record.trace.samples.size() < static_cast<std::size_t>(count) * kSampleSize)
        return {};
    return Analyse(SampleSource{record.trace.samples.data(), count}, record.SampleRate(), settings);
}

namespace {

std::optional<double> Difference(const TransitionPair& pair, double Transition::*member)
{
    if (!pair.first || !pair.second)
        return std::nullopt;
    return pair.second->*member - pair.first->*member;
}

}  // namespace

std::optional<double> TransitionPair::DurationDifferenceMs() const
{
    return Difference(*this, &Transition::durationMs);
}

std::optional<double> TransitionPair::RippleDifferencePct() const
{
    return Difference(*this, &Transition::ripplePct);
}

std::optional<double> TransitionPair::SlopeDifferenceAPerS() const
{
    return Difference(*this, &Transition::slopeAPerS);
}

std::vector<TransitionPair> MatchTransitions(const TransitionReport& first, const TransitionReport& second)
{
    const std::size_t count = std::max(first.transitions.size(), second.transitions.size());
    std::vector<TransitionPair> pairs(count);
    for (std::size_t i = 0; i < count; ++i) {
        pairs[i].number = static_cast<int>(i) + 1;
        if (i < first.transitions.size())
            pairs[i].first = &first.transitions[i];
        if (i < second.transitions.size())
            pairs[i].second = &second.transitions[i];
    }
    return pairs;
}

}  // namespace tkan
