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

}  // namespace
}  // namespace tkan::test
