#include "reports/SamplesCsv.h"

#include <cerrno>
#include <charconv>
#include <cstring>

#include "records/AtomicFile.h"
#include "records/TestRecord.h"

namespace tkan {

namespace {

constexpr std::size_t kSliceBytes = 1 << 16;

void AppendNumber(std::string& out, double value)
{
    char text[400];  // room for fixed notation of any double
    auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (error == std::errc())
        out.append(text, end);
}

}  // namespace

void WriteSamplesCsv(const TestRecord& record, std::int64_t first, std::int64_t end,
                     const std::function<void(std::string_view)>& sink)
{
    const double rate = record.SampleRate();
    std::string out = "index,time_s,resistance_uohm,current_a,motor_current_a\n";
    for (std::int64_t i = first; i < end; ++i) {
        const int index = static_cast<int>(i);
        out += std::to_string(i);
        out += ',';
        AppendNumber(out, static_cast<double>(i) / rate);
        out += ',';
        AppendNumber(out, record.SampleResistance(index));
        out += ',';
        AppendNumber(out, record.SampleCurrent(index));
        out += ',';
        AppendNumber(out, record.SampleMotorCurrent(index));
        out += '\n';
        if (out.size() >= kSliceBytes) {
            sink(out);
            out.clear();
        }
    }
    sink(out);
}

bool SaveSamplesCsv(const TestRecord& record, const std::string& path, std::string& error)
{
    if (!record.IsDynamic()) {
        error = "a static test has no samples to export";
        return false;
    }
    std::string text;
    WriteSamplesCsv(record, 0, record.trace.sampleCount, [&text](std::string_view slice) { text += slice; });
    if (!WriteFileAtomically(path, reinterpret_cast<const std::uint8_t*>(text.data()), text.size())) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace tkan
