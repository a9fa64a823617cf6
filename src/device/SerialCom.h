#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "device/InstrumentContract.h"
#include "device/Transport.h"

namespace tkan {

class MessagePump;
class Prompter;
class TickSource;

// The line settings a mode text such as "baud=19200 parity=N data=8 stop=1"
// describes.
struct SerialLineSettings {
    int baud = 0;
    char parity = 'N';  // N, E or O
    int dataBits = 8;   // 5 to 8
    int stopBits = 1;   // 1 or 2
};

std::string BuildModeText(int speed);
// False for a text we cannot put on a POSIX terminal: an unknown key, a
// malformed value, or a speed the terminal interface has no constant for.
bool ParseModeText(const std::string& text, SerialLineSettings& settings);

// The serial port to the instrument, on a POSIX terminal device. All waiting
// blocks in poll() for slices of at most 10 ms and lets window handlers run
// between them, so the processor idles while the instrument is silent and an
// Abort click is seen within one slice.
class CSerialCom : public Transport {
public:
    CSerialCom(Prompter& prompter, TickSource& ticks, MessagePump& pump);
    ~CSerialCom() override;
    CSerialCom(const CSerialCom&) = delete;
    CSerialCom& operator=(const CSerialCom&) = delete;

    // Whoever changes the port, the device or the speed while the port may be
    // open calls Close() first: Open() leaves an open port as it is.
    int portNumber = 1;
    // The "ComDevice" setting: when not empty it names the device to open
    // instead of the one the port number maps to.
    std::string comDevice;
    // 0: still to be detected by the device connection.
    int speed = instrument::kInitialSerialSpeed;
    // After a carriage return, the line reader consumes one more byte.
    int skipLineFeed = 1;
    // 0 while the device connection probes silently: the port's own
    // failures are then not shown either.
    int showErrors = 1;

    // comDevice, or /dev/ttyS<n-1> for port n (COM1 is /dev/ttyS0).
    std::string DeviceName() const;
    bool IsOpen() const override { return fd_ >= 0; }

    int Open() override;
    int Close() override;
    // Bytes in the driver's receive queue; 0 when closed or the query fails.
    unsigned BytesWaiting();
    int PurgeInput() override;
    // Discards unread input first, so a late reply to an earlier command
    // cannot be taken for the answer to this one; but not while a read is
    // waiting, because then the input is the rest of the reply being read
    // (a relay or stop command sent from a window handler mid-line).
    int Write(std::span<const std::uint8_t> data) override;
    int SendText(const std::string& text) override;
    // Waits for at least one byte, then returns what is queued, up to the
    // buffer's size. Silence for the time-out is success with received 0.
    int ReadSome(std::span<std::uint8_t> buffer, std::size_t& received, int timeoutMs);
    // The time-out covers the whole read.
    int ReadExact(std::span<std::uint8_t> buffer, int timeoutMs) override;
    int ReadAvailable(std::span<std::uint8_t> transfer, std::size_t totalSoFar, std::size_t capacity,
                      std::size_t& received, int timeoutMs) override;

    void SetAbort(int flag) override { abort_ = flag; }
    int AbortRequested() const override { return abort_; }

protected:
    // The line feed after a carriage return gets the default time-out,
    // whatever the line's own, and is not read at all with skipLineFeed
    // cleared.
    std::optional<int> LineFeedTimeout(int lineTimeoutMs) const override;

private:
    enum class Wait { Readable, TimedOut, Lost };
    class ReadWaiting;

    void Warn(const std::string& text);
    bool ApplyLineSettings(const SerialLineSettings& settings);
    // Reads what is queued, up to buffer's size, without waiting: the count
    // read, 0 when nothing is queued, -1 when the link is gone.
    long ReadQueued(std::span<std::uint8_t> buffer);
    // Blocks until input is queued, the slice ends or the link drops.
    Wait WaitForInput(std::uint32_t sliceMs);
    // The port's peer has gone (adapter unplugged, terminal closed): forget
    // the handle so the next operation opens the device afresh.
    void DropLostLink();

    Prompter& prompter_;
    TickSource& ticks_;
    MessagePump& pump_;
    int fd_ = -1;
    int abort_ = 0;
    // Reads under way; more than one when a handler reads inside a read.
    int readsWaiting_ = 0;
};

}  // namespace tkan
