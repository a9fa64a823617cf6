#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliRunner.h"
#include "records/TestRecord.h"
#include "sim/DemoRecords.h"
#include "support/DemoFiles.h"
#include "support/PdfText.h"
#include "support/TempDir.h"

namespace tkan::test {
namespace {

// Runs of blanks as one: the extractor spaces words by where they stand.
std::string OneBlank(const std::string& text)
{
    std::string out;
    for (char c : text)
        if (c != ' ' || out.empty() || out.back() != ' ')
            out += c;
    return out;
}

// The first line of `page` that holds `needle`, blanks taken as one.
std::optional<std::string> LineWith(const std::string& page, const std::string& needle)
{
    for (const std::string& line : Lines(page))
        if (OneBlank(line).find(OneBlank(needle)) != std::string::npos)
            return OneBlank(line);
    return std::nullopt;
}

class CliPrint : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HavePdfTools())
            GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
        if (RunCli({"print", "--help"}).exitCode != 0)
            GTEST_SKIP() << "tkan-cli was built without Qt";
        // The settings of a first start: no footer line, no logo.
        const char* old = std::getenv("XDG_CONFIG_HOME");
        savedConfig = old ? std::optional<std::string>(old) : std::nullopt;
        setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    }

    void TearDown() override
    {
        if (savedConfig)
            setenv("XDG_CONFIG_HOME", savedConfig->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }

    TempDir dir;
    std::optional<std::string> savedConfig;
};

