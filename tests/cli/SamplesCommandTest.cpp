#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>

#include "cli/CliRunner.h"
#include "records/TestRecord.h"
#include "support/TempDir.h"

namespace tkan::test {
namespace {

constexpr const char* kHeader = "index,time_s,resistance_uohm,current_a,motor_current_a\n";

class CliSamples : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(RunCli({"demo", path}).exitCode, 0);
        ASSERT_EQ(record.LoadTestFile(path), 1);
    }

    TempDir dir;
    std::string path = dir.File("Demo.tst-tkan");
    TestRecord record;
};

TEST_F(CliSamples, EveryLineReadsBackAsTheDecodedSample)
{
    // The demo went through a temporary file; none may be left behind.
    using std::filesystem::directory_iterator;
    EXPECT_EQ(std::distance(directory_iterator(dir.Path()), directory_iterator()), 1);

    CliResult r = RunCli({"samples", path});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 30001u);
    EXPECT_EQ(lines[0] + "\n", kHeader);
    EXPECT_EQ(lines[2].substr(0, 9), "1,0.0005,");
    for (int i = 0; i < 30000; i += 7) {
        const char* p = lines[i + 1].c_str();
        char* end = nullptr;
        ASSERT_EQ(std::strtol(p, &end, 10), i);
        EXPECT_EQ(std::strtod(end + 1, &end), i / 2000.0);
        EXPECT_EQ(std::strtod(end + 1, &end), record.SampleResistance(i));
        EXPECT_EQ(std::strtod(end + 1, &end), record.SampleCurrent(i));
        EXPECT_EQ(std::strtod(end + 1, &end), record.SampleMotorCurrent(i));
        EXPECT_EQ(*end, '\0');
    }
}

TEST_F(CliSamples, FromAndCountPickARange)
{
    std::vector<std::string> lines = Lines(RunCli({"samples", "--from", "100", path, "--count=3"}).out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].substr(0, 4), "100,");
    EXPECT_EQ(lines[3].substr(0, 4), "102,");
    lines = Lines(RunCli({"samples", path, "--from=29998", "--count", "50"}).out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2].substr(0, 6), "29999,");
    for (const char* from : {"30000", "999999999999"}) {
        CliResult r = RunCli({"samples", path, "--from", from});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out, kHeader) << from;
    }
}

TEST_F(CliSamples, StaticTestHasNone)
{
    const std::string staticPath = dir.File("Static.tst-tkan");
    ASSERT_EQ(RunCli({"demo", staticPath, "--static"}).exitCode, 0);
    CliResult r = RunCli({"samples", staticPath});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Lines(r.err).size(), 1u);
}

TEST_F(CliSamples, BadNumbersAreUsageErrors)
{
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{{"--from", "abc"},
                                                                               {"--from", "-1"},
                                                                               {"--from", "+1"},
                                                                               {"--count", "1.5"},
                                                                               {"--count", ""},
                                                                               {"--count=2x"},
                                                                               {"--from", "99999999999999999999999"},
                                                                               {"--count"},
                                                                               {"--frum", "1"}}) {
        args.insert(args.begin(), {"samples", path});
        CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << args[2];
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("usage: tkan-cli samples FILE"), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace tkan::test
