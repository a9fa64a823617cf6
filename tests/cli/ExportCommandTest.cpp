#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CliRunner.h"
#include "support/TempDir.h"

namespace tkan::test {
namespace {

TEST(ExportCommandTest, OneFilePerTestAndTheFailuresNamed)
{
    TempDir dir;
    ASSERT_EQ(RunCli({"demo", dir.File("s.tst-tkan"), "--static"}).exitCode, 0);
    ASSERT_EQ(RunCli({"demo", dir.File("d.test")}).exitCode, 0);
    WriteFileText(dir.File("bad.test"), "not a test");

    CliResult xml =
        RunCli({"export", dir.File("s.tst-tkan"), dir.File("d.test"), "--format", "xml", "--out", dir.Path()});
    EXPECT_EQ(xml.exitCode, 0) << xml.err;
    CliResult xlsx = RunCli({"export", dir.File("s.tst-tkan"), dir.File("bad.test"), dir.File("d.test"),
                             "--format=xlsx", "--out", dir.Path()});
    EXPECT_EQ(xlsx.exitCode, 1);
    EXPECT_NE(xlsx.err.find("not exported: " + dir.File("bad.test") + "\n"), std::string::npos) << xlsx.err;
    EXPECT_EQ(FilesIn(dir.Path()),
              (std::vector<std::string>{"bad.test", "d.test", "d.xlsx", "d.xml", "s.tst-tkan", "s.xlsx", "s.xml"}));

    EXPECT_EQ(RunCli({"export", dir.File("s.tst-tkan"), "--format", "xls", "--out", dir.Path()}).exitCode, 2);
    EXPECT_EQ(RunCli({"export", dir.File("s.tst-tkan"), "--format", "xml"}).exitCode, 2);
}

TEST(ExportCommandTest, TheTraceAsComtradeAndAsTheSamplesCsv)
{
    TempDir dir;
    ASSERT_EQ(RunCli({"demo", dir.File("d.test")}).exitCode, 0);
    ASSERT_EQ(RunCli({"demo", dir.File("s.test"), "--static"}).exitCode, 0);

    CliResult comtrade = RunCli({"export", dir.File("d.test"), "--format", "comtrade", "--out", dir.Path()});
    EXPECT_EQ(comtrade.exitCode, 0) << comtrade.err;
    CliResult csv = RunCli({"export", dir.File("d.test"), dir.File("s.test"), "--format=csv", "--out", dir.Path()});
    EXPECT_EQ(csv.exitCode, 1);  // a static test has no trace
    EXPECT_NE(csv.err.find("not exported: " + dir.File("s.test")), std::string::npos) << csv.err;
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"d.cfg", "d.csv", "d.dat", "d.test", "s.test"}));

    // The file holds exactly what the samples command prints.
    const std::vector<std::uint8_t> bytes = ReadFileBytes(dir.File("d.csv"));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), RunCli({"samples", dir.File("d.test")}).out);
}

}  // namespace
}  // namespace tkan::test
