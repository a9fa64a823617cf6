#include "analysis/Transitions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "records/TestRecord.h"
#include "settings/AppInfo.h"
#include "sim/DemoRecords.h"

namespace tkan {
namespace {

// A trace made sample by sample: a steady current through a steady winding,
// with dips cut into it where a test wants a transition.
struct Trace {
    explicit Trace(int seconds, int rate = 1000, double amps = 10, double microOhm = 2000)
        : rate(rate), current(static_cast<std::size_t>(seconds * rate), amps), resistance(current.size(), microOhm),
          motor(current.size(), 0.0)
    {
    }

    // The current falls to `depth` (a share of what it was) in `fall`
    // samples, holds there and steps back after `length` samples in all.
    void Dip(int start, int length, double depth, int fall = 1)
    {
        for (int i = 0; i < length; ++i) {
            const double share = i < fall ? 1 - (1 - depth) * (i + 1) / fall : depth;
            current[static_cast<std::size_t>(start + i)] *= share;
        }
    }

    void SetResistance(int from, double microOhm)
    {
        for (std::size_t i = static_cast<std::size_t>(from); i < resistance.size(); ++i)
            resistance[i] = microOhm;
    }

    TransitionReport Analyse(const TransitionSettings& settings = {}) const
    {
        return AnalyseTransitions(TraceSignals{rate, current, resistance, motor}, settings);
    }

    int rate;
    std::vector<double> current, resistance, motor;
};

TEST(Transitions, QuietTracesHaveNone)
{
    Trace clean(3);
    EXPECT_TRUE(clean.Analyse().transitions.empty());

    // Noise of up to 0.6% either way stays under a 1% threshold.
    Trace noisy(3);
    std::uint32_t seed = 7;
    for (double& c : noisy.current) {
        seed = seed * 1103515245u + 12345u;
        c *= 1 + 0.006 * (static_cast<double>((seed >> 16) & 0x7FFF) / 0x7FFF * 2 - 1);
    }
    EXPECT_TRUE(noisy.Analyse().transitions.empty());
}

TEST(Transitions, MeasuresEachDipAndTheResistanceAroundIt)
{
    Trace trace(4, 2000);
    trace.Dip(2000, 80, 0.92);  // a step to 92% for 40 ms
    trace.SetResistance(2040, 2100);
    trace.Dip(5000, 120, 0.80, 40);  // a 20-ms slide to 80%, 60 ms in all
    trace.SetResistance(5060, 2200);
    for (int i = 1600; i < 5600; ++i)
        trace.motor[static_cast<std::size_t>(i)] = 2.0;

    const TransitionReport report = trace.Analyse();
    ASSERT_EQ(report.transitions.size(), 2u);

    const Transition& a = report.transitions[0];
    EXPECT_EQ(a.startIndex, 2000);
    EXPECT_NEAR(a.startS, 1.0, 1e-12);
    EXPECT_NEAR(a.durationMs, 40, 1);
    EXPECT_NEAR(a.ripplePct, 8, 0.2);
    EXPECT_NEAR(a.slopeAPerS, 0.8 * 2000, 0.02 * 1600);
    EXPECT_EQ(a.resistanceBefore, 2000);
    EXPECT_EQ(a.resistanceAfter, 2100);
    EXPECT_EQ(a.ResistanceChange(), 100);
    EXPECT_FALSE(a.openCircuit);
    EXPECT_NEAR(*a.motorDelayS, 0.2, 1e-12);

    // The slide crosses 99% on its first step (0.5% a sample, so the second).
    const Transition& b = report.transitions[1];
    EXPECT_NEAR(b.startIndex, 5001, 1);
    EXPECT_NEAR(b.durationMs, 60, 1);
    EXPECT_NEAR(b.ripplePct, 20, 0.2);
    EXPECT_NEAR(b.slopeAPerS, 10 * 0.005 * 2000, 2);
    EXPECT_EQ(b.resistanceBefore, 2100);
    EXPECT_EQ(b.resistanceAfter, 2200);

    ASSERT_TRUE(report.motorStartS);
    EXPECT_NEAR(*report.motorStartS, 0.8, 1e-12);
    EXPECT_NEAR(report.motorRunS, 1.9995, 1e-9);
}

TEST(Transitions, OpenCircuitsCloseDipsAndTheLongestTransition)
{
    Trace trace(6);
    trace.Dip(1000, 30, 0.05);  // all but open
    trace.Dip(2000, 15, 0.9);   // two dips 10 ms apart
    trace.Dip(2025, 15, 0.9);
    trace.Dip(4000, 1500, 0.5);  // never recovers within a second

    const TransitionReport report = trace.Analyse();
    ASSERT_EQ(report.transitions.size(), 3u);
    EXPECT_TRUE(report.transitions[0].openCircuit);
    EXPECT_NEAR(report.transitions[0].ripplePct, 95, 0.2);
    EXPECT_EQ(report.transitions[1].startIndex, 2000);
    EXPECT_EQ(report.transitions[1].endIndex, 2040);
    EXPECT_FALSE(report.transitions[1].openCircuit);
    EXPECT_EQ(report.transitions[2].durationMs, 1000);
    EXPECT_FALSE(report.motorStartS);
    EXPECT_FALSE(report.transitions[0].motorDelayS);
}

TEST(Transitions, ThresholdLimitsAndStandingOut)
{
    Trace trace(8);
    for (int k = 0; k < 5; ++k)
        trace.Dip(1000 + 1000 * k, 40, k == 3 ? 0.85 : 0.95);  // the fourth is three times as deep

    TransitionSettings settings;
    settings.maxRipplePct = 10;
    const TransitionReport report = trace.Analyse(settings);
    ASSERT_EQ(report.transitions.size(), 5u);
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(report.transitions[static_cast<std::size_t>(k)].standsOut, k == 3);
        EXPECT_EQ(report.transitions[static_cast<std::size_t>(k)].fails, k == 3);
    }
    EXPECT_TRUE(report.AnyFlagged());

