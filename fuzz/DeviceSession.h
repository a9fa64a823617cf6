#pragma once

// The program's side of a conversation with the instrument, as the fuzz
// target for the device replies drives it: the device connection over a
// USB transport the caller supplies, the transfer dialog's logic and the
// platform seams, each of them inert. The seed generator runs the same
// session against the simulated instrument and keeps what it answered, so
// the seeds always follow the order in which the program reads.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "device/RovaDevice.h"
#include "device/SerialCom.h"
#include "device/Timer.h"
#include "device/Transport.h"
#include "platform/Prompter.h"
#include "platform/SettingsStore.h"
#include "settings/AppInfo.h"
#include "testing/TestingContext.h"
#include "testing/XferDlg.h"

namespace tkan::fuzz {

// A clock that moves only when something sleeps on it, so every delay and
// pause of the program ends at once.
class InstantTicks : public TickSource {
public:
    std::uint32_t TickCount() override { return now_; }
    void Sleep(std::uint32_t durationMs) override { now_ += durationMs == 0 ? 1 : durationMs; }

private:
    std::uint32_t now_ = 1000;
};

// Keeps what the program said and answers every question with Cancel; the
// choosers cancel as well.
class SilentPrompter : public Prompter {
public:
    void Message(MessageStyle, const std::string& text) override { messages.push_back(text); }
    Answer Ask(MessageStyle, const std::string& text, QuestionButtons) override
    {
        messages.push_back(text);
        return Answer::Cancel;
    }

    std::vector<std::string> messages;
};

// Settings that are never there: every read gives its default.
class EmptySettingsStore : public SettingsStore {
public:
    int ReadNumber(const std::string&, const std::string&, int defaultValue) override { return defaultValue; }
    std::string ReadText(const std::string&, const std::string&, const std::string& defaultValue) override
    {
        return defaultValue;
    }
    void WriteNumber(const std::string&, const std::string&, int) override {}
    void WriteText(const std::string&, const std::string&, const std::string&) override {}
    void RemoveValue(const std::string&, const std::string&) override {}
};

// The operation sequences a session can run; the low three bits of the
// selector byte pick one.
enum class Sequence : std::uint8_t {
    Connect = 0,            // Connect(1)
    Version = 1,            // GetVersion with the probe first
    Directory = 2,          // ReadDirectory
    Load = 3,               // LoadTest of record 1
    SingleDownload = 4,     // GetVersion without probe, then the single-record download
    ListDownload = 5,       // the download of stored record 1
    DirectoryThenLoad = 6,  // ReadDirectory, then the download of its first record
    Everything = 7,         // GetVersion, ReadDirectory, LoadTest 2, the download of record 1
};

inline constexpr int kFirstRecord = 1;
inline constexpr int kSecondRecord = 2;

// Bits of the selector above the sequence.
inline constexpr std::uint8_t kLimitDuration = 0x40;  // keep at most 2 s of samples
inline constexpr std::uint8_t kGiveHeader = 0x20;     // the operator typed the header texts

class DeviceSession {
public:
    DeviceSession(Transport& usb, std::string downloadPath)
        : serial(prompter, ticks, pump),
          device(serial, &usb, settings, prompter), context{device, settings, store, prompter, ticks, pump, {}, {}},
          transfer(context), downloadPath_(std::move(downloadPath))
    {
        settings.USBEnable = 1;
        // Never opened while USB is selected; a name that cannot exist keeps
        // it that way should anything fall back to it.
        serial.comDevice = "/nonexistent/fuzz-tty";
    }
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // Runs the sequence the selector picks. Results of every step are kept.
    void Run(std::uint8_t selector)
    {
        transfer.durationLimit = (selector & kLimitDuration) ? 2 : 0;
        if (selector & kGiveHeader) {
            transfer.headerGiven = true;
            transfer.headerTexts = {"Company", "Station", "Circuit", "Maker", "Model", "SN 1", "100", "Operator"};
        }
        std::string reply;
        switch (static_cast<Sequence>(selector & 7)) {
        case Sequence::Connect: results.push_back(device.Connect(1)); break;
        case Sequence::Version: results.push_back(device.GetVersion(reply, 1)); break;
        case Sequence::Directory: results.push_back(device.ReadDirectory()); break;
        case Sequence::Load: results.push_back(device.LoadTest(kFirstRecord)); break;
        case Sequence::SingleDownload:
            results.push_back(device.GetVersion(reply, 0));
            transfer.singleRecord = true;
            transfer.singleFileName = downloadPath_;
            Download(0);
            break;
        case Sequence::ListDownload: Download(kFirstRecord); break;
        case Sequence::DirectoryThenLoad:
            results.push_back(device.ReadDirectory());
            Download(device.DirectoryCount() > 0 ? device.Directory().front().testNumber : kFirstRecord);
            break;
        case Sequence::Everything:
            results.push_back(device.GetVersion(reply, 1));
            results.push_back(device.ReadDirectory());
            results.push_back(device.LoadTest(kSecondRecord));
            Download(kFirstRecord);
            break;
        }
        versionReply = reply;
    }

    const std::string& DownloadPath() const { return downloadPath_; }

    InstantTicks ticks;
    MessagePump pump;
    SilentPrompter prompter;
    EmptySettingsStore store;
    CAppInfo settings;
    CSerialCom serial;
    RovaDevice device;
    TestingContext context;
    CXferDlg transfer;

    std::vector<int> results;
    std::string versionReply;
    std::optional<int> downloadResult;

private:
    void Download(int number)
    {
        downloadResult = transfer.DownloadRecord(number, downloadPath_);
        results.push_back(*downloadResult);
    }

    std::string downloadPath_;
};

}  // namespace tkan::fuzz
