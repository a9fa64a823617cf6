#include "FuzzSupport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "records/HeaderFields.h"

namespace tkan::fuzz {

namespace {

constexpr int kFullyCheckedSamples = 100000;

std::string MakeScratchFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tkan-fuzz-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    return name.data();
}

void RemoveScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(ScratchFolder(), ignored);
}

// NaN read from a text must survive a save as NaN, so doubles compare by
// their bits.
bool SameDouble(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0 || a == b;
}

bool SameHeader(const TestHeader& a, const TestHeader& b)
{
    return std::all_of(kHeaderFields.begin(), kHeaderFields.end(),
                       [&](const HeaderFieldInfo& field) { return a.*field.member == b.*field.member; });
}

// The header lines beside a results text end each value at its LF, so a
// value that took one in from a text with mixed line ends cannot survive.
bool HeaderFitsLines(const TestHeader& h)
{
    return std::none_of(kHeaderFields.begin(), kHeaderFields.end(), [&](const HeaderFieldInfo& field) {
        return (h.*field.member).find('\n') != std::string::npos;
    });
}

bool SameReading(const StaticReading& a, const StaticReading& b, bool sameCorrected)
{
    return SameDouble(a.current, b.current) && SameDouble(a.r1, b.r1) && SameDouble(a.r2, b.r2) &&
           SameDouble(a.r3, b.r3) &&
           (!sameCorrected || (SameDouble(a.r1s, b.r1s) && SameDouble(a.r2s, b.r2s) && SameDouble(a.r3s, b.r3s)));
}

void CheckSameReadings(const TestRecord& a, const TestRecord& b, bool sameTs, bool sameHeader)
{
    Require(a.testType == b.testType, "same test type");
    Require(a.readingCount == b.readingCount, "same reading count");
    Require(a.tempCorrected == b.tempCorrected, "same correction flag");
    Require(a.tapsPerSide == b.tapsPerSide, "same taps per side");
    Require(SameDouble(a.measureTemp, b.measureTemp), "same Tm");
    if (sameTs)
        Require(SameDouble(a.referenceTemp, b.referenceTemp), "same Ts");
    Require(SameDouble(a.tempConstant, b.tempConstant), "same Tk");
    if (sameHeader)
        Require(SameHeader(a.header, b.header), "same header texts");
    for (int i = 0; i < a.readingCount && i < kMaxReadings; ++i) {
        const std::size_t at = static_cast<std::size_t>(i);
        Require(SameReading(a.readings.at(at), b.readings.at(at), sameTs), "same reading values");
        Require(a.readings.at(at).timeText == b.readings.at(at).timeText, "same reading time");
    }
}

}  // namespace

const std::string& ScratchFolder()
{
    static const std::string folder = MakeScratchFolder();
    // Registered only now, so that it runs before the name above is destroyed.
    static const bool removedAtExit = std::atexit(RemoveScratchFolder) == 0;
    (void)removedAtExit;
    return folder;
}

TestRecord& NewRecord(std::size_t slot)
{
    static std::array<std::unique_ptr<TestRecord>, 4> records;
    std::unique_ptr<TestRecord>& record = records.at(slot);
    if (!record)
        record = std::make_unique<TestRecord>();
    record->Reset();
    record->testType = 0;
    record->readings = {};
    record->dataPoints = {};
    record->trace.durationLimit = 0;
    std::fill(record->recordBlock.begin(), record->recordBlock.begin() + kRecordBlockSize, 0);
    return *record;
}

void WriteScratchFile(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (size > 0)
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::abort();
    }
}

void Require(bool condition, const char* what)
{
    if (condition)
        return;
    std::fprintf(stderr, "record rule broken: %s\n", what);
    std::abort();
}

void CheckRecord(const TestRecord& record)
{
    Require(record.readingCount >= 0 && record.readingCount <= kMaxReadings, "reading count within 0..50");
    Require(record.dataPointCount >= 0 && record.dataPointCount <= kMaxDataPoints, "data-point count within 0..50");
    Require(record.recordBlock.size() == kRecordBufferSize, "working buffer keeps its 2 MiB");
    const DynamicTrace& trace = record.trace;
    Require(trace.sampleCount >= 0 && trace.seconds >= 0, "sample count and seconds not negative");
    Require(trace.samples.size() / kSampleSize >= static_cast<std::size_t>(trace.sampleCount),
            "every counted sample is held");

    std::size_t touched = record.TestTypeName().size() + record.notesText.size();
    for (int i = 0; i < record.readingCount; ++i) {
        const StaticReading& r = record.readings.at(static_cast<std::size_t>(i));
        touched += record.ReadingLabel(i).size() + record.ReadingNote(i).size() + r.timeText.size();
        touched += FormatResistance(r.r1, true, true).size() + FormatResistance(r.r2s, false, false).size();
    }
    for (int i = 0; i < record.dataPointCount; ++i)
        touched += record.dataPoints.at(static_cast<std::size_t>(i)).comment.size();

    // A stretched record holds a third of a million samples; a stride keeps
    // such a run quick and still reaches both ends.
    const int step = trace.sampleCount > kFullyCheckedSamples ? trace.sampleCount / 4096 : 1;
    for (int i = 0; i < trace.sampleCount; i += step) {
        double r = record.SampleResistance(i);
        double c = record.SampleCurrent(i);
        double m = record.SampleMotorCurrent(i);
        Require(r >= 0 && r <= 100000000, "sample resistance within 0..100 ohms");
        Require(c >= 0 && c <= 4095.0 * 32768 / 1000000, "sample current within its 16 bits");
        Require(std::fabs(m) <= 32767 * 0.0138 + 1e-9, "motor current within its 15 bits");
    }
    if (trace.sampleCount > 0) {
        Require(record.SampleResistance(trace.sampleCount + 5) == record.SampleResistance(trace.sampleCount - 1),
                "an index past the end reads the last sample");
        Require(record.SampleCurrent(-1) == record.SampleCurrent(0), "a negative index reads sample 0");
    }
    volatile std::size_t sink = touched;
    (void)sink;
}

