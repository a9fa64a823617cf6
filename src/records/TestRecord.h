#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tkan {

class Prompter;
class TestFileBytes;

constexpr int kMaxReadings = 50;
constexpr int kMaxDataPoints = 50;

// The instrument downloads whole records into the working buffer, so it must
// hold the largest record the instrument stores.
constexpr std::size_t kRecordBufferSize = 2097152;
// Test files keep this much of the instrument's record: its 256-byte header
// and room for 64 reading rows.
constexpr std::size_t kRecordBlockSize = 2304;
constexpr std::size_t kRecordHeaderSize = 256;
constexpr std::size_t kReadingRowSize = 32;
constexpr std::size_t kSampleSize = 6;

// One 6-byte sample, decoded: bytes 0-1 the test current (12-bit mantissa,
// 4-bit power-of-two exponent, micro-amperes), 2-3 the resistance (13-bit
// mantissa, 3-bit power-of-six exponent, micro-ohms, held at 100 ohms), 4-5
// the motor current (15-bit magnitude of 0.0138 A steps and a sign bit).
inline double DecodeSampleCurrent(const std::uint8_t* s)
{
    unsigned mantissa = (static_cast<unsigned>(s[1] & 0x0F) << 8) | s[0];
    unsigned exponent = s[1] >> 4;
    return static_cast<double>(mantissa << exponent) / 1000000.0;
}

inline double DecodeSampleResistance(const std::uint8_t* s)
{
    constexpr double kPowersOfSix[8] = {1, 6, 36, 216, 1296, 7776, 46656, 279936};
    constexpr double kCap = 100000000;  // 100 ohms
    unsigned mantissa = (static_cast<unsigned>(s[3] & 0x1F) << 8) | s[2];
    double value = mantissa * kPowersOfSix[s[3] >> 5];
    return value > kCap ? kCap : value;
}

inline double DecodeSampleMotorCurrent(const std::uint8_t* s)
{
    unsigned magnitude = (static_cast<unsigned>(s[5] & 0x7F) << 8) | s[4];
    double value = magnitude * 0.0138;
    return (s[5] & 0x80) ? -value : value;
}

// Resistances are micro-ohms, temperatures degrees Celsius, currents amperes,
// times seconds. Texts are Windows-1252 bytes, as the instrument sends them.
struct TestHeader {
    std::string company;
    std::string station;
    std::string circuit;
    std::string manufacturer;
    std::string model;
    std::string serialNumber;
    std::string kva;
    std::string operatorName;
    std::string testDate;  // "%b %d, %Y" when it comes from the instrument
    std::string testTime;  // "%I:%M %p"
    std::string fileName;  // name of the file last loaded or saved, no folder

    bool operator==(const TestHeader&) const = default;
};

struct StaticReading {
    double current = 0;  // instrument units: amperes x 10,000
    double r1 = 0, r2 = 0, r3 = 0;
    double r1s = 0, r2s = 0, r3s = 0;  // corrected to the reference temperature
    std::string timeText;
};

struct DataPoint {
    double time = 0;
    double resistance = 0;
    std::string comment;
    double current = 0;
    double motorCurrent = 0;
};

// The samples of a dynamic test, kept in the instrument's 6-byte form and
// decoded on every access.
struct DynamicTrace {
    std::vector<std::uint8_t> samples;  // sampleCount x 6 bytes
    int sampleCount = 0;
    int seconds = 0;        // whole seconds covered
    int durationLimit = 0;  // seconds BuildFromInstrument keeps; 0 = all
    // A number no other filling of any trace has had: the loaders, the
    // builder and Reset give the trace a new one whenever they change its
    // samples, so a drawing cache can tell a reloaded trace from the one it
    // knew without reading it. 0 for a trace filled by other code, which
    // such a cache must read in full.
    std::uint64_t revision = 0;
};

// The next trace revision; never 0.
std::uint64_t NewTraceRevision();

