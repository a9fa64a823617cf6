#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "device/DirectoryEntry.h"
#include "device/InstrumentContract.h"

namespace tkan {

class CAppInfo;
class CSerialCom;
class Prompter;
class Transport;

// Where the main window keeps its title. The device connection marks it with
// the model it found; the window sets the sink, tests record what it gets.
class TitleSink {
public:
    virtual ~TitleSink() = default;

    virtual std::string CurrentTitle() = 0;
    virtual void SetTitle(const std::string& title) = 0;
};

// What the title carries after a successful identification, before the model.
inline constexpr std::string_view kConnectedDeviceMark = "        [Connected Device: ";

// Record streams are read in blocks of this size: the progress shows between
// blocks, and the serial driver's queue holds more than one.
inline constexpr std::size_t kTransferBlockSize = 8192;

// The tap changer's relays, and the go of a test that drives none.
enum class RelayCommand { Go, Raise, Lower, Release };

// How a record stream ended.
enum class StreamEnd {
    Complete,    // the end marker (not counted in the total), or silence
    Full,        // the buffer filled first; the rest of the stream is unread
    NotSent,     // the download command did not go out
    ReadFailed,  // a read failed or the download was aborted
};

// What a record download is told while it streams, and what it asks.
struct StreamWatch {
    // The bytes received so far, after each block.
    std::function<void(std::size_t total)> progress;
    // Asked after each block; true ends the download as a failed read.
    std::function<bool()> aborted;
};

// The one connection to the instrument. It picks the transport anew at every
// call from the USBEnable setting, so a changed setting takes effect at the
// next command without reconnecting anything; every device command starts
// with Connect, which probes and re-identifies the instrument.
//
// Every exchange waits on the user-interface thread while window handlers run
// from the message pump. A handler must not start a whole exchange of its own
// in the middle of another one, or the two would interleave on the wire: the
// high-level operations (Connect, GetVersion, LoadTest, ReadDirectory) refuse
// with 0, sending nothing, while any exchange is waiting. The primitives stay
// usable from handlers; the test dialogs drive the relays and stop a test
// that way while their poll reads.
//
// Results are 1 for success and 0 for failure; failures are shown through the
// prompter with the caption "Brennix" where they happen.
class RovaDevice {
public:
    // `usb` may be null while the program has no USB transport; with
    // USBEnable set, the instrument is then simply not found.
    RovaDevice(CSerialCom& serial, Transport* usb, const CAppInfo& settings, Prompter& prompter);
    virtual ~RovaDevice() = default;
    RovaDevice(const RovaDevice&) = delete;
    RovaDevice& operator=(const RovaDevice&) = delete;

    void SetUsbTransport(Transport* usb) { usb_ = usb; }
    // Null: identifications leave every title alone.
    void SetTitleSink(TitleSink* sink) { titleSink_ = sink; }

    // Probes the instrument (finding the serial speed when it is 0) and reads
    // its version. With showErrors 0 it fails silently, for menu updates.
    int Connect(int showErrors);
    // The version line into reply, the model flags and the window title.
    // With probeFirst, Connect(1) runs first.
    int GetVersion(std::string& reply, int probeFirst);

    // Serial writes at once; USB holds the text until its next read is posted.
    int SendText(const std::string& text);
    int SendBytes(std::span<const std::uint8_t> data);
    // Clears the abort flag first. The time-out (-1: the transport's default)
    // applies to each character.
    int ReadLine(std::string& text, std::size_t capacity, int timeoutMs);
    // Leaves the abort flag as it is.
    int ReadExact(std::span<std::uint8_t> buffer, int timeoutMs);
    // One step of a record download (see Transport::ReadAvailable); clears
    // the abort flag first.
    int ReadAvailable(std::span<std::uint8_t> transfer, std::size_t totalSoFar, std::size_t capacity,
                      std::size_t& received, int timeoutMs);
    // A read that is waiting fails at its next poll while the flag is set.
    void SetAbort(int flag);
    // The instrument's abort command.
    int SendEscape();

    // --- Test runs ---
    // The start of a test on a TKAN: the current in amperes ("i%02x"), the
    // test type ("t03", "t04" or "t05"), the start command answered by
    // "SURE", then the acknowledgement. 1 when the instrument has started.
    // A reply the instrument should not have given is shown (application
    // title); a send that fails or a reply that does not come fails
    // silently, and so does the start once `cancelled` says so.
    int StartTkanTest(int currentAmperes, std::string_view testType, const std::function<bool()>& cancelled);
    // The start of a static test on an RKZ meter: "T" alone, no reply.
    int StartRkzTest();
    // "G", "U", "D" or "O"; no reply.
    int SendRelay(RelayCommand command);
    // Answers the instrument's "SURE?".
    int Acknowledge();
    // Ends a running test: on a TKAN the stop command, then whatever it
    // still says until it falls silent; on other instruments ESC.
    int StopTest();
    // Reads and drops lines until none has come for the stop's silence.
    void DiscardUntilQuiet(std::size_t capacity);

    // --- Stored records ---
    // Selects stored record `number` for the next download command.
    int LoadTest(int number);
    // Asks for the selected or last recorded test ("R" of an RKZ meter, "r"
    // of the others) and reads it into `buffer` in blocks until its end
    // marker or the stream's silence; `total` says how much arrived. A
    // stream left unread (abort, failed read, full buffer) is read empty
    // before the next command goes out.
    StreamEnd DownloadStream(std::span<std::uint8_t> buffer, std::size_t& total, const StreamWatch& watch);
    // Replaces the directory with the instrument's listing. A listing of more
    // than 100 records keeps the first 100 and still succeeds.
    int ReadDirectory();

    // From the last version reply, also when its read failed.
    int IsRkzMeter = 0;
    int IsTkan = 0;
    int Is40Amp = 0;

    const std::string& VersionText() const { return versionText_; }
    int DirectoryCount() const { return directoryCount_; }
    std::span<const DirectoryEntry> Directory() const
    {
        return std::span(directory_).first(static_cast<std::size_t>(directoryCount_));
    }
    // The main window's title without the device mark; empty until the first
    // identification that changed the title.
    const std::string& BaseTitle() const { return baseTitle_; }
    // True while an exchange waits for the instrument.
    bool IsBusy() const { return busy_ > 0; }

private:
    class Exchange;
    class Silence;

    bool UsingUsb() const;
    // The transport USBEnable selects; null when that is USB and there is none.
    Transport* Active();
    void Say(const std::string& text);

    int ConnectNow(int showErrors);
    int ProbeUsb(int showErrors);
    int ProbeSerial(int showErrors);
    int DetectSerialSpeed(int showErrors);
    bool SerialProbeAnswered();
    int GetVersionNow(std::string& reply);
    void MarkTitle();
    int SendCommandByte(std::string_view command);
    // Reads what is left of a stream, up to its end marker or silence.
    void DrainStream();
    void DrainLeftOverStream();

    CSerialCom& serial_;
    Transport* usb_;
    const CAppInfo& settings_;
    Prompter& prompter_;
    TitleSink* titleSink_ = nullptr;

    std::string versionText_;
    int directoryCount_ = 0;
    std::array<DirectoryEntry, instrument::kMaxDirectoryEntries> directory_{};
    std::string baseTitle_;
    int busy_ = 0;
    bool silent_ = false;
    // A stream the instrument may still be sending, to be read empty
    // before the next command.
    bool streamLeftOver_ = false;
};

}  // namespace tkan
