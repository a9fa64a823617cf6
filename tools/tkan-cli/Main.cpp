// tkan-cli: test files from the command line, without the desktop program.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"

namespace tkan::cli {

namespace {

constexpr Command kCommands[] = {
    {"dump", "FILE", "print a test file as one JSON object", RunDump},
    {"samples", "FILE [--from N] [--count N]", "print the samples of a dynamic test as CSV", RunSamples},
    {"demo", "FILE [--static]", "write a demonstration test file (dynamic, or static with --static)", RunDemo},
    {"list", "[--device PATH | --usb]", "list the records stored on the instrument", RunList},
    {"download", "N [N ...] [--device PATH | --usb] --out DIR [--prefix P]",
     "save stored records as <prefix><N>.test files in DIR", RunDownload},
    {"transitions", "FILE [--threshold PCT] [--format csv|json]",
     "measure the transitions of a dynamic test (CSV or JSON)", RunTransitions},
    {"export", "FILE [FILE ...] --format xlsx|xml|comtrade|csv --out DIR",
     "write each test to DIR as <name>.xlsx, .xml, .cfg and .dat (COMTRADE) or .csv (samples)", RunExport},
#ifdef TKAN_CLI_WITH_QT
    {"print", "FILE [--overlay FILE]... --pdf OUT.pdf [--portrait]",
     "write the printed report as a PDF (landscape unless --portrait)", RunPrint},
    {"graph", "FILE [--overlay FILE]... --png OUT.png [--width W] [--height H]",
     "write the graph as a PNG picture (1200 x 800 unless given)", RunGraph},
#endif
};

constexpr const char* kGeneralUsage = "usage: tkan-cli COMMAND [ARGUMENTS] (tkan-cli --help lists the commands)";

const Command* FindCommand(const std::string& name)
{
    for (const Command& c : kCommands) {
        if (name == c.name)
            return &c;
    }
    return nullptr;
}

void PrintHelp()
{
    std::string text = "usage: tkan-cli COMMAND [ARGUMENTS]\n\ncommands:\n";
    for (const Command& c : kCommands) {
        std::string synopsis = std::string(c.name) + " " + c.arguments;
        text += "  " + synopsis;
        text += synopsis.size() < 38 ? std::string(38 - synopsis.size(), ' ') : std::string("  ");
        text += c.summary;
        text += '\n';
    }
    text += "\ntkan-cli COMMAND --help shows one command's usage.\n";
    WriteOutput(text);
}

int Run(const std::vector<std::string>& args)
{
    if (args.empty()) {
        std::fprintf(stderr, "%s\n", kGeneralUsage);
        return kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintHelp();
        return FinishOutput(kExitOk);
    }
    const Command* command = FindCommand(args[0]);
    if (!command) {
        ReportError("unknown command \"" + args[0] + "\"");
        std::fprintf(stderr, "%s\n", kGeneralUsage);
        return kExitUsage;
    }
    std::span<const std::string> rest(args.data() + 1, args.size() - 1);
    if (rest.size() == 1 && (rest[0] == "--help" || rest[0] == "-h")) {
        WriteOutput(UsageLine(*command) + "\n" + command->summary + "\n");
        return FinishOutput(kExitOk);
    }
    return FinishOutput(command->run(*command, rest));
}

}  // namespace

std::string UsageLine(const Command& command)
{
    return std::string("usage: tkan-cli ") + command.name + " " + command.arguments;
}

int UsageError(const Command& command, const std::string& problem)
{
    ReportError(problem);
    std::fprintf(stderr, "%s\n", UsageLine(command).c_str());
    return kExitUsage;
}

}  // namespace tkan::cli

int main(int argc, char** argv)
{
    try {
        return tkan::cli::Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        // Out of memory on a huge file, mostly: say so rather than abort.
        tkan::cli::ReportError(e.what());
        return tkan::cli::kExitFailure;
    }
}