// Gives a trace a new revision when it goes out of scope, whichever way the
// function that changes the samples returns.
struct TraceRestamp {
    DynamicTrace& trace;
    ~TraceRestamp() { trace.revision = NewTraceRevision(); }
};

// Runs after every successful save; the export subsystem fills it in. Until
// then a save exports nothing.
using AutoExportHook = std::function<void(const class TestRecord&)>;

// Whether a load reads a dynamic test's samples. A listing of test files
// shows only header fields, and the samples are nearly all of a file's bytes.
enum class SampleLoading { All, Skip };

// One test in memory, whatever its origin: a test file, a record received
// from the instrument or a results text.
class TestRecord {
public:
    TestRecord();
    TestRecord(const TestRecord&) = delete;
    TestRecord& operator=(const TestRecord&) = delete;

    int testType = 0;
    TestHeader header;
    double measureTemp = 0;    // Tm
    double referenceTemp = 0;  // Ts
    double tempConstant = 0;   // Tk
    bool tempCorrected = false;
    int tapsPerSide = 0;
    int readingCount = 0;
    std::array<StaticReading, kMaxReadings> readings{};
    std::string notesText;  // one note per reading, TAB-separated
    int dataPointCount = 0;
    std::array<DataPoint, kMaxDataPoints> dataPoints{};
    DynamicTrace trace;
    double resistanceMin = 0, resistanceMax = 0;
    double currentMin = 0, currentMax = 0;
    double motorCurrentMin = 0, motorCurrentMax = 0;
    std::vector<std::uint8_t> recordBlock;  // kRecordBufferSize bytes
    bool textForm = false;
    std::string recordText;
    bool headerTextPresent = false;
    bool exportOnSave = false;
    bool autoExport = false;
    std::string autoExportDir;

    // Called by SaveTestFile after the file is written; empty = no export.
    AutoExportHook autoExportAfterSave;
    // Where the loaders report an allocation failure; none = silent.
    Prompter* prompter = nullptr;

    void Reset();

    std::string TestTypeName() const;
    bool HasV2() const;
    bool HasV3() const;
    bool IsDynamic() const;
    bool IsStaticTap() const;
    int SampleRate() const;

    double SampleResistance(int index) const;
    double SampleCurrent(int index) const;
    double SampleMotorCurrent(int index) const;

    double CorrectionFactor() const;
    void ApplyCorrection();

    // Label of reading `index` (from 0): tap labels for static tap-changer
    // tests, the reading number otherwise.
    std::string ReadingLabel(int index) const;

    void UpdateRange(double value);
    void ComputeDynamicRanges();
    void ComputeStaticRanges();

    // Test files (sectioned, old and plain-text layouts). 1 = success.
    // With SampleLoading::Skip the trace stays empty (no samples, no
    // ranges); everything else loads as usual.
    int LoadTestFile(const std::string& path, SampleLoading samples = SampleLoading::All);
    int SaveTestFile(const std::string& path);
    int BuildFromInstrument(const std::uint8_t* bytes, std::size_t length);
    int ParseRecordBlock(const std::uint8_t* block, std::size_t length);

    // Texts: the instrument's key-value record and the results report.
    int ParseKeyValueRecord(std::string_view text);
    int ParseResultsText(std::string_view text);
    int LoadResultsTextFile(const std::string& path);
    void PatchHeaderValues(std::string& text) const;

    // The serialised form SaveTestFile writes, for callers that need the
    // bytes rather than a file.
    std::vector<std::uint8_t> SerializeTestFile();

    // The note of reading `index`: its TAB-separated field of notesText.
    std::string ReadingNote(int index) const;

private:
    int LoadSectioned(TestFileBytes& file);
    int LoadOldLayout(TestFileBytes& file);
    int TakeSamples(const std::uint8_t* bytes, std::size_t length, bool wholeSeconds);
    void PatchRecordBlockHeader();
};

// Name of a test type code; empty for codes the system does not define.
std::string TestTypeName(int testType);

// The one text form of a resistance (micro-ohms) with its unit.
std::string FormatResistance(double value, bool compact, bool showZero);

}  // namespace tkan
