#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tkan {

// A byte stream to the instrument with time-outs and an abort flag. It knows
// nothing of commands: the device connection builds the protocol on top, and
// the serial port and the USB HID link both sit behind this, so one protocol
// serves either cable.
//
// Results are 1 for success and 0 for failure. Time-outs are milliseconds;
// a negative time-out means the transport's own default. Texts are
// Windows-1252 bytes.
class Transport {
public:
    virtual ~Transport() = default;

    // Opens the link if it is not open; 1 when it is open afterwards.
    virtual int Open() = 0;
    virtual int Close() = 0;
    virtual bool IsOpen() const = 0;

    // Hands a command text to the link. The serial port writes it now; the
    // USB link holds it until its next read is posted, so that the reply
    // cannot come before anyone listens.
    virtual int SendText(const std::string& text) = 0;
    // Writes the bytes now.
    virtual int Write(std::span<const std::uint8_t> data) = 0;

    // One reply line ended by a carriage return, which is dropped along with
    // the line feed after it; NUL bytes become blanks. The time-out applies
    // to each character. Fails when capacity - 1 characters arrive without a
    // carriage return; the characters read so far stay in text. Read a byte
    // at a time through ReadExact, the same way on every link.
    int ReadLine(std::string& text, std::size_t capacity, int timeoutMs);
    // Exactly buffer.size() bytes.
    virtual int ReadExact(std::span<std::uint8_t> buffer, int timeoutMs) = 0;
    // One step of a bulk download: up to capacity bytes stored at
    // transfer[totalSoFar...] (never beyond the end of transfer); received
    // says how many. Silence for the time-out is success with received 0,
    // which the download takes as the end of the data.
    virtual int ReadAvailable(std::span<std::uint8_t> transfer, std::size_t totalSoFar, std::size_t capacity,
                              std::size_t& received, int timeoutMs) = 0;
    // Drops whatever has been received and not read.
    virtual int PurgeInput() = 0;

    // While set, every waiting read fails at its next poll. Only the caller
    // clears it.
    virtual void SetAbort(int flag) = 0;
    virtual int AbortRequested() const = 0;

    // When the instrument could not be reached for a reason the operator can
    // fix, one line saying how; empty otherwise. It is shown below "Device
    // not available".
    virtual std::string UnavailableHint() const { return {}; }

protected:
    // How long the line reader waits for the line feed that follows a
    // carriage return, given the line's own time-out; none: it does not
    // read one.
    virtual std::optional<int> LineFeedTimeout(int lineTimeoutMs) const { return lineTimeoutMs; }
};

}  // namespace tkan
