#include "CliSupport.h"
#include "Commands.h"
#include "RecordJson.h"
#include "records/TestRecord.h"

namespace tkan::cli {

int RunDump(const Command& self, std::span<const std::string> args)
{
    if (args.size() != 1)
        return UsageError(self, args.empty() ? "no file given" : "one file only");
    if (args[0].starts_with("--"))
        return UsageError(self, "unknown option " + args[0]);

    StderrPrompter prompter;
    TestRecord record;
    if (!LoadRecord(args[0], record, prompter))
        return kExitFailure;

    // Non-finite numbers (a correction factor over a zero divisor) come out
    // as null, the only form JSON has for them.
    WriteOutput(RecordToJson(record).dump(2) + "\n");
    return kExitOk;
}

}  // namespace tkan::cli
