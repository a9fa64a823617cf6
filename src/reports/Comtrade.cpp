#include "reports/Comtrade.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "platform/Codepage.h"
#include "records/AtomicFile.h"
#include "records/TestDate.h"
#include "records/TestRecord.h"

namespace tkan {

namespace {

// Configuration lines end in CR LF, as the standard has them.
constexpr char kLineEnd[] = "\r\n";

// The largest count a channel uses, kept clear of the 32-bit limit the
// standard reserves for a missing value.
constexpr double kFullScale = 2000000000.0;

struct Channel {
    const char* id;
    const char* unit;
    double (TestRecord::*value)(int) const;
    double toUnit;  // from the record's unit
};

constexpr std::array<Channel, 3> kChannels = {{
    {"R", "Ohm", &TestRecord::SampleResistance, 1e-6},
    {"I", "A", &TestRecord::SampleCurrent, 1},
    {"IM", "A", &TestRecord::SampleMotorCurrent, 1},
}};

// Commas separate the fields; a text must not bring its own.
std::string FieldText(const std::string& text)
{
    std::string out = Cp1252ToUtf8(text);
    std::replace(out.begin(), out.end(), ',', ' ');
    return out;
}

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int k = 0; k < 4; ++k)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
}

std::string Format(const char* format, auto... values)
{
    char text[256];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

}  // namespace

ComtradeRecord BuildComtrade(const TestRecord& record)
{
    ComtradeRecord out;
    const int count = std::max(0, record.trace.sampleCount);
    if (!record.IsDynamic())
        return out;
    const int rate = record.SampleRate();

    // Each channel's scale from its own largest magnitude, so that the
    // stored counts keep the instrument's resolution.
    std::array<double, kChannels.size()> scale{};
    for (std::size_t c = 0; c < kChannels.size(); ++c) {
        double largest = 0;
        for (int i = 0; i < count; ++i)
            largest = std::max(largest, std::fabs((record.*kChannels[c].value)(i)*kChannels[c].toUnit));
        scale[c] = largest > 0 ? largest / kFullScale : 1e-9;
    }

    std::vector<std::int32_t> lowest(kChannels.size(), 0), highest(kChannels.size(), 0);
    out.dat.reserve(static_cast<std::size_t>(count) * (8 + 4 * kChannels.size()));
    for (int i = 0; i < count; ++i) {
        PutLe32(out.dat, static_cast<std::uint32_t>(i + 1));
        // Microseconds from the first sample; whole at both of the
        // instrument's rates.
        PutLe32(out.dat, static_cast<std::uint32_t>(static_cast<std::int64_t>(i) * 1000000 / rate));
        for (std::size_t c = 0; c < kChannels.size(); ++c) {
            const double value = (record.*kChannels[c].value)(i)*kChannels[c].toUnit;
            const auto stored = static_cast<std::int32_t>(std::lround(value / scale[c]));
            lowest[c] = i == 0 ? stored : std::min(lowest[c], stored);
            highest[c] = i == 0 ? stored : std::max(highest[c], stored);
            PutLe32(out.dat, static_cast<std::uint32_t>(stored));
        }
    }

    const TestHeader& h = record.header;
    std::string& cfg = out.cfg;
    cfg += FieldText(h.station.empty() ? h.company : h.station) + ",TKAN,2013" + kLineEnd;
    cfg += Format("%zu,%zuA,0D", kChannels.size(), kChannels.size()) + kLineEnd;
    for (std::size_t c = 0; c < kChannels.size(); ++c) {
        cfg += Format("%zu,%s,,,%s,%.9g,0,0,%d,%d,1,1,P", c + 1, kChannels[c].id, kChannels[c].unit, scale[c],
                      lowest[c], highest[c]) +
               kLineEnd;
    }
    // A direct-current measurement has no line frequency of its own; the
    // field is required, and 50 is what most readers expect.
    cfg += std::string("50") + kLineEnd;
    cfg += std::string("1") + kLineEnd;
    cfg += Format("%d,%d", rate, count) + kLineEnd;

    // The instrument's clock: local time, not synchronised to any source.
    const std::optional<TestDateTime> when = ParseTestDateTime(h.testDate, h.testTime);
    const TestDateTime t = when.value_or(TestDateTime{1970, 1, 1, 0, 0});
    const std::string stamp = Format("%02d/%02d/%04d,%02d:%02d:00.000000", t.day, t.month, t.year, t.hour, t.minute);
    cfg += stamp + kLineEnd;  // the first sample
    cfg += stamp + kLineEnd;  // the trigger: the test's start
    cfg += std::string("BINARY32") + kLineEnd;
    cfg += std::string("1") + kLineEnd;
    cfg += std::string("0,0") + kLineEnd;
    cfg += std::string("F,0") + kLineEnd;
    return out;
}

bool WriteComtrade(const TestRecord& record, const std::string& base, std::string& error)
{
    if (!record.IsDynamic()) {
        error = "a static test has no samples to export";
        return false;
    }
    const ComtradeRecord built = BuildComtrade(record);
    // The data first: a configuration never names data that is not there.
    if (!WriteFileAtomically(base + ".dat", built.dat.data(), built.dat.size())) {
        error = "cannot write " + base + ".dat";
        return false;
    }
    const auto* text = reinterpret_cast<const std::uint8_t*>(built.cfg.data());
    if (!WriteFileAtomically(base + ".cfg", text, built.cfg.size())) {
        error = "cannot write " + base + ".cfg";
        return false;
    }
    return true;
}

}  // namespace tkan
