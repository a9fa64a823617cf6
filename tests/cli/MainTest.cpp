#include <gtest/gtest.h>

#include "cli/CliRunner.h"

namespace tkan::test {
namespace {

TEST(CliUsage, HelpListsTheCommandsAndWrongUsageExitsTwo)
{
    CliResult r = RunCli({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* command : {"dump FILE", "samples FILE", "demo FILE"})
        EXPECT_NE(r.out.find(command), std::string::npos) << command;

    const std::vector<std::vector<std::string>> wrong = {
        {},          {"frobnicate"},        {"dump"}, {"dump", "a", "b"},         {"dump", "--pretty", "a"},
        {"samples"}, {"samples", "a", "b"}, {"demo"}, {"demo", "a", "--dynamic"}, {"demo", "a", "b"}};
    for (const auto& args : wrong) {
        r = RunCli(args);
        std::string shown = args.empty() ? "(none)" : args[0];
        EXPECT_EQ(r.exitCode, 2) << shown;
        EXPECT_EQ(r.out, "") << shown;
        EXPECT_NE(r.err.find("usage: tkan-cli"), std::string::npos) << shown << ": " << r.err;
    }
}

}  // namespace
}  // namespace tkan::test
