#include <algorithm>
#include <optional>

#include "CliSupport.h"
#include "Commands.h"
#include "platform/Codepage.h"
#include "records/TestRecord.h"

namespace tkan::cli {

namespace {

// Output goes out in slices so that a long record (hundreds of thousands of
// samples) never sits whole in memory as text.
constexpr std::size_t kFlushAt = 1 << 16;

}  // namespace

int RunSamples(const Command& self, std::span<const std::string> args)
{
    std::optional<std::string> file;
    std::int64_t from = 0;
    std::optional<std::int64_t> count;

    for (std::size_t i = 0; i < args.size();) {
        std::optional<std::string> value;
        bool isFrom = TakeOption(args, i, "--from", value);
        if (isFrom || TakeOption(args, i, "--count", value)) {
            const char* name = isFrom ? "--from" : "--count";
            if (!value)
                return UsageError(self, std::string(name) + " needs a number");
            std::optional<std::int64_t> n = ParseCount(*value);
            if (!n)
                return UsageError(self,
                                  std::string(name) + " needs a whole number of 0 or more, not \"" + *value + "\"");
            if (isFrom)
                from = *n;
            else
                count = *n;
            continue;
        }
        if (args[i].starts_with("--"))
            return UsageError(self, "unknown option " + args[i]);
        if (file)
            return UsageError(self, "one file only");
        file = args[i++];
    }
    if (!file)
        return UsageError(self, "no file given");

    StderrPrompter prompter;
    TestRecord record;
    if (!LoadRecord(*file, record, prompter))
        return kExitFailure;
    if (!record.IsDynamic()) {
        ReportError(*file + " is a static test (" + Cp1252ToUtf8(record.TestTypeName()) + "); it has no samples");
        return kExitFailure;
    }

    const std::int64_t total = record.trace.sampleCount;
    const std::int64_t first = std::min(from, total);
    const std::int64_t end = count ? first + std::min(*count, total - first) : total;
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
        if (out.size() >= kFlushAt) {
            WriteOutput(out);
            out.clear();
        }
    }
    WriteOutput(out);
    return kExitOk;
}

}  // namespace tkan::cli
