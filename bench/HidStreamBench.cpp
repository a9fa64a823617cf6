// A stored dynamic record of about 1.4 MB downloaded over USB: the simulated
// instrument streams it behind the simulated HID class, and the program's HID
// transport reads it the way the transfer does, in 8192-byte steps until the
// end marker.
//
// At the full-speed rate of one 64-byte report a millisecond the download
// should take no longer than the reports themselves ("x_report_rate", target
// within 1.02) and keep the processor idle while it waits ("cpu_share",
// target under 0.05 of one core). The unpaced run shows what the transport
// costs when reports come as fast as it can take them.

#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "device/HidTransport.h"
#include "device/InstrumentContract.h"
#include "device/Timer.h"
#include "sim/DemoRecords.h"
#include "sim/SimHidBackend.h"

using namespace tkan;

namespace {

constexpr std::size_t kStep = 8192;
constexpr std::size_t kPayload = 64;

double ProcessCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// 116 s at 2000 samples a second: 1,392,256 bytes.
const std::vector<std::uint8_t>& Record()
{
    static const std::vector<std::uint8_t> bytes = [] {
        DemoParameters params;
        params.testType = 4;
        params.seconds = 116;
        params.tapChanges = 6;
        return BuildDynamicRecord(params);
    }();
    return bytes;
}

void StreamRecord(benchmark::State& state, std::uint32_t reportIntervalMs)
{
    const std::vector<std::uint8_t>& record = Record();
    const std::size_t expected = record.size() + instrument::kStreamEndMarker.size();
    const double reports = static_cast<double>((expected + kPayload - 1) / kPayload);
    std::vector<std::uint8_t> transfer(2u << 20);

    double wallSeconds = 0;
    double cpuSeconds = 0;
    for (auto _ : state) {
        SteadyTickSource ticks;
        MessagePump pump;
        SimHidBackend backend(ticks);
        SimHidOptions hid;
        hid.reportIntervalMs = reportIntervalMs;
        SimStoredRecord stored;
        stored.number = 1;
        stored.bytes = record;
        backend.AddDevice(hid).AttachInstrument(SimOptions{}, {stored});
        HidTransport usb(backend, ticks, pump);
        if (!usb.EnsureOpen()) {
            state.SkipWithError("the simulated instrument was not found");
            break;
        }

        const double cpuStart = ProcessCpuSeconds();
        const auto wallStart = std::chrono::steady_clock::now();
        usb.QueueText(std::string(instrument::kDownloadCommand));
        std::size_t total = 0;
        for (;;) {
            std::size_t received = 0;
            if (!usb.ReadAvailable(transfer, total, kStep, received, instrument::kStreamSilenceMs))
                break;
            total += received;
            if (received < kStep || total >= transfer.size())
                break;
        }
        wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        cpuSeconds += ProcessCpuSeconds() - cpuStart;

        benchmark::DoNotOptimize(transfer.data());
        if (total != expected) {
            state.SkipWithError("the download did not end at the marker");
            break;
        }
    }

    const double iterations = static_cast<double>(state.iterations());
    if (iterations == 0 || wallSeconds <= 0)
        return;
    state.SetBytesProcessed(static_cast<std::int64_t>(expected) * state.iterations());
    state.counters["reports"] = reports;
    state.counters["cpu_share"] = cpuSeconds / wallSeconds;
    state.counters["cpu_us_per_report"] = cpuSeconds / iterations / reports * 1e6;
    if (reportIntervalMs > 0) {
        const double reportSeconds = reports * reportIntervalMs / 1000.0;
        state.counters["x_report_rate"] = wallSeconds / iterations / reportSeconds;
    }
}

void BM_HidStreamFullSpeed(benchmark::State& state)
{
    StreamRecord(state, 1);
}

void BM_HidStreamUnpaced(benchmark::State& state)
{
    StreamRecord(state, 0);
}

}  // namespace

// One download at the report rate takes about 22 s; once is enough.
BENCHMARK(BM_HidStreamFullSpeed)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HidStreamUnpaced)->UseRealTime()->Unit(benchmark::kMillisecond);
