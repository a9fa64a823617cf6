#include "reports/AutoExport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/MessagePump.h"
#include "platform/TickSource.h"
#include "records/TestRecord.h"
#include "settings/AppInfo.h"
#include "support/ManualClock.h"
#include "support/MemorySettingsStore.h"
#include "support/RecordingPrompter.h"
#include "support/TempDir.h"

namespace tkan {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const std::string& path)
{
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A stand-in exporter: writes each argument on a line of its own and ends
// with the given exit code.
void WriteFakeExporter(const std::string& path, const std::string& argsFile, int exitCode)
{
    std::ofstream(path) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << argsFile << "'\nexit "
                        << exitCode << "\n";
    chmod(path.c_str(), 0755);
}

struct ExportRig {
    test::TempDir dir;
    CAppInfo settings;
    test::RecordingPrompter prompter;
    MessagePump pump;
    SteadyTickSource ticks;
    ReportExportContext context{settings, prompter, pump, ticks, [] { return std::time_t(0); }, {}};
    std::vector<bool> busy;

    ExportRig()
    {
        settings.InstallDir = dir.File("install dir");
        settings.exporterPath = dir.File("install dir/bxReportExport");
        settings.tempFolder = dir.File("tmp/tkan/");
        settings.AutoExportFolder = dir.File("a/b/Export");
        fs::create_directories(settings.InstallDir);
        context.busy = [this](bool on) { busy.push_back(on); };
    }

    // A static test as a test dialog loads it back after its save.
    void FillRecord(TestRecord& r)
    {
        r.testType = 2;
        r.readingCount = 1;
        r.readings[0].r1 = 1001;
        r.header.fileName = "T1.tst-tkan";
    }
};

TEST(AutoExportTest, DownloadedRecordWritesOnlyItsWorkbook)
{
    ExportRig rig;
    rig.settings.AutoExportXml = rig.settings.AutoExportExcel = rig.settings.AutoExportPdf = 1;
    TestRecord r;
    rig.FillRecord(r);
    r.exportOnSave = true;
    r.autoExport = true;
    r.autoExportDir = rig.dir.File("xls");
    fs::create_directories(r.autoExportDir);
    r.autoExportAfterSave = MakeAutoExportHook(rig.context);
    ASSERT_EQ(r.SaveTestFile(rig.dir.File("T1.tst-tkan")), 1);
    EXPECT_TRUE(fs::is_regular_file(rig.dir.File("xls/T1.xlsx")));
    EXPECT_FALSE(fs::exists(rig.dir.File("a")));

    // Without "AutoExport" such a save exports nothing at all.
    r.autoExport = false;
    ASSERT_EQ(r.SaveTestFile(rig.dir.File("T2.tst-tkan")), 1);
    EXPECT_EQ(test::FilesIn(rig.dir.File("xls")), std::vector<std::string>{"T1.xlsx"});
    EXPECT_TRUE(rig.prompter.shown.empty());
}

TEST(AutoExportTest, TestRunSaveFollowsTheThreeFlags)
{
    ExportRig rig;
    TestRecord r;
    rig.FillRecord(r);
    AutoExportAfterSave(r, rig.context);
    EXPECT_FALSE(fs::exists(rig.dir.File("a")));
    EXPECT_FALSE(fs::exists(rig.dir.File("tmp")));

    const std::string args = rig.dir.File("args.txt");
    WriteFakeExporter(rig.settings.exporterPath, args, 0);
    // The template is found in the install folder, the schema in the shared
    // data folder beside it.
    std::ofstream(rig.dir.File("install dir/tkanreport.mrt")) << "x";
    fs::create_directories(rig.dir.File("share/tkan"));
    std::ofstream(rig.dir.File("share/tkan/tkandata.xsd")) << "x";

    rig.settings.AutoExportXml = 1;
    AutoExportAfterSave(r, rig.context);
    EXPECT_EQ(test::FilesIn(rig.dir.File("a/b/Export")), std::vector<std::string>{"Xml"});
    EXPECT_NE(ReadText(rig.dir.File("a/b/Export/Xml/T1.xml")).find("<r1>1.0010 m-Ohm</r1>"), std::string::npos);

    rig.settings.AutoExportXml = 0;
    rig.settings.AutoExportExcel = rig.settings.AutoExportPdf = 1;
    AutoExportAfterSave(r, rig.context);
    EXPECT_TRUE(fs::is_regular_file(rig.dir.File("a/b/Export/Excel/T1.xlsx")));
    EXPECT_EQ(ReadText(args),
              rig.dir.File("install dir/tkanreport.mrt") + "\n" + rig.dir.File("share/tkan/tkandata.xsd") + "\n" +
                  rig.dir.File("tmp/tkan/autoexport.xml") + "\n" + rig.dir.File("a/b/Export/PDF/T1.pdf") + "\n");
    EXPECT_NE(ReadText(rig.dir.File("tmp/tkan/autoexport.xml")).find("<filename>T1.tst-tkan</filename>"),
              std::string::npos);
    EXPECT_TRUE(fs::is_directory(rig.dir.File("a/b/Export/PDF")));
    EXPECT_EQ(rig.busy, (std::vector<bool>{true, false}));
    EXPECT_TRUE(rig.prompter.shown.empty());
}

TEST(AutoExportTest, ExporterFailuresAreShown)
{
    ExportRig rig;
    TestRecord r;
    rig.FillRecord(r);
    rig.settings.AutoExportPdf = 1;
    AutoExportAfterSave(r, rig.context);
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{"Unable to generate report"});

