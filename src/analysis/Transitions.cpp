#include "analysis/Transitions.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

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

// The median of `values` (the mean of the middle two for an even count);
// reorders them. Absent for none.
std::optional<double> Median(std::vector<double>& values)
{
    if (values.empty())
        return std::nullopt;
    const std::size_t half = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(half), values.end());
    const double upper = values[half];
    if (values.size() % 2 != 0)
        return upper;
    const double lower = *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(half));
    return (lower + upper) / 2;
}

// The three signals of spans given by the caller.
struct SpanSource {
    const TraceSignals& s;
    int Count() const { return static_cast<int>(s.current.size()); }
    double Current(int i) const { return s.current[static_cast<std::size_t>(i)]; }
    double Resistance(int i) const { return s.resistance[static_cast<std::size_t>(i)]; }
    double MotorCurrent(int i) const { return s.motorCurrent[static_cast<std::size_t>(i)]; }
    double RawCurrent(int i) const { return Current(i); }
    double RawMotorMagnitude(int i) const { return std::fabs(MotorCurrent(i)); }
};

// The three signals decoded from a record's samples as they are read, so
// that nothing is decoded that the analysis does not look at.
struct SampleSource {
    const std::uint8_t* samples;
    int count;
    int Count() const { return count; }
    const std::uint8_t* At(int i) const { return samples + static_cast<std::size_t>(i) * kSampleSize; }
    double Current(int i) const { return DecodeSampleCurrent(At(i)); }
    double Resistance(int i) const { return DecodeSampleResistance(At(i)); }
    double MotorCurrent(int i) const { return DecodeSampleMotorCurrent(At(i)); }

    // The current in micro-amperes and the motor current's magnitude in its
    // steps: the decoded values in order, without the costly scaling.
    unsigned RawCurrent(int i) const
    {
        const std::uint8_t* s = At(i);
        return ((static_cast<unsigned>(s[1] & 0x0F) << 8) | s[0]) << (s[1] >> 4);
    }
    unsigned RawMotorMagnitude(int i) const
    {
        const std::uint8_t* s = At(i);
        return (static_cast<unsigned>(s[5] & 0x7F) << 8) | s[4];
    }
};

