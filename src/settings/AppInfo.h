#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/Colour.h"

namespace tkan {

class SettingsStore;

// Sections of the per-user settings.
inline constexpr char kSettingsSection[] = "Settings";
inline constexpr char kAppInfoSection[] = "AppInfo";
inline constexpr char kListCtrlsSection[] = "ListCtrls";

// The main graph and its two overlays each have their own trace colours and
// visibility.
constexpr int kGraphCount = 3;

struct GraphSettings {
    CanvasColour crCurrent = CanvasRgb(200, 0, 0);
    CanvasColour crResistance = CanvasRgb(0, 0, 200);
    CanvasColour crResistance2 = CanvasRgb(0, 200, 0);
    CanvasColour crResistance3 = CanvasRgb(200, 0, 0);
    CanvasColour crR1S = CanvasRgb(0, 0, 200);
    CanvasColour crR2S = CanvasRgb(0, 200, 0);
    CanvasColour crR3S = CanvasRgb(200, 0, 0);
    int DisplayR1 = 1;
    int DisplayR1S = 1;
    int DisplayR2 = 1;
    int DisplayR2S = 1;
    int DisplayR3 = 1;
    int DisplayR3S = 1;
    int DisplayCurrent = 1;

    bool operator==(const GraphSettings&) const = default;
};

// The value name of a per-graph key for graph n (1 main, 2 and 3 the
// overlays): "crR2S" of overlay 2 is "crR2S3".
std::string GraphValueName(std::string_view key, int n);

// Colours are kept as "0x%x" texts and flags as "%d" texts. Both read back as
// hexadecimal, "0x" optional; false for anything else (empty, garbage, more
// than 32 bits), so the caller keeps its default.
std::string ColourText(CanvasColour colour);
std::string FlagText(int flag);
bool ParseHexText(std::string_view text, std::uint32_t& value);

// What the system says about its folders when the exporter's settings are
// derived. The defaults describe a system where every folder can be written.
struct ExportFolderProbe {
    // Empty: every folder can be written.
    std::function<bool(const std::string& folder)> canWrite;
    // The temporary folder to use; empty: "InstallDir"'s "Temp" folder.
    std::string privateTempFolder;
};

// The program's settings, one object for the run. Load at start, Save when
// Application Setup is accepted; the other Parts read the members directly.
// The folders the defaults derive from are given by the caller, so nothing
// here depends on the process's current folder.
class CAppInfo {
public:
    // Reads every value in the fixed load order. Empty "LogoFile", "FilePath"
    // and "AutoExportDir" take their defaults from `startFolder` (the current
    // folder at start). Making "FilePath" the current folder is the caller's
    // step.
    void Load(SettingsStore& store, const std::string& startFolder);

    // Writes every value in the fixed save order, then flushes the store.
    void Save(SettingsStore& store) const;

    // The report exporter's values, which the program only reads. An absent
    // or empty "InstallDir" is `programFolder`, the folder of the running
    // program; the exporter path and temporary folder derive from it. Where
    // the program folder cannot be written (an installed program) the
    // temporary folder is `probe`'s private one and an absent
    // "AutoExportFolder" is "FilePath"'s "Export" folder, so Load comes first.
    void LoadExporterSettings(SettingsStore& store, const std::string& programFolder,
                              const ExportFolderProbe& probe = {});
    // Application Setup edits the exporter's switches and folder, so that
    // nobody has to edit the settings by hand; "InstallDir" stays as
    // installed.
    void SaveExporterSettings(SettingsStore& store) const;

    int USBEnable = 1;
    int ComPort = 1;
    int ComSpeed = 1;
    int Orientation = 0;  // 0 landscape, 1 portrait
    std::string FilePath;
    int DeviceType = 1;
    int Frequency = 0;
    int DateFormat = 0;  // 0 "(US) MM/DD/YY", 1 "(EU) DD/MM/YY"
    std::string LogoFile;
    std::string AutoExportDir;
    int AutoExport = 0;
    CanvasColour crForeGround = CanvasRgb(0, 0, 0);
    CanvasColour crBackground = CanvasRgb(200, 200, 200);
    CanvasColour crGraphBG = CanvasRgb(200, 200, 200);
    std::array<GraphSettings, kGraphCount> graphs{};  // [0] main, [1] and [2] overlays

    // Serial device the port opens instead of the one its number names;
    // empty = by number.
    std::string ComDevice;

    // The printed report's second footer line (the maker's address, say);
    // empty prints the version line alone.
    std::string ReportFooterLine;

    // What makes a dip of a dynamic test's current a transition (percent
    // below its base) and the limits transitions are judged by (ms, percent,
    // A/s). Kept as typed; an empty limit is no limit.
    std::string TransitionThreshold = "1";
    std::string TransitionMaxMs;
    std::string TransitionMaxRipple;
    std::string TransitionMaxSlope;

    std::string InstallDir;
    int AutoExportXml = 0;
    int AutoExportExcel = 0;
    int AutoExportPdf = 0;
    std::string AutoExportFolder;
    std::string exporterPath;
    std::string tempFolder;  // ends with the separator

    bool operator==(const CAppInfo&) const = default;
};

}  // namespace tkan
