#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "DeviceConnection.h"
#include "platform/Codepage.h"
#include "platform/SettingsStore.h"
#include "testing/TestingContext.h"
#include "testing/XferDlg.h"

namespace tkan::cli {

namespace {

// The instrument selects a record by three digits.
constexpr std::int64_t kHighestRecordNumber = 999;

// The operator's part in a transfer, played from the command line: the
// folder is the one given, and files already there are overwritten.
class UnattendedPrompter : public Prompter {
public:
    explicit UnattendedPrompter(std::string folder) : folder_(std::move(folder)) {}

    void Message(MessageStyle style, const std::string& text) override
    {
        std::fprintf(stderr, "%s: %s\n", MessageCaption(style), Cp1252ToUtf8(text).c_str());
    }
    Answer Ask(MessageStyle, const std::string&, QuestionButtons) override { return Answer::Yes; }
    std::optional<std::string> ChooseFolder(const std::string&, const std::string&) override { return folder_; }

private:
    std::string folder_;
};

// Where the progress of each record goes: one line on standard error for
// each change of the status or the progress text.
class StderrTransferView : public TransferView {
public:
    void ShowTexts(const std::string& status, const std::string& progress) override
    {
        if (status == status_ && progress == progress_)
            return;
        status_ = status;
        progress_ = progress;
        if (progress.empty())
            std::fprintf(stderr, "Record %s\n", Cp1252ToUtf8(status).c_str());
        else
            std::fprintf(stderr, "Record %s: %s\n", Cp1252ToUtf8(status).c_str(), Cp1252ToUtf8(progress).c_str());
    }
    void ShowProgress(std::size_t, std::size_t) override {}
    void SetTimer(int, int) override {}
    void KillTimer(int) override {}
    void EndDialog(int) override {}

private:
    std::string status_;
    std::string progress_;
};

// The tool keeps no settings between runs.
class NoSettingsStore : public SettingsStore {
public:
    int ReadNumber(const std::string&, const std::string&, int fallback) override { return fallback; }
    std::string ReadText(const std::string&, const std::string&, const std::string& fallback) override
    {
        return fallback;
    }
    void WriteNumber(const std::string&, const std::string&, int) override {}
    void WriteText(const std::string&, const std::string&, const std::string&) override {}
    void RemoveValue(const std::string&, const std::string&) override {}
};

}  // namespace

int RunDownload(const Command& self, std::span<const std::string> args)
{
    std::optional<std::string> devicePath;
    std::optional<std::string> outDir;
    std::optional<std::string> prefix;
    bool usbWanted = false;
    std::vector<int> numbers;

    auto takeValue = [&](std::size_t& i, const std::string& name, std::optional<std::string>& into,
                         std::string& problem) { return TakeOptionValue(args, i, name, into, problem); };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string problem;
        bool ok = true;
        if (arg == "--device" || arg.starts_with("--device=")) {
            ok = takeValue(i, "--device", devicePath, problem);
        } else if (arg == "--out" || arg.starts_with("--out=")) {
            ok = takeValue(i, "--out", outDir, problem);
        } else if (arg == "--prefix" || arg.starts_with("--prefix=")) {
            ok = takeValue(i, "--prefix", prefix, problem);
        } else if (arg == "--usb") {
            usbWanted = true;
        } else if (arg.starts_with("-")) {
            problem = "unknown option " + arg;
            ok = false;
        } else {
            std::optional<std::int64_t> number = ParseCount(arg);
            if (!number || *number > kHighestRecordNumber) {
                problem = "not a record number: \"" + arg + "\"";
                ok = false;
            } else {
                numbers.push_back(static_cast<int>(*number));
            }
        }
        if (!ok)
            return UsageError(self, problem);
    }
    if (numbers.empty())
        return UsageError(self, "no record number given");
    if (!outDir)
        return UsageError(self, "--out is required");
    if (devicePath && usbWanted)
        return UsageError(self, "--device and --usb exclude each other");
    // The prefix names files inside DIR, never a way out of it.
    if (prefix && prefix->find_first_of("/\\") != std::string::npos)
        return UsageError(self, "--prefix must not hold a folder separator");
    std::error_code error;
    if (!std::filesystem::is_directory(*outDir, error)) {
        ReportError("not a folder: " + *outDir);
        return kExitFailure;
    }

    UnattendedPrompter prompter(*outDir);
    DeviceConnection connection(prompter, devicePath, usbWanted);
    // No exporter runs from here: the files are what the caller asked for.
    connection.settings.AutoExport = 0;
    NoSettingsStore store;
    TestingContext context{connection.device, connection.settings, store, prompter,
                           connection.ticks,  connection.pump,     {},    {}};

    CXferDlg transfer(context);
    transfer.SetFilePrefix(prefix ? *prefix : std::string(kDefaultFilePrefix));
    transfer.recordNumbers = numbers;
    StderrTransferView view;
    transfer.OnInitDialog(view);
    transfer.OnTimer(1);

    bool allSaved = transfer.Outcomes().size() == numbers.size();
    for (const CXferDlg::Outcome& outcome : transfer.Outcomes()) {
        if (outcome.result == 1) {
            WriteOutput(outcome.path + "\n");
        } else {
            allSaved = false;
            ReportError("record " + std::to_string(outcome.number) + " was not saved");
        }
    }
    return allSaved ? kExitOk : kExitFailure;
}

}  // namespace tkan::cli