template <class Source, class Signal>
std::optional<double> MedianOf(const Source& source, Signal signal, int from, int to, std::vector<double>& scratch)
{
    from = std::max(from, 0);
    to = std::min(to, source.Count());
    scratch.clear();
    for (int i = from; i < to; ++i)
        scratch.push_back((source.*signal)(i));
    return Median(scratch);
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

template <class Source>
void MeasureMotor(const Source& source, int rate, TransitionReport& report)
{
    const int count = source.Count();
    decltype(source.RawMotorMagnitude(0)) largest = 0;
    for (int i = 0; i < count; ++i)
        largest = std::max(largest, source.RawMotorMagnitude(i));
    if (!(largest > 0))
        return;
    const double floor = kMotorRunShare * largest;
    int first = 0;
    while (!(source.RawMotorMagnitude(first) > floor))
        ++first;
    int last = count - 1;
    while (!(source.RawMotorMagnitude(last) > floor))
        --last;
    report.motorStartS = static_cast<double>(first) / rate;
    report.motorRunS = static_cast<double>(last - first) / rate;
}

void Judge(std::vector<Transition>& transitions, const TransitionSettings& settings)
{
    std::vector<double> ripples, durations;
    for (std::size_t i = 0; i < transitions.size(); ++i) {
        Transition& t = transitions[i];
        t.fails = (settings.maxDurationMs && t.durationMs > *settings.maxDurationMs) ||
                  (settings.maxRipplePct && t.ripplePct > *settings.maxRipplePct) ||
                  (settings.maxSlopeAPerS && t.slopeAPerS > *settings.maxSlopeAPerS);

        ripples.clear();
        durations.clear();
        for (std::size_t j = 0; j < transitions.size(); ++j) {
            if (j == i)
                continue;
            ripples.push_back(transitions[j].ripplePct);
            durations.push_back(transitions[j].durationMs);
        }
        const auto beyond = [](double value, std::optional<double> typical) {
            return typical && *typical > 0 && value >= kStandOutFactor * *typical;
        };
        t.standsOut = beyond(t.ripplePct, Median(ripples)) || beyond(t.durationMs, Median(durations));
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
// cost far more than loading the record, so each sample is first set
// against the largest (raw) current of a stretch that holds the window: a sample
// not below that cannot be below the median either. The stretch is the
// window's whole blocks of `hold` samples and the samples of the current
// block so far.
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

    std::vector<double> scratch;
    std::vector<double> blockLargest(static_cast<std::size_t>(count / hold + 1), 0.0);
    int previousEnd = 0;  // samples before it are inside a transition found
    double earlierBlocks = 0;
    double thisBlock = 0;
    int block = 0;           // the block sample i is in
    int nextBlockStart = 0;  // kept apart so the loop needs no division
    for (int i = 0; i < count; ++i) {
        const bool blockStarts = i == nextBlockStart;
        if (blockStarts || i == previousEnd) {
            if (blockStarts) {
                block = i / hold;
                nextBlockStart = i + hold;
                if (block > 0 && i != previousEnd)
                    blockLargest[static_cast<std::size_t>(block - 1)] = thisBlock;
            }
            thisBlock = 0;
            earlierBlocks = 0;
            const int firstBlock = std::max(i - window, previousEnd) / hold;
            for (int b = firstBlock; b < block; ++b)
                earlierBlocks = std::max(earlierBlocks, blockLargest[static_cast<std::size_t>(b)]);

            // Most blocks hold no candidate at all: the block's smallest
            // current is not below the largest of the blocks around it.
            const int stop = std::min(nextBlockStart, count);
            using Raw = decltype(source.RawCurrent(0));
            Raw highest = 0;
            Raw lowest = std::numeric_limits<Raw>::max();
            for (int j = i; j < stop; ++j) {
                const Raw raw = source.RawCurrent(j);
                highest = std::max(highest, raw);
                lowest = std::min(lowest, raw);
            }
            if (!(static_cast<double>(lowest) <
                  std::max(earlierBlocks, static_cast<double>(highest)) * keep * (1 + 1e-9))) {
                thisBlock = static_cast<double>(highest);
                i = stop - 1;
                continue;
            }
        }
        const auto raw = static_cast<double>(source.RawCurrent(i));
        const double largest = std::max(earlierBlocks, thisBlock);
        thisBlock = std::max(thisBlock, raw);

        // A base needs as long a stretch as a recovery must hold; this also
        // keeps two dips closer than that together as one transition. The
        // margin covers the rounding of the raw values' scaling.
        if (std::min(window, i - previousEnd) < hold || !(raw < largest * keep * (1 + 1e-9)))
            continue;
        const double value = source.Current(i);
        const int from = std::max(i - window, previousEnd);
        const double baseCurrent = MedianOf(source, &Source::Current, from, i, scratch).value_or(0);
        const double threshold = baseCurrent * keep;
        if (!(value < threshold))
            continue;

        Transition t;
        t.startIndex = i;
        t.endIndex = FindEnd(source, i, threshold, hold, longest);
        t.baseCurrent = baseCurrent;
        t.minCurrent = value;
        for (int j = i; j <= t.endIndex && j < count; ++j) {
            const double c = source.Current(j);
            if (j < t.endIndex)
                t.minCurrent = std::min(t.minCurrent, c);
            if (j >= 1)
                t.slopeAPerS = std::max(t.slopeAPerS, (source.Current(j - 1) - c) * rate);
        }
        t.startS = static_cast<double>(t.startIndex) / rate;
        t.endS = static_cast<double>(t.endIndex) / rate;
        t.durationMs = static_cast<double>(t.endIndex - t.startIndex) * 1000.0 / rate;
        t.ripplePct = baseCurrent > 0 ? (baseCurrent - t.minCurrent) / baseCurrent * 100 : 0;
        t.openCircuit = t.minCurrent < kOpenCircuitShare * baseCurrent;
        t.resistanceBefore = MedianOf(source, &Source::Resistance, from, i, scratch);
        report.transitions.push_back(t);

        previousEnd = std::max(t.endIndex, i + 1);
        i = previousEnd - 1;  // the loop's step lands on the end
        block = previousEnd / hold;
        nextBlockStart = (block + 1) * hold;
    }

    // The resistance after a transition is read once it has settled, and
    // never from inside the next one.
    for (std::size_t k = 0; k < report.transitions.size(); ++k) {
        Transition& t = report.transitions[k];
        const int from = t.endIndex + settle;
        int to = from + window;
        if (k + 1 < report.transitions.size())
            to = std::min(to, report.transitions[k + 1].startIndex);
        t.resistanceAfter = MedianOf(source, &Source::Resistance, from, to, scratch);
    }

    MeasureMotor(source, rate, report);
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
