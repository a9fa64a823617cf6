#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "device/HidBackend.h"
#include "device/Transport.h"

namespace tkan {

class MessagePump;
class TickSource;

// The udev rule that lets the logged-in user open the instrument's hidraw
// node: where the sources keep it, and the folder it is installed into.
inline constexpr const char* kHidUdevRuleSource = "resources/udev/60-tkan-hid.rules";
inline constexpr const char* kHidUdevRulesFolder = "/etc/udev/rules.d/";

// True for the USB ids of our instruments. The product range is tested on
// the 16-bit value the way the firmware family's ids were allocated:
// (product + 0x7FFF) mod 65536 at most 8, which is 0x8001 to 0x8009.
bool IsInstrumentHidId(std::uint16_t vendorId, std::uint16_t productId);

// The instrument on USB, carrying the same command and reply bytes as the
// serial port inside HID reports. Reports carry no length: an output report
// is the payload and zero fill, an input report's payload ends at its last
// non-zero byte (the bulk reader takes the whole report).
//
// A command text handed to SendText is only queued, and goes out right after
// the next input-report read has been armed, so that the instrument cannot
// answer before we listen.
class HidTransport : public Transport {
public:
    HidTransport(HidBackend& backend, TickSource& ticks, MessagePump& pump);
    ~HidTransport() override;
    HidTransport(const HidTransport&) = delete;
    HidTransport& operator=(const HidTransport&) = delete;

    // Searches for the instrument when not connected; 1 when connected.
    int EnsureOpen();
    int Open() override { return EnsureOpen(); }
    // Drops the device, unread input and queued commands; the next operation
    // searches again.
    int Close() override;
    bool IsConnected() const { return device_ != nullptr; }
    bool IsOpen() const override { return IsConnected(); }

    // Sends now, in reports of at most 60 payload bytes 100 ms apart, trying
    // the whole data up to three times. After the third failure the device is
    // closed.
    int Write(std::span<const std::uint8_t> data) override;
    // Queues; always 1.
    int QueueText(const std::string& text);
    int SendText(const std::string& text) override { return QueueText(text); }
    // Writes and empties the queue, which is emptied even when the write fails.
    int FlushPending();
    bool HasPending() const { return !pending_.empty(); }

    // The time-out applies to each input report; window handlers run every
    // 100 ms of waiting, and the abort flag is looked at then.
    int ReadExact(std::span<std::uint8_t> buffer, int timeoutMs) override;
    // Bulk read of a record stream: whole reports, zero fill included, until
    // the capacity is used or the end marker has arrived (data returned
    // through the marker). Silence for the time-out ends the stream: success,
    // and the device is closed so that the next command searches afresh.
    // Window handlers run between reports and every 100 ms of waiting; the
    // abort flag fails the read then.
    int ReadAvailable(std::span<std::uint8_t> transfer, std::size_t totalSoFar, std::size_t capacity,
                      std::size_t& received, int timeoutMs) override;
    // Drops the rest of the current input report.
    int PurgeInput() override;

    void SetAbort(int flag) override { abort_ = flag; }
    int AbortRequested() const override { return abort_; }

    // When the last search found the instrument but was not allowed to open
    // it: the line telling the operator how to install the udev rule. Empty
    // otherwise.
    std::string UnavailableHint() const override;

    // Of the connected device; empty and 0 while not connected.
    const HidDeviceInfo& ConnectedDevice() const { return connectedInfo_; }
    std::size_t InputReportLength() const { return inputLength_; }
    std::size_t OutputReportLength() const { return outputLength_; }

private:
    enum class Report { Arrived, TimedOut, Failed, Aborted };

    bool Discover();
    bool SendReports(std::span<const std::uint8_t> data);
    // Arms a read, lets a queued command go, then waits for the report in
    // steps with window handlers between them.
    Report ReadReport(int timeoutMs, std::size_t& length);
    bool NextPayloadReport(int timeoutMs);
    void Reset();

    HidBackend& backend_;
    TickSource& ticks_;
    MessagePump& pump_;

    int abort_ = 0;
    std::unique_ptr<HidDevice> device_;
    HidDeviceInfo connectedInfo_;
    std::size_t inputLength_ = 0;
    std::size_t outputLength_ = 0;
    bool permissionDenied_ = false;

    std::vector<std::uint8_t> input_;
    std::size_t remaining_ = 0;
    std::size_t position_ = 0;
    std::string pending_;
};

}  // namespace tkan