    WriteFakeExporter(rig.settings.exporterPath, rig.dir.File("args.txt"), 3);
    // A path with quotes and blanks reaches the exporter as one argument.
    EXPECT_EQ(RunReportExporter("t \"q\".mrt", "s.xsd", "x y.xml", "p.pdf", rig.context), 0);
    EXPECT_EQ(rig.prompter.Texts().back(), "Error generating report, error=3");
    EXPECT_EQ(ReadText(rig.dir.File("args.txt")), rig.dir.File("install dir/t \"q\".mrt") + "\n" +
                                                      rig.dir.File("install dir/s.xsd") + "\nx y.xml\np.pdf\n");

    // An exporter that hangs is ended after two minutes of the program's
    // clock, and reported as the signal that ended it.
    std::ofstream(rig.settings.exporterPath) << "#!/bin/sh\nexec sleep 60\n";
    test::ManualClock clock;
    ReportExportContext hanging{rig.settings, rig.prompter, rig.pump, clock, [] { return std::time_t(0); }, {}};
    EXPECT_EQ(RunReportExporter("t.mrt", "s.xsd", "x.xml", "p.pdf", hanging), 0);
    EXPECT_EQ(rig.prompter.Texts().back(), "Error generating report, error=137");
    EXPECT_GE(clock.now, 120000u);
}

TEST(AutoExportTest, InstalledProgramExportsIntoTheUsersFolders)
{
    test::MemorySettingsStore store;
    CAppInfo info;
    info.FilePath = "/home/kim/tests";
    ExportFolderProbe probe{[](const std::string& folder) { return folder != "/usr/bin"; }, "/tmp/tkan-1000/"};
    info.LoadExporterSettings(store, "/usr/bin", probe);
    EXPECT_EQ(info.exporterPath, "/usr/bin/bxReportExport");
    EXPECT_EQ(info.tempFolder, "/tmp/tkan-1000/");
    EXPECT_EQ(info.AutoExportFolder, "/home/kim/tests/Export");

    info.LoadExporterSettings(store, "/opt/tkan", probe);
    EXPECT_EQ(info.tempFolder, "/opt/tkan/Temp/");
    EXPECT_EQ(info.AutoExportFolder, "/opt/tkan/Export");
}

}  // namespace
}  // namespace tkan
