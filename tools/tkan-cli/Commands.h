#pragma once

#include <span>
#include <string>

namespace tkan::cli {

// Exit codes of the tool.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Command;
using CommandHandler = int (*)(const Command& self, std::span<const std::string> args);

// One entry of the dispatcher: a new command is one more row in the table
// in Main.cpp and one handler.
struct Command {
    const char* name;
    const char* arguments;  // as the usage line shows them
    const char* summary;
    CommandHandler run;
};

int RunDump(const Command& self, std::span<const std::string> args);
int RunSamples(const Command& self, std::span<const std::string> args);
int RunDemo(const Command& self, std::span<const std::string> args);
int RunList(const Command& self, std::span<const std::string> args);
int RunDownload(const Command& self, std::span<const std::string> args);
// Built only with Qt, which draws the pages and the picture.
int RunPrint(const Command& self, std::span<const std::string> args);
int RunGraph(const Command& self, std::span<const std::string> args);
int RunTransitions(const Command& self, std::span<const std::string> args);
int RunExport(const Command& self, std::span<const std::string> args);

// Prints "tkan-cli: <problem>" and the command's usage line on standard
// error; returns kExitUsage.
int UsageError(const Command& command, const std::string& problem);

// The command's usage line, without a line end.
std::string UsageLine(const Command& command);

}  // namespace tkan::cli
