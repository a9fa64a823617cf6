// Writes the seed corpora of the fuzz targets from records this program
// itself builds and saves, so the seeds follow the file layouts as they are
// written today instead of going stale as committed binaries.
//
//   tkan_fuzz_seeds <folder>   makes <folder>/{load,results,keyvalue,build,device,rows}

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "DeviceSession.h"
#include "FuzzSupport.h"
#include "records/TestRecord.h"
#include "sim/DemoRecords.h"
#include "sim/RecordEncoder.h"
#include "sim/SimClock.h"
#include "sim/SimInstrument.h"
#include "sim/SimRecords.h"
#include "testlist/TestRowCache.h"

using namespace tkan;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

// The load target's first byte picks the file name it writes.
constexpr std::uint8_t kAsTstTkan = 0, kAsTstRkz = 1, kAsTest = 2, kAsUpperTstTkan = 3;

void WriteSeed(const fs::path& path, std::uint8_t first, const Bytes& body)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.put(static_cast<char>(first));
    out.write(reinterpret_cast<const char*>(body.data()), static_cast<std::streamsize>(body.size()));
    if (!out)
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
}

void WriteSeed(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out)
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
}

Bytes ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes AsBytes(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

// The instrument's description of every seed test.
InstrumentRecord SeedInstrumentRecord(int type, int tapsPerSide, bool temperatures)
{
    InstrumentRecord r;
    r.testType = type;
    r.date = SimDate{2010, 3, 5, 14, 30, 59};
    r.header.company = "Northgrid";
    r.header.station = "Elm Street";
    r.header.circuit = "T2 HV";
    r.header.manufacturer = "Reinhausen";
    r.header.model = "OLTC-V";
    r.header.serialNumber = "SN 40117";
    r.header.kva = "25000";
    r.header.operatorName = "J. Miller";
    r.hasTemperatures = temperatures;
    r.measureTemp = 25;
    r.referenceTemp = 75;
    r.tempConstant = 234.5;
    r.tapsPerSide = tapsPerSide;
    return r;
}

Bytes StaticRecord(int type, int readings, int tapsPerSide, bool temperatures)
{
    InstrumentRecord r = SeedInstrumentRecord(type, tapsPerSide, temperatures);
    for (int i = 0; i < readings; ++i)
        r.readings.push_back({100000, 1500.0 + 37 * i, 3100.0 + 41 * i, 12345.0 + 53 * i});  // 10 A
    return EncodeStaticRecord(r);
}

// A tap change: steady winding resistance, a short rise while the diverter
// switches, the motor current running throughout.
Bytes DynamicRecord(int type, int samples)
{
    Bytes b = EncodeRecordHeader(SeedInstrumentRecord(type, 0, false));
    for (int i = 0; i < samples; ++i) {
        const bool switching = i > samples / 2 && i < samples / 2 + 60;
        AppendSample(b, switching ? 2600.0 + 15 * (i % 7) : 1480.0 + (i % 5), switching ? 9.2 : 10.0,
                     i < 40 ? 0.0 : ((i % 50) < 25 ? 2.1 : -1.9));
    }
    return b;
}

Bytes OldLayout(const char* magic, const Bytes& instrumentRecord, std::size_t atLeast)
{
    Bytes b(256, 0);
    for (std::size_t i = 0; i < 4; ++i)
        b[i] = static_cast<std::uint8_t>(magic[i]);
    b.insert(b.end(), instrumentRecord.begin(), instrumentRecord.end());
    if (b.size() < atLeast)
        b.resize(atLeast, 0);
    return b;
}

std::string Format(const char* format, const std::string& a, const std::string& b = {})
{
    char line[512];
    std::snprintf(line, sizeof line, format, a.c_str(), b.c_str());
    return line;
}

struct Row {
    const char* test;
    const char* time;
    const char* r1;
    const char* r2;
    const char* r1s;
    const char* r2s;
};

// The fixed-width report a static test run saves, with `eol` after each line.
std::string ResultsText(int series, bool corrected, const char* typeName, const std::vector<Row>& rows,
                        const std::string& eol)
{
    std::string t;
    t += "                         RKZ TEST RESULTS FOR SERIES(" + std::to_string(series) + ") DEVICE" + eol;
    t += "                         ----------------" + eol + eol;
    t += "TEST NUMBER: Regulator 7            # OF TESTS: " + std::to_string(rows.size()) + eol;
    t += "       DATE: 03/05/2010                  TIME: 10:15:00" + eol;
    t += Format("    COMPANY: %-20s            STATION: %-20s", "Northgrid", "Elm Street") + eol;
    t += Format("    CIRCUIT: %-20s            MFR: %-20s", "T2 HV", "Reinhausen") + eol;
    t += Format("    MODEL: %-20s            SN: %-20s", "OLTC-V", "SN 40117") + eol;
    t += Format("    KVA: %-20s            OPERATOR: %-20s", "25000", "J. Miller") + eol + eol;
    if (corrected) {
        t += "  Measure Temp Tm = 25.0 C" + eol;
        t += "Reference Temp Ts = 75,00 C" + eol;
        t += "               Tk = 234.5 C" + eol;
    }
    t += eol + "TEST  TYPE     R1                      R2                      TAP/WINDING" + eol;
    t += "      TIME" + eol + std::string(80, '-') + eol + eol;
    for (const Row& row : rows) {
        std::string r2 = *row.r2 ? std::string("R2 =") + row.r2 : std::string();
        char line[512];
        std::snprintf(line, sizeof line, "%-3s    %-20s   R1 =%s            %s            %s", row.test, typeName,
                      row.r1, r2.c_str(), "");
        t += line + eol;
        std::string r1s = corrected && *row.r1s ? std::string("R1s=") + row.r1s : std::string();
        std::string r2s = corrected && *row.r2s ? std::string("R2s=") + row.r2s : std::string();
        std::snprintf(line, sizeof line, "      %-20s    %s     %s    %s ", row.time, r1s.c_str(), r2s.c_str(), "");
        t += line + eol;
    }
    return t;
}

std::string SeriesOneText(const std::string& eol)
{
    return ResultsText(1, true, "V1/V2",
                       {{"1", "10:15:07", "1.5000 m-Ohm", "3.1000 m-Ohm", "1.8000 m-Ohm", "3.7200 m-Ohm"},
                        {"2", "10:15:31", "1,5370 MILLI-OHMS", "0.0031 Ohms", "", ""},
                        {"3", "10:16:02", "850.00 u-Ohm", "", "1.0192 m-Ohm", ""}},
                       eol);
}

std::string SeriesTwoText(const std::string& eol)
{
    return ResultsText(2, false, "V1/V2/V3",
                       {{"1", "09:01:12", "12.345 m-Ohm", "12.401 m-Ohm", "", ""},
                        {"2", "09:02:40", "0.0125 Ohms", "2.0 OHMS H1-H2 tap 5", "", ""}},
                       eol);
}

std::string TapChangerText(const std::string& eol)
{
    return ResultsText(1, false, "V1/V2 STATIC LTC",
                       {{" 2L", "11:00:01", "1.5000 m-Ohm", "3.1000 m-Ohm", "", ""},
                        {" 1L", "11:00:15", "1.5370 m-Ohm", "3.1410 m-Ohm", "", ""},
                        {"N", "11:00:29", "1.5740 m-Ohm", "3.1820 m-Ohm", "", ""},
                        {" 1R", "11:00:43", "1.6110 m-Ohm", "3.2230 m-Ohm", "", ""},
                        {" 2R", "11:00:57", "", "", "", ""}},
                       eol);
}

std::string KeyValueText(const std::string& eol)
{
    std::string t;
    for (const char* line : {"DATE=03/05/2010 10:15:00",
                             "COMPANY=Northgrid",
                             "STATION=Elm Street",
                             "CIRCUIT=T2 HV",
                             "MFR=Reinhausen",
                             "MODEL=OLTC-V",
                             "SN=SN 40117",
                             "KVA=25000",
                             "OPERATOR=J. Miller",
                             "R/L=2",
                             "Tm=25",
                             "Ts=75",
                             "Tk=234.5",
                             "TYPE=V1/V2/V3 STATIC LTC",
                             "CUR=186A0",
                             "R1=3E8",
                             "R2=7D0",
                             "TYPE=V1 ONLY",
                             "CUR=186A0",
                             "R1=5DC",
                             "R2=BB8",
                             "UNKNOWN",
                             "TYPE=V1/V2",
                             "R1=3F2"})
        t += line + eol;
    return t;
}

std::unique_ptr<TestRecord> Built(const Bytes& raw, bool textForm, int durationLimit)
{
    auto record = std::make_unique<TestRecord>();
    record->textForm = textForm;
    record->trace.durationLimit = durationLimit;
    if (record->BuildFromInstrument(raw.data(), raw.size()) != 1)
        std::fprintf(stderr, "seed record was not built\n");
    return record;
}

std::unique_ptr<TestRecord> FromResults(const std::string& text)
{
    auto record = std::make_unique<TestRecord>();
    record->Reset();
    record->ParseResultsText(text);
    return record;
}

// Saves the record beside the seeds and turns the file into a load seed.
void SavedSeed(TestRecord& record, const fs::path& folder, const std::string& name, std::uint8_t as)
{
    const fs::path saved = folder / ("saved-" + name);
    if (record.SaveTestFile(saved.string()) != 1) {
        std::fprintf(stderr, "cannot save %s\n", saved.c_str());
        return;
    }
    WriteSeed(folder / name, as, ReadBytes(saved));
    fs::remove(saved);
}

// The simulated instrument behind a USB link that never waits: whatever it
// answers to a command is there at once. Every byte the program reads is
// kept, in order, which is what the device-replies target replays.
class SimReplyRecorder : public Transport {
public:
    SimReplyRecorder(SimOptions options, std::vector<SimStoredRecord> records)
        : sim_(std::move(options), std::move(records), clock_)
    {
    }

    const Bytes& Served() const { return served_; }

    int Open() override { return 1; }
    int Close() override { return 1; }
    bool IsOpen() const override { return true; }
    int SendText(const std::string& text) override
    {
        const Bytes bytes = AsBytes(text);
        return Write(bytes);
    }
    int Write(std::span<const std::uint8_t> data) override
    {
        if (sim_.Receive(data)) {
            pending_.clear();
            at_ = 0;
        }
        // An idle instrument has nothing more to say; the bound only guards
        // against a run that would keep talking.
        for (int step = 0; step < 100000; ++step) {
            const std::int64_t wait = sim_.MsUntilNextEvent();
            if (wait < 0)
                break;
            clock_.Advance(wait);
            Bytes out = sim_.TakeOutput();
            pending_.insert(pending_.end(), out.begin(), out.end());
        }
        return 1;
    }

    int ReadExact(std::span<std::uint8_t> buffer, int) override
    {
        for (std::uint8_t& b : buffer) {
            if (at_ == pending_.size())
                return 0;
            b = Take();
        }
        return 1;
    }

    int ReadAvailable(std::span<std::uint8_t> transfer, std::size_t totalSoFar, std::size_t capacity,
                      std::size_t& received, int) override
    {
        received = 0;
        while (received < capacity && totalSoFar + received < transfer.size() && at_ < pending_.size())
            transfer[totalSoFar + received++] = Take();
        return 1;
    }

    int PurgeInput() override { return 1; }
    void SetAbort(int flag) override { abort_ = flag; }
    int AbortRequested() const override { return abort_; }

private:
    std::uint8_t Take()
    {
        const std::uint8_t b = pending_[at_++];
        served_.push_back(b);
        return b;
    }

    ManualSimClock clock_;
    SimInstrument sim_;
    Bytes pending_;
    std::size_t at_ = 0;
    Bytes served_;
    int abort_ = 0;
};

SimOptions Instrument(SimModel model, std::vector<SimFault> faults = {})
{
    SimOptions options;
    options.model = model;
    options.paced = false;
    options.faults = std::move(faults);
    return options;
}

// A static record as number 1 and a one-second dynamic one as number 2.
std::vector<SimStoredRecord> SmallTkanMemory()
{
    DemoParameters staticTest;
    staticTest.testType = 1;
    staticTest.readingCount = 5;
    DemoParameters dynamicTest;
    dynamicTest.testType = 4;
    dynamicTest.seconds = 1;
    dynamicTest.tapChanges = 1;
    return {DescribeStoredRecord(1, BuildStaticRecord(staticTest), false),
            DescribeStoredRecord(2, BuildDynamicRecord(dynamicTest), false)};
}

// What the instrument said while the session ran the selector's sequence,
// behind the selector itself.
void DeviceSeed(const fs::path& path, std::uint8_t selector, SimOptions options, std::vector<SimStoredRecord> records,
                const fs::path& scratch)
{
    SimReplyRecorder link(std::move(options), std::move(records));
    {
        fuzz::DeviceSession session(link, (scratch / "download.test").string());
        session.Run(selector);
    }
    WriteSeed(path, selector, link.Served());
}

void DeviceSeeds(const fs::path& device)
{
    const fs::path scratch = device / "scratch";
    fs::create_directories(scratch);
    const SimDate today;
    const SimOptions tkan = Instrument(SimModel::Tkan);
    const SimOptions rkz = Instrument(SimModel::Rkz10);
    using S = fuzz::Sequence;
    auto sel = [](S s, std::uint8_t flags = 0) { return static_cast<std::uint8_t>(static_cast<int>(s) | flags); };

    DeviceSeed(device / "tkan-connect", sel(S::Connect), tkan, SmallTkanMemory(), scratch);
    DeviceSeed(device / "tkan-version", sel(S::Version), Instrument(SimModel::Tkan40), SmallTkanMemory(), scratch);
    DeviceSeed(device / "tkan-directory", sel(S::Directory), tkan, SmallTkanMemory(), scratch);
    DeviceSeed(device / "tkan-load", sel(S::Load), tkan, SmallTkanMemory(), scratch);
    DeviceSeed(device / "tkan-load-refused", sel(S::Load), Instrument(SimModel::Tkan, {SimFault::RefuseRecords}),
               SmallTkanMemory(), scratch);
    DeviceSeed(device / "tkan-single-download", sel(S::SingleDownload, fuzz::kGiveHeader), tkan, SmallTkanMemory(),
               scratch);
    DeviceSeed(device / "tkan-list-download", sel(S::ListDownload), tkan, SmallTkanMemory(), scratch);
    DeviceSeed(device / "tkan-directory-download", sel(S::DirectoryThenLoad, 1 << 3), tkan, SmallTkanMemory(), scratch);
    DeviceSeed(device / "tkan-everything", sel(S::Everything, 2 << 3), tkan, SmallTkanMemory(), scratch);
    DeviceSeed(device / "tkan-no-end-marker", sel(S::ListDownload, 3 << 3),
               Instrument(SimModel::Tkan, {SimFault::NoEndMarker}), SmallTkanMemory(), scratch);
    {
        // Record 2 first in the listing: the dynamic one is downloaded.
        std::vector<SimStoredRecord> memory = SmallTkanMemory();
        std::swap(memory[0], memory[1]);
        DeviceSeed(device / "tkan-dynamic-limited", sel(S::DirectoryThenLoad, fuzz::kLimitDuration), tkan,
                   std::move(memory), scratch);
    }
    {
        std::vector<SimStoredRecord> memory = SmallTkanMemory();
        FillRecordMemory(memory, SimModel::Tkan, today, 104);
        DeviceSeed(device / "tkan-full-directory", sel(S::Directory), tkan, std::move(memory), scratch);
    }
    DeviceSeed(device / "rkz-directory", sel(S::Directory), rkz, DemoRecordSet(SimModel::Rkz10, today), scratch);
    DeviceSeed(device / "rkz-everything", sel(S::Everything), rkz, DemoRecordSet(SimModel::Rkz10, today), scratch);
    fs::remove_all(scratch);
}

}  // namespace

