#include "records/TestRecord.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>

#include "records/SampleRanges.h"

namespace tkan {

namespace {

constexpr double kNoRange = -999;

}  // namespace

std::uint64_t NewTraceRevision()
{
    static std::atomic<std::uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

TestRecord::TestRecord() : recordBlock(kRecordBufferSize, 0) {}

void TestRecord::Reset()
{
    TraceRestamp restamp{trace};
    trace.samples.clear();
    trace.samples.shrink_to_fit();
    trace.sampleCount = 0;
    trace.seconds = 0;
    trace.durationLimit = 0;
    testType = 0;
    measureTemp = referenceTemp = tempConstant = 0;
    resistanceMin = resistanceMax = 0;
    currentMin = currentMax = 0;
    motorCurrentMin = motorCurrentMax = 0;
    readingCount = 0;
    dataPointCount = 0;
    tapsPerSide = 0;
    tempCorrected = false;
    textForm = false;
    headerTextPresent = false;
    notesText.clear();
    recordText.clear();
    header = TestHeader{};
    readings.fill(StaticReading{});
    dataPoints.fill(DataPoint{});
    // A record saved in the binary form writes its block back: a load that
    // fills no block must not pass on the block of the test before it. The
    // rest of the working buffer is read only as far as a download fills it.
    std::fill(recordBlock.begin(), recordBlock.begin() + kRecordBlockSize, std::uint8_t{0});
}

std::string TestTypeName(int testType)
{
    switch (testType) {
    case 1: return "V1";
    case 2: return "V1, V2";
    case 3: return "V1,V2,V3";
    case 4: return "LTC 2000";
    case 5: return "LTC 1000";
    case 9: return "V1 Special";
    case 10: return "V1,V2 Special";
    case 11: return "V1,V2,V3 Special";
    case 17: return "V1 Static LTC Test";
    case 18: return "V1,V2 Static LTC Test";
    case 19: return "V1,V2,V3 Static LTC Test";
    default: return {};
    }
}

std::string TestRecord::TestTypeName() const
{
    return tkan::TestTypeName(testType);
}

bool TestRecord::HasV2() const
{
    switch (testType) {
    case 2:
    case 3:
    case 10:
    case 11:
    case 18:
    case 19: return true;
    default: return false;
    }
}

bool TestRecord::HasV3() const
{
    return testType == 3 || testType == 11 || testType == 19;
}
bool TestRecord::IsDynamic() const
{
    return testType == 4 || testType == 5;
}
bool TestRecord::IsStaticTap() const
{
    return testType >= 17 && testType <= 19;
}
int TestRecord::SampleRate() const
{
    return testType == 4 ? 2000 : 1000;
}

namespace {

// The sample at `index`, clamped to the trace; null when there are none.
const std::uint8_t* SampleAt(const DynamicTrace& trace, int index)
{
    int count = trace.sampleCount;
    if (count <= 0 || trace.samples.size() < static_cast<std::size_t>(count) * kSampleSize)
        return nullptr;
    if (index >= count)
        index = count - 1;
    if (index < 0)
        index = 0;
    return trace.samples.data() + static_cast<std::size_t>(index) * kSampleSize;
}

}  // namespace

double TestRecord::SampleCurrent(int index) const
{
    const std::uint8_t* s = SampleAt(trace, index);
    return s ? DecodeSampleCurrent(s) : 0;
}

double TestRecord::SampleResistance(int index) const
{
    const std::uint8_t* s = SampleAt(trace, index);
    return s ? DecodeSampleResistance(s) : 0;
}

double TestRecord::SampleMotorCurrent(int index) const
{
    const std::uint8_t* s = SampleAt(trace, index);
    return s ? DecodeSampleMotorCurrent(s) : 0;
}

double TestRecord::CorrectionFactor() const
{
    return (referenceTemp + tempConstant) / (tempConstant + measureTemp);
}

void TestRecord::ApplyCorrection()
{
    // Without temperatures (Tm + Tk = 0) there is no correction to make;
    // the corrected values are then "no value" rather than NaN or infinity.
    double factor = CorrectionFactor();
    if (!std::isfinite(factor))
        factor = 0;
    for (int i = 0; i < readingCount && i < kMaxReadings; ++i) {
        StaticReading& r = readings[i];
        r.r1s = factor * r.r1;
        r.r2s = factor * r.r2;
        r.r3s = factor * r.r3;
    }
}

std::string TestRecord::ReadingLabel(int index) const
{
    char text[16];
    if (IsStaticTap()) {
        // The taps count down from the "L" side through neutral to "R".
        int tap = tapsPerSide - index;
        if (tap >= 1)
            std::snprintf(text, sizeof text, "%2dL", tap);
        else if (tap == 0)
            std::snprintf(text, sizeof text, " N");
        else
            std::snprintf(text, sizeof text, "%2dR", -tap);
    } else {
        std::snprintf(text, sizeof text, "%2d", index + 1);
    }
    return text;
}

std::string TestRecord::ReadingNote(int index) const
{
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) {
        std::size_t tab = notesText.find('\t', start);
        if (tab == std::string::npos)
            return {};
        start = tab + 1;
    }
    std::size_t end = notesText.find('\t', start);
    return notesText.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

void TestRecord::UpdateRange(double value)
{
    if (value < resistanceMin || resistanceMin == kNoRange)
        resistanceMin = value;
    if (value > resistanceMax || resistanceMax == kNoRange)
        resistanceMax = value;
}

void TestRecord::ComputeDynamicRanges()
{
    if (trace.sampleCount <= 0)
        return;
    const auto count = static_cast<std::size_t>(trace.sampleCount);
    if (trace.samples.size() < count * kSampleSize) {
        // The accessors decode a trace without its bytes as zeros.
        resistanceMin = resistanceMax = currentMin = currentMax = motorCurrentMin = motorCurrentMax = 0;
        return;
    }
    const SampleRanges ranges = ScanSampleRanges(trace.samples.data(), count);
    resistanceMin = ranges.resistanceMin;
    resistanceMax = ranges.resistanceMax;
    currentMin = ranges.currentMin;
    currentMax = ranges.currentMax;
    motorCurrentMin = ranges.motorCurrentMin;
    motorCurrentMax = ranges.motorCurrentMax;
}

void TestRecord::ComputeStaticRanges()
{
    motorCurrentMin = motorCurrentMax = 0;
    resistanceMin = resistanceMax = kNoRange;
    for (int i = 0; i < readingCount && i < kMaxReadings; ++i) {
        const StaticReading& r = readings[i];
        UpdateRange(r.r1);
        if (tempCorrected)
            UpdateRange(r.r1s);
        if (HasV2()) {
            UpdateRange(r.r2);
            if (tempCorrected)
                UpdateRange(r.r2s);
        }
        if (HasV3()) {
            UpdateRange(r.r3);
            if (tempCorrected)
                UpdateRange(r.r3s);
        }
    }
}

std::string FormatResistance(double value, bool compact, bool showZero)
{
    char number[64];
    const char* unit;
    if (value == 0) {
        if (!showZero)
            return "          ";
        std::snprintf(number, sizeof number, "0");
        unit = "Ohms";
    } else if (value / 1000 >= 1000) {
        std::snprintf(number, sizeof number, "%.4f", value / 1000000);
        unit = "Ohms";
    } else if (value > 1000) {
        std::snprintf(number, sizeof number, "%.4f", value / 1000);
        unit = "m-Ohm";
    } else {
        std::snprintf(number, sizeof number, "%.4f", value);
        unit = "u-Ohm";
    }
    number[6] = '\0';  // the number keeps its first six characters

    char text[96];
    std::snprintf(text, sizeof text, compact ? "%s %s" : "%-6s %-10s", number, unit);
    return text;
}

}  // namespace tkan
