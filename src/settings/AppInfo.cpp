#include "settings/AppInfo.h"

#include <cstdio>

#include "platform/Paths.h"
#include "platform/SettingsStore.h"

namespace tkan {

namespace {

#ifdef _WIN32
constexpr char kExporterProgram[] = "bxReportExport.exe";
#else
constexpr char kExporterProgram[] = "bxReportExport";
#endif

constexpr CanvasColour kLargestColour = 0xFFFFFF;

struct ColourKey {
    const char* key;
    CanvasColour GraphSettings::*member;
};

struct FlagKey {
    const char* key;
    int GraphSettings::*member;
};

// Per graph, the colours come first and then the flags, in both orders.
constexpr std::array<ColourKey, 7> kGraphColours{{
    {"crCurrent", &GraphSettings::crCurrent},
    {"crResistance", &GraphSettings::crResistance},
    {"crResistance2", &GraphSettings::crResistance2},
    {"crResistance3", &GraphSettings::crResistance3},
    {"crR1S", &GraphSettings::crR1S},
    {"crR2S", &GraphSettings::crR2S},
    {"crR3S", &GraphSettings::crR3S},
}};

constexpr std::array<FlagKey, 7> kGraphFlags{{
    {"DisplayR1", &GraphSettings::DisplayR1},
    {"DisplayR1S", &GraphSettings::DisplayR1S},
    {"DisplayR2", &GraphSettings::DisplayR2},
    {"DisplayR2S", &GraphSettings::DisplayR2S},
    {"DisplayR3", &GraphSettings::DisplayR3},
    {"DisplayR3S", &GraphSettings::DisplayR3S},
    {"DisplayCurrent", &GraphSettings::DisplayCurrent},
}};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int AsFlag(int value)
{
    return value != 0 ? 1 : 0;
}

// A colour that does not fit red, green and blue would reach the painter as
// some other colour, so it is treated like any unreadable text.
void ReadColour(SettingsStore& store, const std::string& name, CanvasColour& colour)
{
    std::uint32_t value = 0;
    if (ParseHexText(store.ReadText(kSettingsSection, name, ""), value) && value <= kLargestColour)
        colour = value;
}

// Flags are written with "%d" and read with "%x"; keeping them 0 or 1 makes
// the two forms agree, so a flag survives any number of saves.
void ReadFlag(SettingsStore& store, const std::string& name, int& flag)
{
    std::uint32_t value = 0;
    if (ParseHexText(store.ReadText(kSettingsSection, name, ""), value))
        flag = value != 0 ? 1 : 0;
}

void ReadGraph(SettingsStore& store, int n, GraphSettings& graph)
{
    for (const ColourKey& entry : kGraphColours)
        ReadColour(store, GraphValueName(entry.key, n), graph.*entry.member);
    for (const FlagKey& entry : kGraphFlags)
        ReadFlag(store, GraphValueName(entry.key, n), graph.*entry.member);
}

void WriteGraph(SettingsStore& store, int n, const GraphSettings& graph)
{
    for (const ColourKey& entry : kGraphColours)
        store.WriteText(kSettingsSection, GraphValueName(entry.key, n), ColourText(graph.*entry.member));
    for (const FlagKey& entry : kGraphFlags)
        store.WriteText(kSettingsSection, GraphValueName(entry.key, n), FlagText(graph.*entry.member));
}

}  // namespace

std::string GraphValueName(std::string_view key, int n)
{
    std::string name(key);
    name += std::to_string(n);
    return name;
}

std::string ColourText(CanvasColour colour)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(colour));
    return text;
}

std::string FlagText(int flag)
{
    return std::to_string(AsFlag(flag));
}

bool ParseHexText(std::string_view text, std::uint32_t& value)
{
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X'))
        i += 2;
    std::size_t firstDigit = i;
    std::uint64_t accumulated = 0;
    for (; i < text.size(); ++i) {
        int digit = HexDigit(text[i]);
        if (digit < 0)
            break;
        accumulated = accumulated * 16 + static_cast<std::uint64_t>(digit);
        if (accumulated > 0xFFFFFFFFu)
            return false;
    }
    if (i == firstDigit)
        return false;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (i != text.size())
        return false;
    value = static_cast<std::uint32_t>(accumulated);
    return true;
}

