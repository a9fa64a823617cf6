#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "cli/CliRunner.h"
#include "support/TempDir.h"

#ifdef TKAN_EXPORTER_PATH

namespace tkan::test {
namespace {

const std::string kTemplate = TKAN_REPORT_DATA_DIR "/tkanreport.mrt";
const std::string kSchema = TKAN_REPORT_DATA_DIR "/tkandata.xsd";

CliResult Export(const std::vector<std::string>& args)
{
    return RunProgram(TKAN_EXPORTER_PATH, args);
}

std::string PdfText(const std::string& pdf, const std::string& into)
{
    if (std::system(("pdftotext -layout '" + pdf + "' '" + into + "'").c_str()) != 0)
        return {};
    // Blanks collapsed and the "fi" ligature spelled out: the layout's
    // spacing and the font's ligatures are not what the test is about.
    std::vector<std::uint8_t> bytes = ReadFileBytes(into);
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == ' ' && !text.empty() && text.back() == ' ')
            continue;
        if (i + 2 < bytes.size() && bytes[i] == 0xEF && bytes[i + 1] == 0xAC && bytes[i + 2] == 0x81) {
            text += "fi";
            i += 2;
            continue;
        }
        text += static_cast<char>(bytes[i]);
    }
    return text;
}

TEST(ReportExporterTest, StaticReportBecomesAPdfWithHeaderAndReadings)
{
    if (std::system("command -v pdftotext >/dev/null") != 0)
        GTEST_SKIP() << "poppler-utils is not installed (scripts/setup.sh)";
    TempDir dir;
    ASSERT_EQ(RunCli({"demo", dir.File("s.tst-tkan"), "--static"}).exitCode, 0);
    ASSERT_EQ(RunCli({"export", dir.File("s.tst-tkan"), "--format", "xml", "--out", dir.Path()}).exitCode, 0);
    CliResult run = Export({kTemplate, kSchema, dir.File("s.xml"), dir.File("s.pdf")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string text = PdfText(dir.File("s.pdf"), dir.File("s.txt"));
    for (const char* expected :
         {"TKAN Test Report", "V1,V2 Static LTC Test, tested Mar 05, 2024 10:15 AM", "Northfield Power Co",
          "R. M\xC3\xBCller", "Measured temperature Tm:", "24.5 C",
          "Test Time R1 R1s R2 R2s Notes\n8L 2.7550 m-Ohm 3.2922 m-Ohm 2.7900 m-Ohm 3.3340 m-Ohm\n",
          "\nN 2.4510 m-Ohm 2.9289 m-Ohm 2.4820 m-Ohm 2.9659 m-Ohm\n"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    // Nothing of the temporary file is left beside the PDF.
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"s.pdf", "s.tst-tkan", "s.txt", "s.xml"}));
}

TEST(ReportExporterTest, EachFailureHasItsOwnExitCode)
{
    TempDir dir;
    ASSERT_EQ(RunCli({"demo", dir.File("d.test")}).exitCode, 0);
    ASSERT_EQ(RunCli({"export", dir.File("d.test"), "--format", "xml", "--out", dir.Path()}).exitCode, 0);
    const std::string xml = dir.File("d.xml");
    const std::string pdf = dir.File("d.pdf");
    WriteFileText(dir.File("bad.mrt"), "title x\nbarcode {company}\n");
    WriteFileText(dir.File("invalid.xml"), "<brennixreport><reportinfo/></brennixreport>");
    WriteFileText(dir.File("broken.xml"), "<brennixreport>");

    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {{kTemplate, kSchema, xml}, 2, "usage: bxReportExport TEMPLATE SCHEMA XML PDF"},
        {{dir.File("none.mrt"), kSchema, xml, pdf}, 3, "cannot read the template"},
        {{dir.File("bad.mrt"), kSchema, xml, pdf}, 3, "bad.mrt line 2: unknown directive \"barcode\""},
        {{kTemplate, kSchema, dir.File("invalid.xml"), pdf}, 4, "does not match the schema"},
        {{kTemplate, kSchema, dir.File("broken.xml"), pdf}, 4, "cannot be read"},
        {{kTemplate, kSchema, dir.File("none.xml"), pdf}, 4, "cannot be read"},
        {{kTemplate, dir.File("bad.mrt"), xml, pdf}, 5, "cannot be used"},
        {{kTemplate, kSchema, xml, dir.File("missing/d.pdf")}, 6, "cannot write the PDF"},
    };
    for (const Case& c : cases) {
        CliResult run = Export(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.reason;
        EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    }
    // No PDF and no temporary file was left behind.
    EXPECT_EQ(FilesIn(dir.Path()),
              (std::vector<std::string>{"bad.mrt", "broken.xml", "d.test", "d.xml", "invalid.xml"}));
}

}  // namespace
}  // namespace tkan::test

#endif
