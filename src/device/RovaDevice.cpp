#include "device/RovaDevice.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "device/SerialCom.h"
#include "device/Transport.h"
#include "platform/Prompter.h"
#include "records/HeaderFields.h"
#include "settings/AppInfo.h"

namespace tkan {

namespace {

// Replies to the test-start commands are read into lines of this size.
constexpr std::size_t kReplyLineCapacity = 128;

constexpr char kCantSend[] = "Can't send data to device";
constexpr char kNotAvailable[] = "Device not available";
constexpr char kNoSpeedFound[] = "Unable to auto-detect baud rate, or device is not available";

std::span<const std::uint8_t> AsBytes(std::string_view text)
{
    return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = LowerAscii(c);
    return lower;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

bool Contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

std::string Cut(std::string_view text)
{
    return std::string(text.substr(0, kDirectoryTextLength));
}

// The record number after a "#": leading blanks skipped, a sign allowed,
// digits up to the first other character. Anything unreadable, or too large
// for the entry, is 0.
int EntryNumber(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    int number = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    (void)end;
    return error == std::errc() ? number : 0;
}

// True when the stream's end marker stands in `data` at `at`.
bool MarkerAt(std::span<const std::uint8_t> data, std::size_t at)
{
    const std::string_view marker = instrument::kStreamEndMarker;
    return at <= data.size() && data.size() - at >= marker.size() &&
           std::equal(marker.begin(), marker.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                      [](char m, std::uint8_t b) { return static_cast<std::uint8_t>(m) == b; });
}

bool EndsWithMarker(std::span<const std::uint8_t> data)
{
    const std::size_t length = instrument::kStreamEndMarker.size();
    return data.size() >= length && MarkerAt(data, data.size() - length);
}

// An instrument with nothing to send over USB: its end marker in the first
// report, where the bulk read does not look for it, then zero fill.
bool OnlyEndMarker(std::span<const std::uint8_t> data)
{
    return MarkerAt(data, 0) &&
           std::all_of(data.begin() + static_cast<std::ptrdiff_t>(instrument::kStreamEndMarker.size()), data.end(),
                       [](std::uint8_t b) { return b == 0; });
}

std::string CurrentCommand(int amperes)
{
    std::array<char, 16> command{};
    std::snprintf(command.data(), command.size(), instrument::kTestCurrentFormat,
                  static_cast<unsigned>(std::clamp(amperes, 0, 255)));
    return command.data();
}

std::string LoadCommand(int number)
{
    std::array<char, 32> command{};
    std::snprintf(command.data(), command.size(), instrument::kLoadCommandFormat, number);
    return command.data();
}

// A window title that already carries the device mark (a main window that set
// its title from an earlier run's text, say) must not get a second one.
std::string WithoutDeviceMark(const std::string& title)
{
    auto mark = title.find(kConnectedDeviceMark);
    return mark == std::string::npos ? title : title.substr(0, mark);
}

void StoreKeyValue(DirectoryEntry& entry, std::string_view line)
{
    auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return;
    std::string_view key = line.substr(0, equals);
    std::string value = Cut(line.substr(equals + 1));
    for (const HeaderFieldInfo& field : kHeaderFields) {
        if (EqualsIgnoringCase(key, field.key)) {
            entry.header.*field.member = std::move(value);
            return;
        }
    }
    if (EqualsIgnoringCase(key, "KNEE"))
        entry.kneeText = std::move(value);
}

}  // namespace

// Marks an exchange as waiting for as long as it is in scope.
class RovaDevice::Exchange {
public:
    explicit Exchange(RovaDevice& device) : device_(device) { ++device_.busy_; }
    ~Exchange() { --device_.busy_; }
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

private:
    RovaDevice& device_;
};

// Keeps every message of the connection and of the serial port from the
// operator for as long as it is in scope.
class RovaDevice::Silence {
public:
    Silence(RovaDevice& device, bool active)
        : device_(device), wasSilent_(device.silent_), portShowed_(device.serial_.showErrors)
    {
        if (!active)
            return;
        device_.silent_ = true;
        device_.serial_.showErrors = 0;
    }
    ~Silence()
    {
        device_.silent_ = wasSilent_;
        device_.serial_.showErrors = portShowed_;
    }
    Silence(const Silence&) = delete;
    Silence& operator=(const Silence&) = delete;

private:
    RovaDevice& device_;
    bool wasSilent_;
    int portShowed_;
};

RovaDevice::RovaDevice(CSerialCom& serial, Transport* usb, const CAppInfo& settings, Prompter& prompter)
    : serial_(serial), usb_(usb), settings_(settings), prompter_(prompter)
{
}

bool RovaDevice::UsingUsb() const
{
    return settings_.USBEnable != 0;
}

Transport* RovaDevice::Active()
{
    if (UsingUsb())
        return usb_;
    return &serial_;
}

void RovaDevice::Say(const std::string& text)
{
    if (silent_)
        return;
    prompter_.Message(MessageStyle::Brennix, text);
}

// --- Identification --------------------------------------------------------

int RovaDevice::Connect(int showErrors)
{
    if (IsBusy())
        return 0;
    Exchange exchange(*this);
    // The menus probe each time they open. Whatever that probe meets (no
    // port, a send that fails, a version query unanswered) is theirs to
    // show as a grey item, not as a message.
    Silence silence(*this, showErrors == 0);
    return ConnectNow(showErrors);
}

int RovaDevice::ConnectNow(int showErrors)
{
    // An Abort click during an earlier download leaves the flag set, and no
    // probe could succeed until something cleared it. Connect starts every
    // device command, so it is the place where the old abort ends.
    if (Transport* transport = Active())
        transport->SetAbort(0);
    DrainLeftOverStream();

    if (UsingUsb())
        return ProbeUsb(showErrors);
    if (serial_.speed == instrument::kSpeedToDetect)
        return DetectSerialSpeed(showErrors);
    return ProbeSerial(showErrors);
}

int RovaDevice::ProbeUsb(int showErrors)
{
    std::string line;
    bool present = usb_ && usb_->Open() && usb_->SendText(std::string(instrument::kUsbProbe)) &&
                   usb_->ReadLine(line, instrument::kVersionLineCapacity, instrument::kDefaultTimeout);
    if (!present) {
        if (showErrors) {
            // An instrument that is there but may not be opened is the one
            // case the operator can fix; say how below the usual text.
            std::string hint = usb_ ? usb_->UnavailableHint() : std::string();
            Say(hint.empty() ? std::string(kNotAvailable) : std::string(kNotAvailable) + "\n" + hint);
        }
        return 0;
    }
    std::string version;
    GetVersionNow(version);
    return 1;
}

bool RovaDevice::SerialProbeAnswered()
{
    std::array<std::uint8_t, instrument::kProbeReplyLength> reply{};
    return serial_.ReadExact(reply, instrument::kProbeTimeoutMs) == 1;
}

int RovaDevice::ProbeSerial(int showErrors)
{
    if (!serial_.Open())
        return 0;
    if (!serial_.Write(AsBytes(instrument::kSerialProbe))) {
        if (showErrors)
            Say(kCantSend);
        return 0;
    }
    if (!SerialProbeAnswered()) {
        if (showErrors)
            Say(kNotAvailable);
        return 0;
    }
    std::string version;
    GetVersionNow(version);
    return 1;
}

int RovaDevice::DetectSerialSpeed(int showErrors)
{
    for (int speed : instrument::kSerialSpeeds) {
        // Open() keeps an open port's line settings, so each speed needs a
        // fresh open.
        serial_.Close();
        serial_.speed = speed;
        if (serial_.Open() && serial_.Write(AsBytes(instrument::kSerialProbe)) && SerialProbeAnswered()) {
            std::string version;
            GetVersionNow(version);
            return 1;
        }
    }
    serial_.Close();
    serial_.speed = instrument::kSpeedToDetect;
    if (showErrors)
        Say(kNoSpeedFound);
    return 0;
}

int RovaDevice::GetVersion(std::string& reply, int probeFirst)
{
    reply.clear();
    if (IsBusy())
        return 0;
    Exchange exchange(*this);
    if (probeFirst && !ConnectNow(1))
        return 0;
    DrainLeftOverStream();
    return GetVersionNow(reply);
}

int RovaDevice::GetVersionNow(std::string& reply)
{
    reply.clear();
    // Flags and text always describe the same reply, even a failed one.
    IsRkzMeter = 0;
    IsTkan = 0;
    Is40Amp = 0;
    versionText_.clear();

    int sent = UsingUsb() ? SendText(std::string(instrument::kVersionCommand))
                          : SendBytes(AsBytes(instrument::kVersionCommand));
    if (!sent) {
        Say("Can't send data to device (getversion)");
        return 0;
    }
    int read = ReadLine(reply, instrument::kVersionLineCapacity, instrument::kDefaultTimeout);
    versionText_ = reply;

    IsRkzMeter = (Contains(reply, instrument::kRkz10Model) || Contains(reply, instrument::kRkz40Model)) ? 1 : 0;
    if (Contains(reply, instrument::kTkanModel)) {
        IsTkan = 1;
        Is40Amp = Contains(reply, instrument::kFortyAmpMarker) ? 1 : 0;
    }
    if (!read)
        return 0;
    MarkTitle();
    return 1;
}

void RovaDevice::MarkTitle()
{
    if (!titleSink_)
        return;
    if (baseTitle_.empty())
        baseTitle_ = WithoutDeviceMark(titleSink_->CurrentTitle());
    // Whatever is not a TKAN is labelled RKZ, the other instrument family.
    std::string title = baseTitle_;
    title += kConnectedDeviceMark;
    title += IsTkan ? " TKAN" : " RKZ";
    title += "]";
    titleSink_->SetTitle(title);
}

// --- Primitives ------------------------------------------------------------

int RovaDevice::SendText(const std::string& text)
{
    DrainLeftOverStream();
    Transport* transport = Active();
    if (!transport || !transport->SendText(text)) {
        Say(kCantSend);
        return 0;
    }
    return 1;
}

int RovaDevice::SendBytes(std::span<const std::uint8_t> data)
{
    DrainLeftOverStream();
    Transport* transport = Active();
    if (transport && transport->Write(data))
        return 1;
    // Over USB a write fails when the operator aborted; that needs no message.
    if (!(UsingUsb() && transport && transport->AbortRequested()))
        Say(kCantSend);
    return 0;
}

int RovaDevice::ReadLine(std::string& text, std::size_t capacity, int timeoutMs)
{
    text.clear();
    Transport* transport = Active();
    if (!transport)
        return 0;
    transport->SetAbort(0);
    Exchange exchange(*this);
    return transport->ReadLine(text, capacity, timeoutMs);
}

int RovaDevice::ReadExact(std::span<std::uint8_t> buffer, int timeoutMs)
{
    Transport* transport = Active();
    if (!transport)
        return 0;
    Exchange exchange(*this);
    return transport->ReadExact(buffer, timeoutMs);
}

int RovaDevice::ReadAvailable(std::span<std::uint8_t> transfer, std::size_t totalSoFar, std::size_t capacity,
                              std::size_t& received, int timeoutMs)
{
    received = 0;
    Transport* transport = Active();
    if (!transport)
        return 0;
    transport->SetAbort(0);
    Exchange exchange(*this);
    return transport->ReadAvailable(transfer, totalSoFar, capacity, received, timeoutMs);
}

void RovaDevice::SetAbort(int flag)
{
    if (Transport* transport = Active())
        transport->SetAbort(flag);
}

int RovaDevice::SendEscape()
{
    const std::array<std::uint8_t, 1> escape = {instrument::kEscape};
    return SendBytes(escape);
}

int RovaDevice::SendCommandByte(std::string_view command)
{
    return SendBytes(AsBytes(command));
}

// --- Test runs ---------------------------------------------------------------

int RovaDevice::StartTkanTest(int currentAmperes, std::string_view testType, const std::function<bool()>& cancelled)
{
    // A command and its reply line. The caller may have given up while the
    // reply was awaited (its dialog closed): then the start goes no further.
    std::string reply;
    auto exchange = [&](const std::string& command) {
        return SendText(command) && ReadLine(reply, kReplyLineCapacity, instrument::kDefaultTimeout) &&
               !(cancelled && cancelled());
    };
    auto refused = [&](const char* text) {
        prompter_.Message(MessageStyle::Tkan, text);
        return 0;
    };

    if (!exchange(CurrentCommand(currentAmperes)))
        return 0;
    if (!reply.empty())
        return refused("Device did not recognize current setting");
    if (!exchange(std::string(testType)))
        return 0;
    if (!reply.empty())
        return refused("Device did not recognize test type");
    if (!exchange(std::string(instrument::kStartCommand)))
        return 0;
    if (!Contains(reply, instrument::kStartConfirmation))
        return refused("Device did not recognize start test command");
    return Acknowledge();
}

int RovaDevice::StartRkzTest()
{
    return SendCommandByte(instrument::kRkzStartCommand);
}

int RovaDevice::SendRelay(RelayCommand command)
{
    switch (command) {
    case RelayCommand::Go: return SendCommandByte(instrument::kGoCommand);
    case RelayCommand::Raise: return SendCommandByte(instrument::kRaiseCommand);
    case RelayCommand::Lower: return SendCommandByte(instrument::kLowerCommand);
    case RelayCommand::Release: return SendCommandByte(instrument::kReleaseCommand);
    }
    return 0;
}

int RovaDevice::Acknowledge()
{
    return SendCommandByte(instrument::kAcknowledge);
}

int RovaDevice::StopTest()
{
    if (!IsTkan)
        return SendEscape();
    int sent = SendText(std::string(instrument::kStopCommand));
    DiscardUntilQuiet(kReplyLineCapacity);
    return sent;
}

void RovaDevice::DiscardUntilQuiet(std::size_t capacity)
{
    std::string line;
    while (ReadLine(line, capacity, instrument::kStopSilenceMs)) {}
}

// --- Stored records --------------------------------------------------------

int RovaDevice::LoadTest(int number)
{
    if (IsBusy())
        return 0;
    Exchange exchange(*this);
    if (!ConnectNow(1))
        return 0;
    if (!SendText(LoadCommand(number))) {
        Say("Can't send data to device (loadtest)");
        return 0;
    }
    std::string reply;
    if (!ReadLine(reply, instrument::kLongLineCapacity, instrument::kLoadTimeoutMs)) {
        Say("Can't read data from device (loadtest)");
        return 0;
    }
    std::string lower = Lower(reply);
    if (Contains(lower, instrument::kLoadRefusedWord)) {
        Say("Can't load test " + std::to_string(number) + ", " + lower);
        return 0;
    }
    return 1;
}

int RovaDevice::ReadDirectory()
{
    if (IsBusy())
        return 0;
    Exchange exchange(*this);
    if (!ConnectNow(1))
        return 0;
    if (!SendText(std::string(instrument::kDirectoryCommand))) {
        Say("Can't send data to device (getdirectory)");
        return 0;
    }

    directoryCount_ = 0;
    directory_.fill(DirectoryEntry{});
    DirectoryEntry* entry = nullptr;  // lines before the first "#" belong to no record
    int lineInEntry = 0;
    for (;;) {
        std::string line;
        if (!ReadLine(line, instrument::kLongLineCapacity, instrument::kDefaultTimeout))
            return 0;
        if (line.empty())
            continue;
        if (EqualsIgnoringCase(line, instrument::kDoneLine))
            return 1;
        if (line.starts_with(instrument::kDirectoryEntryStart)) {
            if (directoryCount_ == instrument::kMaxDirectoryEntries) {
                // The instrument keeps sending the records we have no room
                // for; the tail must not be taken for the next reply.
                DrainStream();
                Say("Directory limit of " + std::to_string(instrument::kMaxDirectoryEntries) + " exceeded");
                return 1;
            }
            entry = &directory_.at(static_cast<std::size_t>(directoryCount_++));
            entry->testNumber = EntryNumber(std::string_view(line).substr(1));
            lineInEntry = 0;
            continue;
        }
        if (!entry)
            continue;
        ++lineInEntry;
        if (line.size() >= 3 && line[2] == '/')
            entry->dateText = Cut(line);
        // The line after the date names the test type; an RKZ meter's second
        // line is something else.
        if (lineInEntry == 2 && !IsRkzMeter)
            entry->typeText = Cut(line);
        StoreKeyValue(*entry, line);
    }
}

StreamEnd RovaDevice::DownloadStream(std::span<std::uint8_t> buffer, std::size_t& total, const StreamWatch& watch)
{
    total = 0;
    Exchange exchange(*this);
    const std::string_view command = IsRkzMeter ? instrument::kRkzDownloadCommand : instrument::kDownloadCommand;
    if (!SendText(std::string(command)))
        return StreamEnd::NotSent;

    for (;;) {
        const std::size_t room = buffer.size() - total;
        if (room == 0) {
            streamLeftOver_ = true;
            return StreamEnd::Full;
        }
        std::size_t received = 0;
        if (!ReadAvailable(buffer, total, std::min(kTransferBlockSize, room), received, instrument::kStreamSilenceMs) ||
            (watch.aborted && watch.aborted())) {
            streamLeftOver_ = true;
            return StreamEnd::ReadFailed;
        }
        // Silence ends the data as the marker does.
        if (received == 0) {
            if (OnlyEndMarker(buffer.first(total)))
                total = 0;
            return StreamEnd::Complete;
        }
        total += received;
        if (watch.progress)
            watch.progress(total);
        if (EndsWithMarker(buffer.first(total))) {
            total -= instrument::kStreamEndMarker.size();
            return StreamEnd::Complete;
        }
    }
}

void RovaDevice::DrainLeftOverStream()
{
    if (streamLeftOver_)
        DrainStream();
}

void RovaDevice::DrainStream()
{
    // Whatever happens below, the stream is not drained twice: a failed read
    // means the link is gone or the operator aborted the drain as well.
    streamLeftOver_ = false;
    Transport* transport = Active();
    // A port closed since took the rest of the stream with it; opening it
    // here could only show its errors a second time.
    if (!transport || !transport->IsOpen())
        return;
    Exchange exchange(*this);
    transport->SetAbort(0);

    // The last bytes of each block are kept in front of the next, so that an
    // end marker split between two blocks is still seen.
    const std::size_t keep = instrument::kStreamEndMarker.size();
    std::vector<std::uint8_t> scratch(keep + kTransferBlockSize);
    std::size_t kept = 0;
    for (;;) {
        std::size_t received = 0;
        if (!transport->ReadAvailable(scratch, kept, kTransferBlockSize, received, instrument::kStreamSilenceMs) ||
            received == 0)
            return;
        const std::size_t end = kept + received;
        if (EndsWithMarker(std::span(scratch).first(end)))
            return;
        kept = std::min(end, keep);
        std::copy(scratch.begin() + static_cast<std::ptrdiff_t>(end - kept),
                  scratch.begin() + static_cast<std::ptrdiff_t>(end), scratch.begin());
    }
}

}  // namespace tkan