void CAppInfo::Load(SettingsStore& store, const std::string& startFolder)
{
    USBEnable = store.ReadNumber(kSettingsSection, "USBEnable", 1);
    ComPort = store.ReadNumber(kSettingsSection, "ComPort", 1);
    ComSpeed = store.ReadNumber(kSettingsSection, "ComSpeed", 1);
    Orientation = store.ReadNumber(kSettingsSection, "Orientation", 0);
    FilePath = store.ReadText(kSettingsSection, "FilePath", "");
    DeviceType = store.ReadNumber(kSettingsSection, "DeviceType", 1);
    Frequency = store.ReadNumber(kSettingsSection, "Frequency", 0);
    DateFormat = store.ReadNumber(kSettingsSection, "DateFormat", 0);
    LogoFile = store.ReadText(kSettingsSection, "LogoFile", "");
    AutoExportDir = store.ReadText(kSettingsSection, "AutoExportDir", "");
    AutoExport = store.ReadNumber(kSettingsSection, "AutoExport", 0);
    ReadColour(store, "crForeGround", crForeGround);
    ReadColour(store, "crBackground", crBackground);
    ReadColour(store, "crGraphBG", crGraphBG);
    for (int n = 1; n <= kGraphCount; ++n)
        ReadGraph(store, n, graphs[static_cast<std::size_t>(n - 1)]);
    ComDevice = store.ReadText(kSettingsSection, "ComDevice", "");
    ReportFooterLine = store.ReadText(kSettingsSection, "ReportFooterLine", "");
    TransitionThreshold = store.ReadText(kSettingsSection, "TransitionThreshold", "1");
    TransitionMaxMs = store.ReadText(kSettingsSection, "TransitionMaxMs", "");
    TransitionMaxRipple = store.ReadText(kSettingsSection, "TransitionMaxRipple", "");
    TransitionMaxSlope = store.ReadText(kSettingsSection, "TransitionMaxSlope", "");

    if (LogoFile.empty())
        LogoFile = JoinPath(startFolder, "report_logo.bmp");
    if (FilePath.empty())
        FilePath = startFolder;
    if (AutoExportDir.empty())
        AutoExportDir = startFolder;
}

void CAppInfo::Save(SettingsStore& store) const
{
    store.WriteNumber(kSettingsSection, "ComPort", ComPort);
    store.WriteNumber(kSettingsSection, "ComSpeed", ComSpeed);
    store.WriteNumber(kSettingsSection, "Orientation", Orientation);
    store.WriteText(kSettingsSection, "FilePath", FilePath);
    store.WriteNumber(kSettingsSection, "USBEnable", USBEnable);
    store.WriteNumber(kSettingsSection, "DeviceType", DeviceType);
    store.WriteNumber(kSettingsSection, "Frequency", Frequency);
    store.WriteNumber(kSettingsSection, "DateFormat", DateFormat);
    store.WriteText(kSettingsSection, "LogoFile", LogoFile);
    store.WriteText(kSettingsSection, "AutoExportDir", AutoExportDir);
    store.WriteNumber(kSettingsSection, "AutoExport", AsFlag(AutoExport));
    store.WriteText(kSettingsSection, "crForeGround", ColourText(crForeGround));
    store.WriteText(kSettingsSection, "crBackground", ColourText(crBackground));
    store.WriteText(kSettingsSection, "crGraphBG", ColourText(crGraphBG));
    for (int n = 1; n <= kGraphCount; ++n)
        WriteGraph(store, n, graphs[static_cast<std::size_t>(n - 1)]);
    store.WriteText(kSettingsSection, "ComDevice", ComDevice);
    store.WriteText(kSettingsSection, "ReportFooterLine", ReportFooterLine);
    store.WriteText(kSettingsSection, "TransitionThreshold", TransitionThreshold);
    store.WriteText(kSettingsSection, "TransitionMaxMs", TransitionMaxMs);
    store.WriteText(kSettingsSection, "TransitionMaxRipple", TransitionMaxRipple);
    store.WriteText(kSettingsSection, "TransitionMaxSlope", TransitionMaxSlope);
    store.Flush();
}

void CAppInfo::LoadExporterSettings(SettingsStore& store, const std::string& programFolder,
                                    const ExportFolderProbe& probe)
{
    InstallDir = store.ReadText(kSettingsSection, "InstallDir", "");
    AutoExportXml = store.ReadNumber(kSettingsSection, "AutoExportXml", 0);
    AutoExportExcel = store.ReadNumber(kSettingsSection, "AutoExportExcel", 0);
    AutoExportPdf = store.ReadNumber(kSettingsSection, "AutoExportPdf", 0);
    AutoExportFolder = store.ReadText(kSettingsSection, "AutoExportFolder", "");

    // An empty folder would put the exporter and its temporary files wherever
    // the current folder happens to be.
    if (InstallDir.empty())
        InstallDir = programFolder;
    const bool installDirWritable = !probe.canWrite || probe.canWrite(InstallDir);
    if (AutoExportFolder.empty())
        AutoExportFolder = JoinPath(installDirWritable ? InstallDir : FilePath, "Export");
    exporterPath = JoinPath(InstallDir, kExporterProgram);
    if (installDirWritable || probe.privateTempFolder.empty()) {
        tempFolder = JoinPath(InstallDir, "Temp");
        tempFolder += kPathSeparator;
    } else {
        tempFolder = probe.privateTempFolder;
    }
}

void CAppInfo::SaveExporterSettings(SettingsStore& store) const
{
    store.WriteNumber(kSettingsSection, "AutoExportXml", AsFlag(AutoExportXml));
    store.WriteNumber(kSettingsSection, "AutoExportExcel", AsFlag(AutoExportExcel));
    store.WriteNumber(kSettingsSection, "AutoExportPdf", AsFlag(AutoExportPdf));
    store.WriteText(kSettingsSection, "AutoExportFolder", AutoExportFolder);
    store.Flush();
}

}  // namespace tkan
