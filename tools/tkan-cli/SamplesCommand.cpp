#include <algorithm>
#include <optional>

#include "CliSupport.h"
#include "Commands.h"
#include "records/TestRecord.h"
#include "reports/SamplesCsv.h"

namespace tkan::cli {

int RunSamples(const Command& self, std::span<const std::string> args)
{
    std::optional<std::string> file;
    std::int64_t from = 0;
    std::optional<std::int64_t> count;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool isFrom = IsOption(args[i], "--from");
        if (isFrom || IsOption(args[i], "--count")) {
            const char* name = isFrom ? "--from" : "--count";
            std::optional<std::string> value;
            std::string problem;
            if (!TakeOptionValue(args, i, name, value, problem))
                return UsageError(self, problem);
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
        if (std::string problem = TakeSingleFile(args[i], file); !problem.empty())
            return UsageError(self, problem);
    }
    TestRecord record;
    if (const int exitCode = LoadDynamicFile(self, file, record, "samples"); exitCode != kExitOk)
        return exitCode;

    const std::int64_t total = record.trace.sampleCount;
    const std::int64_t first = std::min(from, total);
    const std::int64_t end = count ? first + std::min(*count, total - first) : total;
    WriteSamplesCsv(record, first, end, [](std::string_view slice) { WriteOutput(slice); });
    return kExitOk;
}

}  // namespace tkan::cli