    // A threshold deeper than the shallow dips sees only the deep one.
    settings.thresholdPct = 10;
    EXPECT_EQ(trace.Analyse(settings).transitions.size(), 1u);
}

TEST(Transitions, SettingsTextsBecomeTheThresholdAndLimits)
{
    CAppInfo info;
    info.TransitionThreshold = "2.5";
    info.TransitionMaxMs = " 80";
    info.TransitionMaxRipple = "";
    info.TransitionMaxSlope = "fast";
    TransitionSettings s = TransitionSettingsFrom(info);
    EXPECT_EQ(s.thresholdPct, 2.5);
    EXPECT_EQ(s.maxDurationMs, 80);
    EXPECT_FALSE(s.maxRipplePct);
    EXPECT_FALSE(s.maxSlopeAPerS);
    info.TransitionThreshold = "150";
    EXPECT_EQ(TransitionSettingsFrom(info).thresholdPct, 1.0);
}

TEST(Transitions, FindsTheSimulatedTapChanges)
{
    DemoParameters params;
    params.seconds = 20;
    params.tapChanges = 3;
    TestRecord record;
    const std::vector<std::uint8_t> bytes = BuildDynamicRecord(params);
    ASSERT_EQ(record.BuildFromInstrument(bytes.data(), bytes.size()), 1);

    const TransitionReport report = AnalyseTransitions(record, {});
    const std::vector<DemoTapChange> changes = DemoTapChanges(params);
    ASSERT_EQ(report.transitions.size(), changes.size());
    for (std::size_t k = 0; k < changes.size(); ++k) {
        SCOPED_TRACE(k);
        const Transition& t = report.transitions[k];
        // The simulated current sinks with a 10-ms time constant towards 6%
        // below its base: it crosses 1% about 2 ms into the transition.
        EXPECT_NEAR(t.startS, changes[k].transitionStart + 0.0018, 0.0015);
        EXPECT_NEAR(t.ripplePct, 6, 0.5);
        ASSERT_TRUE(t.ResistanceChange());
        EXPECT_NEAR(*t.ResistanceChange(), changes[k].resistanceAfter - changes[k].resistanceBefore, 15);
        EXPECT_NEAR(*t.motorDelayS, changes[k].transitionStart - changes[0].motorStart, 0.01);
    }
}

// A record's samples are searched through their raw integers, skimmed in
// blocks and their medians counted; the decoded signals go the plain way.
// Both must give the very same report, whatever the noise.
TEST(Transitions, ARecordAndItsDecodedSignalsGiveTheSameReport)
{
    for (int testType : {4, 5}) {
        DemoParameters params;
        params.testType = testType;
        params.seconds = 12;
        params.tapChanges = 3;
        std::vector<std::uint8_t> bytes = BuildDynamicRecord(params);
        // Wide resistance noise over the first half, so that some medians
        // spread too far to be counted.
        std::uint32_t seed = 99;
        const std::size_t samples = (bytes.size() - kRecordHeaderSize) / kSampleSize;
        for (std::size_t i = 0; i < samples / 2; ++i) {
            seed = seed * 1103515245u + 12345u;
            bytes[kRecordHeaderSize + i * kSampleSize + 2] ^= static_cast<std::uint8_t>(seed >> 16);
            bytes[kRecordHeaderSize + i * kSampleSize + 3] ^= static_cast<std::uint8_t>((seed >> 24) & 0x03);
        }
        TestRecord record;
        ASSERT_EQ(record.BuildFromInstrument(bytes.data(), bytes.size()), 1);

        TraceSignals signals;
        signals.rate = record.SampleRate();
        std::vector<double> current, resistance, motor;
        for (int i = 0; i < record.trace.sampleCount; ++i) {
            current.push_back(record.SampleCurrent(i));
            resistance.push_back(record.SampleResistance(i));
            motor.push_back(record.SampleMotorCurrent(i));
        }
        signals.current = current;
        signals.resistance = resistance;
        signals.motorCurrent = motor;

        const TransitionReport fromRecord = AnalyseTransitions(record, {});
        const TransitionReport fromSignals = AnalyseTransitions(signals, {});
        ASSERT_EQ(fromRecord.transitions.size(), 3u) << testType;
        ASSERT_EQ(fromSignals.transitions.size(), 3u) << testType;
        EXPECT_EQ(fromRecord.motorStartS, fromSignals.motorStartS);
        EXPECT_EQ(fromRecord.motorRunS, fromSignals.motorRunS);
        for (std::size_t k = 0; k < 3; ++k) {
            const Transition &a = fromRecord.transitions[k], &b = fromSignals.transitions[k];
            EXPECT_EQ(a.startIndex, b.startIndex);
            EXPECT_EQ(a.endIndex, b.endIndex);
            EXPECT_EQ(a.baseCurrent, b.baseCurrent);
            EXPECT_EQ(a.minCurrent, b.minCurrent);
            EXPECT_EQ(a.slopeAPerS, b.slopeAPerS);
            EXPECT_EQ(a.resistanceBefore, b.resistanceBefore);
            EXPECT_EQ(a.resistanceAfter, b.resistanceAfter);
        }
    }
}

TEST(Transitions, MatchedByOrderWithDifferences)
{
    Trace up(3), down(3);
    up.Dip(1000, 40, 0.9);
    down.Dip(1000, 50, 0.8);
    down.Dip(2000, 40, 0.9);
    const TransitionReport a = up.Analyse(), b = down.Analyse();
    const std::vector<TransitionPair> pairs = MatchTransitions(a, b);
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_NEAR(*pairs[0].DurationDifferenceMs(), 10, 1e-9);
    EXPECT_NEAR(*pairs[0].RippleDifferencePct(), 10, 1e-9);
    EXPECT_EQ(pairs[1].first, nullptr);
    EXPECT_EQ(pairs[1].number, 2);
    EXPECT_FALSE(pairs[1].DurationDifferenceMs());
}

}  // namespace
}  // namespace tkan
