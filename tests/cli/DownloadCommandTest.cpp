#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/CliRunner.h"
#include "records/TestRecord.h"
#include "support/TempDir.h"

namespace tkan::test {
namespace {

bool Mentions(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(CliDownload, SavesEachRecordOverTheSerialPortAndReportsProgress)
{
    if (::access(SimulatorPath().c_str(), X_OK) != 0)
        GTEST_SKIP() << "tkan-sim is not built";
    SimulatorProcess sim({"--unpaced"});
    ASSERT_FALSE(sim.Path().empty());
    TempDir out;

    CliResult r = RunCli({"download", "3", "1", "--device", sim.Path(), "--out", out.Path()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FilesIn(out.Path()), (std::vector<std::string>{"Test1.test", "Test3.test"}));
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{out.File("Test3.test"), out.File("Test1.test")}));
    EXPECT_TRUE(Mentions(r.err, "Transferred ")) << r.err;

    TestRecord dynamic;
    ASSERT_EQ(dynamic.LoadTestFile(out.File("Test1.test")), 1);
    EXPECT_TRUE(dynamic.IsDynamic());
    EXPECT_EQ(dynamic.trace.seconds, 15);
    TestRecord windings;
    ASSERT_EQ(windings.LoadTestFile(out.File("Test3.test")), 1);
    EXPECT_FALSE(windings.IsDynamic());
    EXPECT_EQ(windings.header.company, "Northfield Power Co");
}

TEST(CliDownload, OverUsbTheFolderAndPrefixAreGivenAndOldFilesReplaced)
{
    SimulatedHid hid;
    TempDir out;
    WriteFileText(out.File("Run4.test"), "older test");

    CliResult r = RunCli({"download", "4", "3", "--usb", "--out", out.Path(), "--prefix", "Run"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FilesIn(out.Path()), (std::vector<std::string>{"Run3.test", "Run4.test"}));
    TestRecord replaced;
    EXPECT_EQ(replaced.LoadTestFile(out.File("Run4.test")), 1);
    EXPECT_FALSE(Mentions(r.err, "Overwrite")) << r.err;
}

TEST(CliDownload, ARelativeOutFolderIsTakenFromTheWorkingFolder)
{
    SimulatedHid hid;
    TempDir work;
    std::filesystem::create_directory(work.File("out"));
    const std::filesystem::path was = std::filesystem::current_path();
    std::filesystem::current_path(work.Path());
    CliResult r = RunCli({"download", "4", "--usb", "--out", "out"});
    std::filesystem::current_path(was);

    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FilesIn(work.File("out")), (std::vector<std::string>{"Test4.test"}));
}

TEST(CliDownload, ARecordThatIsNotSavedExitsOne)
{
    {
        // Record 99 is not on the instrument; record 3 is still saved.
        SimulatedHid hid;
        TempDir out;
        CliResult r = RunCli({"download", "99", "3", "--usb", "--out", out.Path()});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(FilesIn(out.Path()), (std::vector<std::string>{"Test3.test"}));
        EXPECT_TRUE(Mentions(r.err, "Brennix: Can't load test 99, test not found")) << r.err;
        EXPECT_TRUE(Mentions(r.err, "record 99 was not saved")) << r.err;
    }
    {
        CliResult r = RunCli({"download", "1", "--device", "/nonexistent/ttyX", "--out", "/tmp"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
    }
    {
        TempDir out;
        CliResult r = RunCli({"download", "1", "--usb", "--out", out.File("missing")});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(Mentions(r.err, "not a folder")) << r.err;
    }
}

TEST(CliDownload, ARecordWithoutDataKeepsTheFileThereAndExitsOne)
{
    if (::access(SimulatorPath().c_str(), X_OK) != 0)
        GTEST_SKIP() << "tkan-sim is not built";
    SimulatorProcess sim({"--unpaced", "--fault", "empty-stream"});
    ASSERT_FALSE(sim.Path().empty());
    TempDir out;
    const std::string old("stored test\r\n\0\x01 kept", 20);
    WriteFileText(out.File("Test3.test"), old);

    CliResult r = RunCli({"download", "3", "--device", sim.Path(), "--out", out.Path()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(Mentions(r.err, "No record data arrived from the device")) << r.err;
    EXPECT_EQ(FilesIn(out.Path()), (std::vector<std::string>{"Test3.test"}));
    std::vector<std::uint8_t> kept = ReadFileBytes(out.File("Test3.test"));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), old);
}

TEST(CliDownload, WrongUsageExitsTwo)
{
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"download", "--out", "/tmp"},
                                               {"download", "1"},
                                               {"download", "x1", "--out", "/tmp"},
                                               {"download", "1000", "--out", "/tmp"},
                                               {"download", "1", "--out"},
                                               {"download", "1", "--out", "/tmp", "--out", "/tmp"},
                                               {"download", "1", "--out", "/tmp", "--prefix="},
                                               {"download", "1", "--out", "/tmp", "--prefix", "../Test"},
                                               {"download", "1", "--out", "/tmp", "--usb", "--device", "/dev/ttyS0"},
                                               {"download", "1", "--out", "/tmp", "--speed", "9600"}}) {
        CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(Mentions(r.err, "usage: tkan-cli download N [N ...]")) << r.err;
    }
}

}  // namespace
}  // namespace tkan::test