// The kept rows of a listing: an ordinary row, and one whose texts hold
// every byte the length prefixes must carry.
void RowCacheSeeds(const fs::path& folder)
{
    TestRowCache cache(fuzz::kRowCacheFolder);
    cache.Remember(
        "a.test", {2344, 1700000000123456789, 4711},
        {"a.test", "", "Dec 10, 2026", "03:45 PM", 202612101545, 5, "V1+V2", "Northgrid", "Elm Street", "T2 HV"});
    TestFileRow odd;
    odd.fileName = std::string("b\0\xFF\n.test", 9);
    odd.company = std::string("\r\n\0\xE9", 4);
    cache.Remember(odd.fileName, {1, -1, 0}, odd);
    Bytes bytes = cache.Encode();
    WriteSeed(folder / "two-rows.bin", std::string(bytes.begin(), bytes.end()));
    bytes = TestRowCache(fuzz::kRowCacheFolder).Encode();
    WriteSeed(folder / "empty.bin", std::string(bytes.begin(), bytes.end()));
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <seed folder>\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    const fs::path load = root / "load", results = root / "results", keyValue = root / "keyvalue",
                   build = root / "build", device = root / "device", rows = root / "rows";
    for (const fs::path& folder : {load, results, keyValue, build, device, rows})
        fs::create_directories(folder);

    const Bytes staticRaw = StaticRecord(3, 5, 0, true);
    const Bytes tapRaw = StaticRecord(18, 5, 2, false);
    const Bytes dynamicRaw = DynamicRecord(5, 1500);  // a part second past the whole one
    const Bytes dynamicFast = DynamicRecord(4, 2400);

    {
        auto record = Built(staticRaw, false, 0);
        record->notesText = "as found\tafter cleaning\t\tcheck contacts";
        SavedSeed(*record, load, "static.tst-rkz", kAsTstRkz);
    }
    {
        auto record = Built(dynamicRaw, false, 0);
        record->dataPointCount = 3;
        for (int i = 0; i < 3; ++i) {
            DataPoint& p = record->dataPoints.at(static_cast<std::size_t>(i));
            p.time = 0.2 + 0.3 * i;
            p.resistance = record->SampleResistance(200 + 300 * i);
            p.current = record->SampleCurrent(200 + 300 * i);
            p.motorCurrent = record->SampleMotorCurrent(200 + 300 * i);
            p.comment = i == 1 ? "transition" : "";
        }
        SavedSeed(*record, load, "dynamic.tst-tkan", kAsTstTkan);
    }
    {
        auto record = Built(AsBytes(KeyValueText("\r\n")), true, 0);
        SavedSeed(*record, load, "keyvalue-text.tst-rkz", kAsTstRkz);
    }
    {
        auto record = FromResults(SeriesOneText("\r\n"));
        SavedSeed(*record, load, "results-text.tst-rkz", kAsTstRkz);
    }
    {
        auto record = FromResults(SeriesTwoText("\r\n"));
        record->notesText = "first\tsecond";
        SavedSeed(*record, load, "results-binary.tst-tkan", kAsTstTkan);
    }
    WriteSeed(load / "old-dynamic.test", kAsTest, OldLayout("TKAN", dynamicFast, 0));
    WriteSeed(load / "old-static.test", kAsTest, OldLayout("RKZ-", staticRaw, 256 + kRecordBlockSize));
    WriteSeed(load / "plain.tst-rkz", kAsTstRkz, AsBytes(SeriesOneText("\r\r\n")));
    WriteSeed(load / "plain-tap.TST-TKAN", kAsUpperTstTkan, AsBytes(TapChangerText("\r\r\n")));

    WriteSeed(results / "series1.txt", SeriesOneText("\r\n"));
    WriteSeed(results / "series2.txt", SeriesTwoText("\r\r\n"));
    WriteSeed(results / "tap-changer.txt", TapChangerText("\n"));

    WriteSeed(keyValue / "crlf.txt", KeyValueText("\r\n"));
    WriteSeed(keyValue / "lf.txt", KeyValueText("\n"));

    WriteSeed(build / "static.bin", 0, staticRaw);
    WriteSeed(build / "tap-changer.bin", 0, tapRaw);
    WriteSeed(build / "dynamic.bin", 0, dynamicRaw);
    WriteSeed(build / "dynamic-limited.bin", 2, dynamicFast);  // one second kept
    WriteSeed(build / "keyvalue.bin", 1, AsBytes(KeyValueText("\r\n")));

    DeviceSeeds(device);
    RowCacheSeeds(rows);
    return 0;
}