void CheckLoadedTrace(const TestRecord& record)
{
    const DynamicTrace& trace = record.trace;
    if (!record.IsDynamic()) {
        Require(trace.sampleCount == 0, "a static record holds no samples");
        return;
    }
    Require(trace.sampleCount == trace.seconds * record.SampleRate(), "whole seconds of samples");
    if (trace.sampleCount == 0 || trace.sampleCount > kFullyCheckedSamples)
        return;
    double rMin = record.SampleResistance(0), rMax = rMin;
    double cMin = record.SampleCurrent(0), cMax = cMin;
    double mMin = record.SampleMotorCurrent(0), mMax = mMin;
    for (int i = 1; i < trace.sampleCount; ++i) {
        rMin = std::min(rMin, record.SampleResistance(i));
        rMax = std::max(rMax, record.SampleResistance(i));
        cMin = std::min(cMin, record.SampleCurrent(i));
        cMax = std::max(cMax, record.SampleCurrent(i));
        mMin = std::min(mMin, record.SampleMotorCurrent(i));
        mMax = std::max(mMax, record.SampleMotorCurrent(i));
    }
    Require(record.resistanceMin == rMin && record.resistanceMax == rMax, "resistance range of the samples");
    Require(record.currentMin == cMin && record.currentMax == cMax, "current range of the samples");
    Require(record.motorCurrentMin == mMin && record.motorCurrentMax == mMax, "motor-current range of the samples");
}

const TestRecord& SaveAndReload(TestRecord& record)
{
    // The bytes SaveTestFile writes, without its flush to the disk, which
    // would cost more than the rest of a run.
    const std::string path = ScratchFolder() + "/resaved.tst-tkan";
    const std::vector<std::uint8_t> bytes = record.SerializeTestFile();
    WriteScratchFile(path, bytes.data(), bytes.size());
    TestRecord& loaded = NewRecord(3);
    Require(loaded.LoadTestFile(path) == 1, "a saved record loads");
    std::filesystem::remove(path);
    CheckRecord(loaded);
    CheckLoadedTrace(loaded);
    return loaded;
}

void CheckSameAfterReload(const TestRecord& saved, const TestRecord& loaded, int keptSamples)
{
    // The save writes Ts back into the block's word, which tops out below
    // the 0xFFFF some blocks carry there; the results text keeps it exactly.
    constexpr double kHighestWrittenTs = (0xFFFE - 600) / 10.0;
    CheckSameReadings(saved, loaded, saved.headerTextPresent || saved.referenceTemp <= kHighestWrittenTs,
                      !saved.headerTextPresent || HeaderFitsLines(saved.header));
    Require(saved.headerTextPresent == loaded.headerTextPresent, "header-text flag kept");
    if (saved.headerTextPresent)
        Require(saved.recordText == loaded.recordText, "results text kept");
    if (!saved.IsDynamic())
        Require(saved.notesText == loaded.notesText, "notes kept");

    Require(saved.dataPointCount == loaded.dataPointCount, "data-point count kept");
    for (int i = 0; i < saved.dataPointCount && i < kMaxDataPoints; ++i) {
        const DataPoint& a = saved.dataPoints.at(static_cast<std::size_t>(i));
        const DataPoint& b = loaded.dataPoints.at(static_cast<std::size_t>(i));
        Require(SameDouble(a.time, b.time) && SameDouble(a.resistance, b.resistance) &&
                    SameDouble(a.current, b.current) && SameDouble(a.motorCurrent, b.motorCurrent) &&
                    a.comment == b.comment,
                "data points kept");
    }

    Require(loaded.trace.sampleCount == keptSamples, "samples kept");
    const std::size_t bytes = static_cast<std::size_t>(keptSamples) * kSampleSize;
    Require(keptSamples == 0 || std::memcmp(saved.trace.samples.data(), loaded.trace.samples.data(), bytes) == 0,
            "sample bytes kept");
}

void CheckSameParse(const TestRecord& a, const TestRecord& b)
{
    CheckSameReadings(a, b, true, true);
    Require(a.header.testDate == b.header.testDate && a.header.testTime == b.header.testTime, "same date and time");
    Require(a.notesText == b.notesText, "same notes");
    Require(a.textForm == b.textForm && a.headerTextPresent == b.headerTextPresent, "same form flags");
}

std::string WithLineEnding(std::string_view text, std::string_view ending)
{
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) {
        if (c == '\n')
            out += ending;
        else
            out += c;
    }
    return out;
}

}  // namespace tkan::fuzz
