#include "settings/AppInfo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Paths.h"
#include "support/MemorySettingsStore.h"

namespace tkan {
namespace {

using test::MemorySettingsStore;
using Op = MemorySettingsStore::Op;

const std::string kStart = "/home/op/tests";

// The fourteen per-graph names of graph n, in the order they are read and
// written, spelled out rather than derived from the code under test.
std::vector<std::string> GraphNames(int n)
{
    std::vector<std::string> names;
    for (const char* key :
         {"crCurrent", "crResistance", "crResistance2", "crResistance3", "crR1S", "crR2S", "crR3S", "DisplayR1",
          "DisplayR1S", "DisplayR2", "DisplayR2S", "DisplayR3", "DisplayR3S", "DisplayCurrent"})
        names.push_back(key + std::to_string(n));
    return names;
}

std::vector<std::string> WithGraphs(std::vector<std::string> names)
{
    for (int n = 1; n <= 3; ++n)
        for (const std::string& name : GraphNames(n))
            names.push_back(name);
    names.push_back("ComDevice");
    names.push_back("ReportFooterLine");
    for (const char* name : {"TransitionThreshold", "TransitionMaxMs", "TransitionMaxRipple", "TransitionMaxSlope"})
        names.push_back(name);
    return names;
}

TEST(AppInfoTest, FirstStartTakesTheDefaults)
{
    MemorySettingsStore store;
    CAppInfo info;
    info.Load(store, kStart);

    EXPECT_EQ(info.USBEnable, 1);
    EXPECT_EQ(info.ComPort, 1);
    EXPECT_EQ(info.ComSpeed, 1);
    EXPECT_EQ(info.Orientation, 0);
    EXPECT_EQ(info.DeviceType, 1);
    EXPECT_EQ(info.Frequency, 0);
    EXPECT_EQ(info.DateFormat, 0);
    EXPECT_EQ(info.AutoExport, 0);
    EXPECT_EQ(info.FilePath, kStart);
    EXPECT_EQ(info.AutoExportDir, kStart);
    EXPECT_EQ(info.LogoFile, "/home/op/tests/report_logo.bmp");
    EXPECT_EQ(info.ComDevice, "");
    EXPECT_EQ(info.ReportFooterLine, "");
    EXPECT_EQ(info.crForeGround, 0x000000u);
    EXPECT_EQ(info.crBackground, 0xC8C8C8u);
    EXPECT_EQ(info.crGraphBG, 0xC8C8C8u);

    const CanvasColour red = 200, green = 200u << 8, blue = 200u << 16;
    for (const GraphSettings& graph : info.graphs) {
        EXPECT_EQ(graph.crCurrent, red);
        EXPECT_EQ(graph.crResistance, blue);
        EXPECT_EQ(graph.crResistance2, green);
        EXPECT_EQ(graph.crResistance3, red);
        EXPECT_EQ(graph.crR1S, blue);
        EXPECT_EQ(graph.crR2S, green);
        EXPECT_EQ(graph.crR3S, red);
        for (int flag : {graph.DisplayR1, graph.DisplayR1S, graph.DisplayR2, graph.DisplayR2S, graph.DisplayR3,
                         graph.DisplayR3S, graph.DisplayCurrent})
            EXPECT_EQ(flag, 1);
    }

    // Nothing is written by loading.
    EXPECT_TRUE(store.values.empty());
}

TEST(AppInfoTest, StoredFoldersWinOverTheStartFolderAndEmptyOnesDoNot)
{
    MemorySettingsStore store;
    store.Set("Settings", "FilePath", "/data/tests");
    store.Set("Settings", "LogoFile", "");
    store.Set("Settings", "AutoExportDir", "/data/export");
    store.Set("Settings", "ComPort", "3");
    store.Set("Settings", "USBEnable", "not a number");

    CAppInfo info;
    info.Load(store, "/start/");
    EXPECT_EQ(info.FilePath, "/data/tests");
    EXPECT_EQ(info.AutoExportDir, "/data/export");
    EXPECT_EQ(info.LogoFile, "/start/report_logo.bmp");
    EXPECT_EQ(info.ComPort, 3);
    EXPECT_EQ(info.USBEnable, 1);
}

TEST(AppInfoTest, LoadReadsEveryValueOnceInTheFixedOrder)
{
    MemorySettingsStore store;
    CAppInfo info;
    info.Load(store, kStart);

    std::vector<std::string> expected = WithGraphs(
        {"USBEnable", "ComPort", "ComSpeed", "Orientation", "FilePath", "DeviceType", "Frequency", "DateFormat",
         "LogoFile", "AutoExportDir", "AutoExport", "crForeGround", "crBackground", "crGraphBG"});
    std::vector<std::string> read;
    for (const auto& access : store.log) {
        EXPECT_EQ(access.section, "Settings") << access.name;
        EXPECT_TRUE(access.op == Op::ReadNumber || access.op == Op::ReadText) << access.name;
        read.push_back(access.name);
    }
    EXPECT_EQ(read, expected);

    // Colours and flags are texts; the numbers are numbers.
    EXPECT_EQ(store.Names(Op::ReadNumber),
              (std::vector<std::string>{"USBEnable", "ComPort", "ComSpeed", "Orientation", "DeviceType", "Frequency",
                                        "DateFormat", "AutoExport"}));
}

TEST(AppInfoTest, SaveWritesEveryValueOnceInTheFixedOrderAndFlushes)
{
    MemorySettingsStore store;
    CAppInfo info;
    info.Load(store, kStart);
    info.AutoExport = 7;
    info.graphs[0].DisplayR1 = 5;
    store.log.clear();
    info.Save(store);

    std::vector<std::string> expected = WithGraphs(
        {"ComPort", "ComSpeed", "Orientation", "FilePath", "USBEnable", "DeviceType", "Frequency", "DateFormat",
         "LogoFile", "AutoExportDir", "AutoExport", "crForeGround", "crBackground", "crGraphBG"});
    ASSERT_FALSE(store.log.empty());
    EXPECT_EQ(store.log.back().op, Op::Flush);
    std::vector<std::string> written;
    for (const auto& access : store.log) {
        if (access.op == Op::Flush)
            continue;
        EXPECT_EQ(access.section, "Settings") << access.name;
        EXPECT_TRUE(access.op == Op::WriteNumber || access.op == Op::WriteText) << access.name;
        written.push_back(access.name);
    }
    EXPECT_EQ(written, expected);
    EXPECT_EQ(store.Names(Op::WriteNumber),
              (std::vector<std::string>{"ComPort", "ComSpeed", "Orientation", "USBEnable", "DeviceType", "Frequency",
                                        "DateFormat", "AutoExport"}));

    EXPECT_EQ(store.Get("Settings", "crBackground"), "0xc8c8c8");
    EXPECT_EQ(store.Get("Settings", "crForeGround"), "0x0");
    EXPECT_EQ(store.Get("Settings", "DisplayR3S2"), "1");
    // Only 0 and 1 are written, whatever the members hold.
    EXPECT_EQ(store.Get("Settings", "AutoExport"), "1");
    EXPECT_EQ(store.Get("Settings", "DisplayR11"), "1");
}

TEST(AppInfoTest, EveryValueComesBackUnderItsOwnName)
{
    MemorySettingsStore store;
    CAppInfo info;
    info.Load(store, kStart);
    // Distinct values everywhere, so two members sharing a name would show.
    info.USBEnable = 0;
    info.ComPort = 12;
    info.ComSpeed = 4;
    info.Orientation = 1;
    info.FilePath = "/data/t\xe9sts";
    info.DeviceType = 2;
    info.Frequency = 60;
    info.DateFormat = 1;
    info.LogoFile = "/data/logo.bmp";
    info.AutoExportDir = "/data/xls";
    info.AutoExport = 1;
    info.crForeGround = CanvasRgb(255, 255, 255);
    info.crBackground = CanvasRgb(0, 0, 0);
    info.crGraphBG = CanvasRgb(16, 32, 48);
    info.ComDevice = "/dev/ttyUSB0";
    info.graphs[2].crR2S = CanvasRgb(1, 2, 3);
    info.graphs[2].crResistance2 = CanvasRgb(0, 0, 255);
    info.graphs[1].DisplayR2 = 0;
    info.Save(store);

    EXPECT_EQ(store.Get("Settings", "crR2S3"), "0x30201");
    EXPECT_EQ(store.Get("Settings", "crResistance23"), "0xff0000");
    EXPECT_EQ(store.Get("Settings", "crR2S1"), "0xc800");
    EXPECT_EQ(store.Get("Settings", "DisplayR22"), "0");
    EXPECT_EQ(store.Get("Settings", "DisplayR21"), "1");

    // A restart reads them back into the same graphs and no other.
    CAppInfo restarted;
    restarted.Load(store, "/elsewhere");
    EXPECT_EQ(restarted.graphs[2].crR2S, CanvasRgb(1, 2, 3));
    EXPECT_EQ(restarted.graphs[0].crR2S, CanvasRgb(0, 200, 0));
    EXPECT_EQ(restarted.graphs[1].crR2S, CanvasRgb(0, 200, 0));
    EXPECT_EQ(restarted.graphs[1].DisplayR2, 0);
    EXPECT_EQ(restarted.graphs[0].DisplayR2, 1);
    EXPECT_EQ(restarted, info);
}

TEST(AppInfoTest, ColourTextsReadAsHexWithOrWithoutPrefix)
{
    // Pure blue is 16711680, 0xff0000.
    EXPECT_EQ(ColourText(CanvasRgb(0, 0, 255)), "0xff0000");
    EXPECT_EQ(CanvasRgb(0, 0, 255), 16711680u);

    for (const char* text : {"0xff0000", "ff0000", "0XFF0000", "FF0000", " 0xff0000 ", "0x00ff0000"}) {
        MemorySettingsStore store;
        store.Set("Settings", "crGraphBG", text);
        store.Set("Settings", "crR1S2", text);
        CAppInfo info;
        info.Load(store, kStart);
        EXPECT_EQ(info.crGraphBG, 16711680u) << text;
        EXPECT_EQ(info.graphs[1].crR1S, 16711680u) << text;
    }

    // The flags' "%d" texts are read as hexadecimal too.
    for (auto [text, flag] : std::vector<std::pair<const char*, int>>{{"0", 0}, {"1", 1}, {"0x0", 0}, {"10", 1}}) {
        MemorySettingsStore store;
        store.Set("Settings", "DisplayCurrent3", text);
        CAppInfo info;
        info.Load(store, kStart);
        EXPECT_EQ(info.graphs[2].DisplayCurrent, flag) << text;
    }
}

TEST(AppInfoTest, UnreadableColourOrFlagKeepsTheDefault)
{
    for (const char* text :
         {"", "   ", "zz", "0x", "0xg1", "12zz", "-1", "+5", "0x1ffffffff", "123456789", "0x1000000", "\xff\xfe"}) {
        MemorySettingsStore store;
        store.Set("Settings", "crForeGround", text);
        store.Set("Settings", "crResistance1", text);
        store.Set("Settings", "DisplayR2S2", text);
        CAppInfo info;
        info.Load(store, kStart);
        EXPECT_EQ(info.crForeGround, CanvasRgb(0, 0, 0)) << text;
        EXPECT_EQ(info.graphs[0].crResistance, CanvasRgb(0, 0, 200)) << text;
        EXPECT_EQ(info.graphs[1].DisplayR2S, 1) << text;
    }

    // An unreadable value must not spill over into the next one.
    MemorySettingsStore store;
    store.Set("Settings", "crCurrent1", "junk");
    store.Set("Settings", "crResistance1", "0x123456");
    CAppInfo info;
    info.Load(store, kStart);
    EXPECT_EQ(info.graphs[0].crCurrent, CanvasRgb(200, 0, 0));
    EXPECT_EQ(info.graphs[0].crResistance, 0x123456u);
}

TEST(AppInfoTest, ExporterPathsDeriveFromTheInstallFolder)
{
    MemorySettingsStore store;
    CAppInfo info;
    info.LoadExporterSettings(store, "/opt/tkan");
    EXPECT_EQ(info.InstallDir, "/opt/tkan");
    EXPECT_EQ(info.exporterPath, "/opt/tkan/bxReportExport");
    EXPECT_EQ(info.tempFolder, "/opt/tkan/Temp/");
    EXPECT_EQ(info.AutoExportFolder, "/opt/tkan/Export");

    store.Set("Settings", "InstallDir", "/srv/brennix/");
    store.Set("Settings", "AutoExportPdf", "1");
    info.LoadExporterSettings(store, "/opt/tkan");
    EXPECT_EQ(info.exporterPath, "/srv/brennix/bxReportExport");
    EXPECT_EQ(info.tempFolder, "/srv/brennix/Temp/");
    EXPECT_EQ(info.AutoExportFolder, "/srv/brennix/Export");
    EXPECT_EQ(info.AutoExportPdf, 1);

    // An empty install folder is no folder at all, not the current one.
    store.Set("Settings", "InstallDir", "");
    store.Set("Settings", "AutoExportFolder", "/mnt/reports");
    info.LoadExporterSettings(store, "/opt/tkan");
    EXPECT_EQ(info.InstallDir, "/opt/tkan");
    EXPECT_EQ(info.AutoExportFolder, "/mnt/reports");
    EXPECT_EQ(JoinPath("", "b.bmp"), "b.bmp");

    // The program never writes them.
    MemorySettingsStore saved;
    info.Save(saved);
    for (const char* name : {"InstallDir", "AutoExportXml", "AutoExportExcel", "AutoExportPdf", "AutoExportFolder"})
        EXPECT_FALSE(saved.Has("Settings", name)) << name;
}

}  // namespace
}  // namespace tkan