TEST_F(CliPrint, DynamicTestPrintsItsGraphItsDataPointsThenItsTransitions)
{
    DemoParameters p;
    p.seconds = 2;
    std::vector<std::uint8_t> bytes = BuildDynamicRecord(p);
    TestRecord record;
    record.BuildFromInstrument(bytes.data(), bytes.size());
    record.dataPointCount = 2;
    record.dataPoints[0] = {0.1, 2450.5, "after raise", 0, 0};
    record.dataPoints[1] = {1.25, 1800000, "", 0, 0};
    const std::string path = dir.File("points.tst-tkan");
    ASSERT_EQ(record.SaveTestFile(path), 1);

    const std::string pdf = dir.File("points.pdf");
    CliResult r = RunCli({"print", path, "--pdf", pdf});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> pages = PdfPages(pdf);
    ASSERT_EQ(pages.size(), 3u);

    EXPECT_TRUE(LineWith(pages[0], "FILENAME: points.tst-tkan"));
    EXPECT_TRUE(LineWith(pages[0], "TYPE: LTC 2000"));
    EXPECT_TRUE(LineWith(pages[0], "TKAN Software Version: 1.13"));
    EXPECT_TRUE(LineWith(pages[1], "FILENAME: points.tst-tkan"));
    EXPECT_FALSE(LineWith(pages[1], "TKAN Software Version"));
    ASSERT_TRUE(LineWith(pages[1], "Point"));
    EXPECT_EQ(*LineWith(pages[1], "Point"), " Point Time Resistance Comment");
    std::optional<std::string> row = LineWith(pages[1], "0.100");
    ASSERT_TRUE(row);
    EXPECT_NE(row->find("2.4505 m-Ohm"), std::string::npos) << *row;
    EXPECT_NE(row->find("after raise"), std::string::npos) << *row;
    EXPECT_TRUE(LineWith(pages[1], "1.8000 Ohms"));
    // Two seconds hold no tap change: the table has its heading and says so.
    EXPECT_TRUE(LineWith(pages[2], "Judgement"));
    EXPECT_TRUE(LineWith(pages[2], "No transitions found."));

    // Landscape unless asked otherwise.
    std::string info = CaptureCommand("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("842 x 595"), std::string::npos) << info;
    ASSERT_EQ(RunCli({"print", path, "--pdf", pdf, "--portrait"}).exitCode, 0);
    info = CaptureCommand("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("595 x 842"), std::string::npos) << info;
}

TEST_F(CliPrint, StaticTestWithTwoOverlaysPrintsThreeTablesAndOneGraph)
{
    const std::string main = dir.File("main.tst-tkan");
    const std::string first = dir.File("one.tst-tkan");
    const std::string second = dir.File("two.tst-tkan");
    for (const std::string& path : {main, first, second})
        ASSERT_EQ(WriteDemoTest(path, DemoKind::Static), 1);

    const std::string pdf = dir.File("static.pdf");
    CliResult r = RunCli({"print", main, "--overlay", first, "--overlay=" + second, "--pdf", pdf});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> pages = PdfPages(pdf);
    ASSERT_EQ(pages.size(), 4u);

    // Each table page names its own record; every page names the overlays.
    const char* names[] = {"main.tst-tkan", "one.tst-tkan", "two.tst-tkan", "main.tst-tkan"};
    for (std::size_t i = 0; i < pages.size(); ++i) {
        EXPECT_TRUE(LineWith(pages[i], std::string("FILENAME: ") + names[i])) << "page " << i + 1;
        std::optional<std::string> maker = LineWith(pages[i], "MFR:");
        ASSERT_TRUE(maker);
        EXPECT_NE(maker->find("Overlay 1 (one.tst-tkan) Overlay 2 (two.tst-tkan)"), std::string::npos) << *maker;
        EXPECT_TRUE(LineWith(pages[i], "TKAN Software Version: 1.13")) << "page " << i + 1;
    }
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(LineWith(pages[i], "MEAS. TEMP: 24.5   Reference Temp: 75.0 [°C]  Tk: 234.5")) << i;
    std::optional<std::string> heading = LineWith(pages[0], "Notes");
    ASSERT_TRUE(heading);
    EXPECT_NE(heading->find("Test Time R1 R1s R2 R2s R3 R3s Notes"), std::string::npos) << *heading;
    EXPECT_TRUE(LineWith(pages[0], "2.7550 m-Ohm"));
    EXPECT_FALSE(LineWith(pages[3], "2.7550 m-Ohm"));
}

TEST_F(CliPrint, FailuresSayWhyAndExitOne)
{
    const std::string path = dir.File("main.tst-tkan");
    ASSERT_EQ(WriteDemoTest(path, DemoKind::Static), 1);

    CliResult missing = RunCli({"print", dir.File("none.tst-tkan"), "--pdf", dir.File("a.pdf")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("cannot open"), std::string::npos) << missing.err;
    CliResult overlay = RunCli({"print", path, "--overlay", dir.File("none.tst-tkan"), "--pdf", dir.File("a.pdf")});
    EXPECT_EQ(overlay.exitCode, 1);
    CliResult unwritable = RunCli({"print", path, "--pdf", dir.File("no/such/folder.pdf")});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.err.find("cannot write"), std::string::npos) << unwritable.err;
    EXPECT_TRUE(FilesIn(dir.Path()) == std::vector<std::string>{"main.tst-tkan"});

    EXPECT_EQ(RunCli({"print", path}).exitCode, 2);
    EXPECT_EQ(
        RunCli({"print", path, "--overlay", path, "--overlay", path, "--overlay", path, "--pdf", "x.pdf"}).exitCode, 2);
}

TEST_F(CliPrint, GraphComesOutAsAPictureOfTheSizeAsked)
{
    const std::string path = dir.File("dyn.tst-tkan");
    ASSERT_EQ(WriteDemoTest(path, DemoKind::Dynamic), 1);
    const std::string png = dir.File("graph.png");
    CliResult r = RunCli({"graph", path, "--png", png, "--width", "640", "--height=480"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::uint8_t> bytes = ReadFileBytes(png);
    ASSERT_GT(bytes.size(), 24u);
    auto at = [&](std::size_t i) {
        return (bytes[i] << 24) | (bytes[i + 1] << 16) | (bytes[i + 2] << 8) | bytes[i + 3];
    };
    EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 4), "PNG");
    EXPECT_EQ(at(16), 640);
    EXPECT_EQ(at(20), 480);

    EXPECT_EQ(RunCli({"graph", path, "--png", png, "--width", "0"}).exitCode, 2);
}

}  // namespace
}  // namespace tkan::test
