#include <optional>

#include "CliSupport.h"
#include "Commands.h"
#include "records/TestRecord.h"
#include "sim/DemoRecords.h"

namespace tkan::cli {

int RunDemo(const Command& self, std::span<const std::string> args)
{
    std::optional<std::string> file;
    bool isStatic = false;
    for (const std::string& arg : args) {
        if (arg == "--static")
            isStatic = true;
        else if (arg.starts_with("--"))
            return UsageError(self, "unknown option " + arg);
        else if (file)
            return UsageError(self, "one file only");
        else
            file = arg;
    }
    if (!file)
        return UsageError(self, "no file given");

    // The record takes the road a downloaded test takes: the instrument's
    // bytes, then the record built from them, then the saved file.
    DemoParameters params;
    std::vector<std::uint8_t> bytes;
    if (isStatic) {
        params.testType = 18;
        bytes = BuildStaticRecord(params);
    } else {
        bytes = BuildDynamicRecord(params);
    }

    StderrPrompter prompter;
    TestRecord record;
    record.prompter = &prompter;
    record.textForm = false;
    record.BuildFromInstrument(bytes.data(), bytes.size());
    if (record.SaveTestFile(*file) != 1) {
        ReportError("cannot write " + *file);
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace tkan::cli
