#include "app/UlkApp.h"

#include <filesystem>
#include <system_error>

#include "app/RecentFileList.h"
#include "device/InstrumentContract.h"
#include "device/SerialCom.h"
#include "platform/Paths.h"
#include "settings/AppInfo.h"

namespace tkan {

CommandLine ParseCommandLine(std::span<const std::string> args)
{
    CommandLine line;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg == "--simulate") {
            line.simulate = true;
        } else if (!optionsEnded && arg.starts_with("--simulate=")) {
            line.simulate = true;
            line.simulatedModel = arg.substr(std::string_view("--simulate=").size());
        } else if (!optionsEnded && arg == "--exit-after-first-paint") {
            line.exitAfterFirstPaint = true;
        } else if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            line.help = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            line.error = "unknown option " + arg;
            return line;
        } else if (!line.file.empty()) {
            line.error = "one test file only";
            return line;
        } else {
            line.file = arg;
        }
    }
    return line;
}

std::string UsageText()
{
    return "usage: tkan [--simulate[=MODEL]] [FILE]\n"
           "\n"
           "  FILE              a test file to open at start (.tst-tkan, .tst-rkz, .test)\n"
           "  --simulate        talk to a built-in simulated instrument on a pseudo-terminal\n"
           "                    instead of the configured port (USB off, settings unchanged)\n"
           "  --simulate=MODEL  the same with another instrument: TKAN (the default),\n"
           "                    TKAN-40, RKZ10P or RKZ40P\n";
}

std::string AbsolutePath(const std::string& path, const std::string& startFolder)
{
    if (path.empty())
        return path;
    std::filesystem::path p(path);
    if (p.is_absolute() || startFolder.empty())
        return path;
    return (std::filesystem::path(startFolder) / p).lexically_normal().string();
}

CUlkApp::CUlkApp(SettingsStore& store, CAppInfo& settings, RecentFileList& recent, CSerialCom& serial)
    : store_(store), settings_(settings), recent_(recent), serial_(serial)
{
    changeFolder = SetCurrentFolder;
}

void CUlkApp::InitInstance(const std::string& startFolder, const std::string& programFolder,
                           const std::optional<std::string>& simulatedPort)
{
    recent_.Load(store_);
    settings_.Load(store_, startFolder);
    if (!settings_.FilePath.empty() && changeFolder)
        changeFolder(settings_.FilePath);

    serial_.Close();
    serial_.portNumber = settings_.ComPort;
    serial_.comDevice = settings_.ComDevice;
    // Found again at the first device command, whatever speed was stored.
    serial_.speed = instrument::kSpeedToDetect;

    simulated_ = simulatedPort.has_value();
    if (simulated_) {
        serial_.comDevice = *simulatedPort;
        settings_.USBEnable = 0;
    }

    settings_.LoadExporterSettings(store_, programFolder);
}

}  // namespace tkan
