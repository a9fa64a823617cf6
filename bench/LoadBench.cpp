// How long opening a 2 MiB dynamic test costs against merely reading its
// bytes: the loader should stay within three times the plain read.
//
// Every benchmark reports its time per sample ("per_sample") and its bytes
// per second; the load benchmarks also report "x_read", their time per
// iteration over that of the plain read in the same run.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "analysis/Transitions.h"
#include "records/TestRecord.h"
#include "sim/RecordEncoder.h"

using namespace tkan;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// A 1000-samples/s record as large as fits in 2 MiB: a tap change every
// 6 s, each a 40-ms diverter transition over a winding of about 1.5 mOhm,
// the test current sagging through it and the drive motor running with its
// inrush around it. The noise is a fixed generator so every run loads the
// same bytes.
class DynamicTestFile {
public:
    DynamicTestFile()
    {
        folder_ = fs::temp_directory_path() / ("tkan-bench-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
        path_ = (folder_ / "Bench.tst-tkan").string();

        // Made as a download makes it: the instrument's 256-byte header
        // followed by the samples, built into a record and saved.
        const int rate = 1000;
        const std::size_t fixedPart = 36 + 4 + kRecordBlockSize;
        seconds_ = static_cast<int>((kRecordBufferSize - fixedPart) / kSampleSize / rate);
        samples_ = seconds_ * rate;

        InstrumentRecord header;
        header.testType = 5;  // 1000 samples/s
        std::vector<std::uint8_t> b = EncodeRecordHeader(header);
        b.reserve(kRecordHeaderSize + static_cast<std::size_t>(samples_) * kSampleSize);
        std::uint32_t noise = 12345;
        for (int i = 0; i < samples_; ++i) {
            noise = noise * 1103515245u + 12345u;
            const double jitter = static_cast<double>((noise >> 16) & 0xFF) / 255.0 - 0.5;
            const int inCycle = i % (6 * rate);
            const double t = static_cast<double>(inCycle) / rate;  // seconds into this tap change
            const bool transition = t >= 3.0 && t < 3.04;
            const double resistance = transition ? 2400 + 900 * std::sin((t - 3.0) * 78.5) + 20 * jitter
                                                 : 1480 + (i / (6 * rate)) % 9 * 4 + 2 * jitter;
            const double current = transition ? 9.1 + 0.3 * jitter : 10.0 + 0.02 * jitter;
            double motor = 0;
            if (t >= 1.5 && t < 4.5)
                motor = (t < 1.6 ? 6.5 : 1.8) * (i % 20 < 10 ? 1 : -1) + 0.1 * jitter;
            AppendSample(b, resistance, current, motor);
        }
        auto record = std::make_unique<TestRecord>();
        record->BuildFromInstrument(b.data(), b.size());
        record->header.company = "Northgrid";
        record->header.station = "Elm Street";
        ok_ = record->trace.sampleCount == samples_ && record->SaveTestFile(path_) == 1;
        bytes_ = ok_ ? fs::file_size(path_) : 0;
    }

    ~DynamicTestFile()
    {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    DynamicTestFile(const DynamicTestFile&) = delete;
    DynamicTestFile& operator=(const DynamicTestFile&) = delete;

    bool Ok() const { return ok_; }
    const std::string& Path() const { return path_; }
    int Samples() const { return samples_; }
    std::uintmax_t Bytes() const { return bytes_; }

private:
    fs::path folder_;
    std::string path_;
    int seconds_ = 0;
    int samples_ = 0;
    std::uintmax_t bytes_ = 0;
    bool ok_ = false;
};

const DynamicTestFile& File()
{
    static const DynamicTestFile file;
    return file;
}

// Seconds per iteration of the last plain read, the yardstick of "x_read",
// and of the last load, that of "x_load".
double plainReadSeconds = 0;
double loadSeconds = 0;

double SecondsPerIteration(const benchmark::State& state, Clock::duration elapsed)
{
    return std::chrono::duration<double>(elapsed).count() / static_cast<double>(state.iterations());
}

bool Ready(benchmark::State& state)
{
    if (File().Ok())
        return true;
    state.SkipWithError("the 2 MiB test file could not be written");
    return false;
}

void Report(benchmark::State& state, Clock::duration elapsed, bool compareToRead)
{
    const double perIteration = SecondsPerIteration(state, elapsed);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(File().Bytes()));
    state.counters["per_sample"] = benchmark::Counter(
        File().Samples(), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["samples"] = File().Samples();
    if (compareToRead && plainReadSeconds > 0)
        state.counters["x_read"] = perIteration / plainReadSeconds;
    if (!compareToRead)
        plainReadSeconds = perIteration;
}

double DecodeAll(const TestRecord& record)
{
    double sum = 0;
    for (int i = 0; i < record.trace.sampleCount; ++i)
        sum += record.SampleResistance(i) + record.SampleCurrent(i) + record.SampleMotorCurrent(i);
    return sum;
}

void BM_PlainRead(benchmark::State& state)
{
    if (!Ready(state))
        return;
    const auto start = Clock::now();
    for (auto _ : state) {
        std::ifstream in(File().Path(), std::ios::binary);
        in.seekg(0, std::ios::end);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(in.tellg()));
        in.seekg(0);
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        benchmark::DoNotOptimize(bytes.data());
        benchmark::ClobberMemory();
    }
    Report(state, Clock::now() - start, false);
}

// The loader alone: header, block, samples and the three ranges, into a
// record that is reused.
void BM_LoadTestFile(benchmark::State& state)
{
    if (!Ready(state))
        return;
    auto record = std::make_unique<TestRecord>();
    const auto start = Clock::now();
    for (auto _ : state) {
        if (record->LoadTestFile(File().Path()) != 1 || record->trace.sampleCount != File().Samples()) {
            state.SkipWithError("LoadTestFile did not load every sample");
            break;
        }
        benchmark::DoNotOptimize(record->resistanceMax);
    }
    const auto elapsed = Clock::now() - start;
    Report(state, elapsed, true);
    loadSeconds = SecondsPerIteration(state, elapsed);
}

// What opening a test costs the program: a new record (its 2 MiB working
// buffer included), the load, and one pass decoding every sample as the
// first drawing of the graph does.
void BM_OpenAndDecode(benchmark::State& state)
{
    if (!Ready(state))
        return;
    const auto start = Clock::now();
    for (auto _ : state) {
        auto record = std::make_unique<TestRecord>();
        if (record->LoadTestFile(File().Path()) != 1 || record->trace.sampleCount != File().Samples()) {
            state.SkipWithError("LoadTestFile did not load every sample");
            break;
        }
        benchmark::DoNotOptimize(DecodeAll(*record));
    }
    Report(state, Clock::now() - start, true);
}

// The benchmark file loaded once, for the benchmarks that leave the file
// out; null (and the benchmark skipped) when it cannot be had whole.
std::unique_ptr<TestRecord> LoadedRecord(benchmark::State& state)
{
    if (!Ready(state))
        return nullptr;
    auto record = std::make_unique<TestRecord>();
    if (record->LoadTestFile(File().Path()) != 1 || record->trace.sampleCount != File().Samples()) {
        state.SkipWithError("LoadTestFile did not load every sample");
        return nullptr;
    }
    return record;
}

// Decoding every sample of a loaded record, no file access.
void BM_DecodeSamples(benchmark::State& state)
{
    auto record = LoadedRecord(state);
    if (!record)
        return;
    const auto start = Clock::now();
    for (auto _ : state)
        benchmark::DoNotOptimize(DecodeAll(*record));
    Report(state, Clock::now() - start, true);
}

// The range scan alone, over the samples of a loaded record.
void BM_ComputeDynamicRanges(benchmark::State& state)
{
    auto record = LoadedRecord(state);
    if (!record)
        return;
    const auto start = Clock::now();
    for (auto _ : state) {
        record->ComputeDynamicRanges();
        benchmark::DoNotOptimize(record->resistanceMax);
    }
    Report(state, Clock::now() - start, true);
}

// Finding and measuring every transition of a loaded record: it should
// cost less than loading the record did ("x_load" under 1).
void BM_AnalyseTransitions(benchmark::State& state)
{
    auto record = LoadedRecord(state);
    if (!record)
        return;
    std::size_t found = 0;
    const auto start = Clock::now();
    for (auto _ : state) {
        found = AnalyseTransitions(*record, {}).transitions.size();
        benchmark::DoNotOptimize(found);
    }
    const auto elapsed = Clock::now() - start;
    Report(state, elapsed, true);
    state.counters["transitions"] = static_cast<double>(found);
    if (loadSeconds > 0)
        state.counters["x_load"] = SecondsPerIteration(state, elapsed) / loadSeconds;
}

}  // namespace

// The plain read runs first so that the others can be set against it.
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadTestFile)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenAndDecode)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeSamples)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComputeDynamicRanges)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnalyseTransitions)->Unit(benchmark::kMicrosecond);
