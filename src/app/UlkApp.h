#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "settings/ProgramVersion.h"

namespace tkan {

class CAppInfo;
class CSerialCom;
class RecentFileList;
class SettingsStore;

namespace detail {

// Two texts joined at compile time, so that the title is made from the one
// version number.
template <std::size_t A, std::size_t B>
constexpr std::array<char, A + B - 1> Joined(const char (&a)[A], const char (&b)[B])
{
    std::array<char, A + B - 1> joined{};
    for (std::size_t i = 0; i + 1 < A; ++i)
        joined[i] = a[i];
    for (std::size_t i = 0; i < B; ++i)
        joined[A - 1 + i] = b[i];
    return joined;
}

inline constexpr auto kWindowTitleText = Joined("Brennix TKAN Software Version ", kSoftwareVersion);

}  // namespace detail

inline constexpr const char* kWindowTitle = detail::kWindowTitleText.data();
inline constexpr char kApplicationTitle[] = "TKAN";
inline constexpr char kCompanyKey[] = "Brennix";

// What the program was started with: tkan [--simulate[=MODEL]] [FILE].
struct CommandLine {
    bool simulate = false;
    // The instrument --simulate=MODEL names; empty: a TKAN.
    std::string simulatedModel;
    // For the start-up measurement: end once the window has been painted.
    bool exitAfterFirstPaint = false;
    bool help = false;
    std::string file;
    std::string error;  // not empty: the command line was not understood
};

CommandLine ParseCommandLine(std::span<const std::string> args);
std::string UsageText();

// A path given relative to the folder the program was started in; the start
// moves the current folder to the test folder, so relative names are fixed
// against the start folder first.
std::string AbsolutePath(const std::string& path, const std::string& startFolder);

// The start of the program up to the point where the window takes over.
// Nothing here talks to the instrument: the serial port is only told which
// port to open and that its speed is still to be found.
class CUlkApp {
public:
    CUlkApp(SettingsStore& store, CAppInfo& settings, RecentFileList& recent, CSerialCom& serial);

    // The recent-file list, the settings, the current folder, the serial
    // port and the report exporter's settings, in that order. A simulated
    // instrument's terminal replaces the configured port for this run only:
    // USB is off and nothing of it is written to the stored settings.
    void InitInstance(const std::string& startFolder, const std::string& programFolder,
                      const std::optional<std::string>& simulatedPort);

    bool Simulated() const { return simulated_; }

    // Makes the test folder the current one; tests replace it.
    std::function<void(const std::string&)> changeFolder;

private:
    SettingsStore& store_;
    CAppInfo& settings_;
    RecentFileList& recent_;
    CSerialCom& serial_;
    bool simulated_ = false;
};

}  // namespace tkan
