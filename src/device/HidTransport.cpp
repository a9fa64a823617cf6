#include "device/HidTransport.h"

#include <algorithm>
#include <cstring>

#include "device/InstrumentContract.h"
#include "device/Timer.h"

namespace tkan {

namespace {

// The firmware takes commands in pieces of at most this many bytes, and
// needs a pause between two pieces to digest the first.
constexpr std::size_t kChunkBytes = 60;
constexpr std::uint32_t kChunkPauseMs = 100;
constexpr int kWriteAttempts = 3;
constexpr std::uint32_t kRetryPauseMs = 100;
// A read lets window handlers run this often while it waits for a report.
constexpr std::uint32_t kWaitStepMs = 100;
// Room for the largest input report the firmware family has; a device that
// claims more gets a buffer of its own size.
constexpr std::size_t kMinInputBuffer = 8192;
// The end marker is looked for at least this far back from the end of the
// data, whatever the report length.
constexpr std::size_t kMarkerWindow = 64;

std::uint32_t ResolveTimeout(int timeoutMs)
{
    return static_cast<std::uint32_t>(timeoutMs < 0 ? instrument::kUsbDefaultTimeoutMs : timeoutMs);
}

}  // namespace

bool IsInstrumentHidId(std::uint16_t vendorId, std::uint16_t productId)
{
    auto offset = static_cast<std::uint16_t>(productId + 0x7FFF);
    return vendorId == instrument::kUsbVendorId && offset <= 8;
}

HidTransport::HidTransport(HidBackend& backend, TickSource& ticks, MessagePump& pump)
    : backend_(backend), ticks_(ticks), pump_(pump)
{
}

HidTransport::~HidTransport()
{
    Close();
}

void HidTransport::Reset()
{
    remaining_ = 0;
    position_ = 0;
}

int HidTransport::EnsureOpen()
{
    if (device_)
        return 1;
    Reset();
    return Discover() ? 1 : 0;
}

bool HidTransport::Discover()
{
    permissionDenied_ = false;
    for (const HidDeviceInfo& info : backend_.Enumerate()) {
        if (!IsInstrumentHidId(info.vendorId, info.productId))
            continue;
        HidOpenProblem problem = HidOpenProblem::None;
        std::unique_ptr<HidDevice> device = backend_.Open(info.path, problem);
        if (!device) {
            if (problem == HidOpenProblem::NoPermission)
                permissionDenied_ = true;
            continue;
        }
        // Without room for a report ID and one byte either way, the
        // interface cannot carry our protocol: it is some other function of
        // a composite device.
        if (device->InputReportLength() < 2 || device->OutputReportLength() < 2)
            continue;
        inputLength_ = device->InputReportLength();
        outputLength_ = device->OutputReportLength();
        input_.assign(std::max(inputLength_, kMinInputBuffer), 0);
        device_ = std::move(device);
        connectedInfo_ = info;
        permissionDenied_ = false;
        return true;
    }
    return false;
}

int HidTransport::Close()
{
    device_.reset();
    connectedInfo_ = HidDeviceInfo{};
    inputLength_ = 0;
    outputLength_ = 0;
    Reset();
    pending_.clear();
    return 1;
}

std::string HidTransport::UnavailableHint() const
{
    if (!permissionDenied_)
        return {};
    return std::string("The instrument is plugged in but this user may not open it. Install the udev rule ") +
           kHidUdevRuleSource + ": sudo cp " + kHidUdevRuleSource + " " + kHidUdevRulesFolder +
           " && sudo udevadm control --reload-rules && sudo udevadm trigger";
}

bool HidTransport::SendReports(std::span<const std::uint8_t> data)
{
    // A device with short output reports gets shorter pieces: a 60-byte
    // piece would not fit and its tail would be lost.
    const std::size_t chunk = std::min(kChunkBytes, outputLength_ - 1);
    std::vector<std::uint8_t> report(outputLength_);
    for (std::size_t offset = 0; offset < data.size(); offset += chunk) {
        if (offset > 0)
            Delay(ticks_, kChunkPauseMs);
        std::size_t count = std::min(chunk, data.size() - offset);
        std::fill(report.begin(), report.end(), 0);
        report[0] = instrument::kUsbReportId;
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(offset), count, report.begin() + 1);
        if (!device_ || !device_->WriteReport(report))
            return false;
    }
    return true;
}

int HidTransport::Write(std::span<const std::uint8_t> data)
{
    if (!EnsureOpen())
        return 0;
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
        if (attempt > 0)
            Delay(ticks_, kRetryPauseMs);
        // A repeated attempt starts again from the first byte: the firmware
        // drops a command whose pieces did not all arrive.
        if (SendReports(data))
            return 1;
    }
    Close();
    return 0;
}

int HidTransport::QueueText(const std::string& text)
{
    pending_ += text;
    return 1;
}

int HidTransport::FlushPending()
{
    if (pending_.empty())
        return 1;
    std::string text;
    text.swap(pending_);
    auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    return Write(bytes);
}

HidTransport::Report HidTransport::ReadReport(int timeoutMs, std::size_t& length)
{
    length = 0;
    if (!device_)
        return Report::Failed;
    std::fill(input_.begin(), input_.end(), 0);
    if (!device_->BeginRead()) {
        Close();
        return Report::Failed;
    }
    // The read is armed: only now may the queued command go, or the reply
    // could come before anyone listens. Writing it may close the device.
    FlushPending();
    if (!device_)
        return Report::Failed;

    std::uint32_t left = ResolveTimeout(timeoutMs);
    for (;;) {
        std::uint32_t step = std::min(left, kWaitStepMs);
        HidReadResult result = device_->WaitRead(input_, step, length);
        if (result == HidReadResult::Arrived) {
            length = std::min(length, input_.size());
            return Report::Arrived;
        }
        if (result == HidReadResult::Failed) {
            // The device has gone (unplugged, reset): forget it, so the next
            // command searches again instead of failing on a dead handle.
            Close();
            return Report::Failed;
        }
        pump_.PumpWaitingMessages();
        if (!device_)  // a handler closed the link
            return Report::Failed;
        if (abort_) {
            device_->CancelRead();
            return Report::Aborted;
        }
        left -= step;
        if (left == 0) {
            device_->CancelRead();
            return Report::TimedOut;
        }
    }
}

bool HidTransport::NextPayloadReport(int timeoutMs)
{
    Reset();
    std::size_t length = 0;
    if (ReadReport(timeoutMs, length) != Report::Arrived)
        return false;
    // The payload runs to the last non-zero byte, so a zero inside a reply
    // is handed out where it stands and nothing after it is lost.
    std::size_t end = length;
    while (end > 1 && input_[end - 1] == 0)
        --end;
    position_ = 1;
    remaining_ = end > 1 ? end - 1 : 0;
    return remaining_ > 0;
}

int HidTransport::ReadExact(std::span<std::uint8_t> buffer, int timeoutMs)
{
    std::size_t got = 0;
    while (got < buffer.size()) {
        if (remaining_ == 0 && !NextPayloadReport(timeoutMs))
            return 0;
        std::size_t count = std::min(buffer.size() - got, remaining_);
        std::memcpy(buffer.data() + got, input_.data() + position_, count);
        position_ += count;
        remaining_ -= count;
        got += count;
    }
    return 1;
}

int HidTransport::ReadAvailable(std::span<std::uint8_t> transfer, std::size_t totalSoFar, std::size_t capacity,
                                std::size_t& received, int timeoutMs)
{
    received = 0;
    if (!EnsureOpen())
        return 0;

    const std::size_t start = std::min(totalSoFar, transfer.size());
    const std::size_t limit = start + std::min(capacity, transfer.size() - start);
    const std::span<const std::uint8_t> marker(
        reinterpret_cast<const std::uint8_t*>(instrument::kStreamEndMarker.data()),
        instrument::kStreamEndMarker.size());

    std::size_t end = start;
    while (end < limit) {
        if (remaining_ == 0) {
            // Window handlers run between reports as well as while one is
            // awaited, so Abort acts at once even when an instrument trickles
            // its reports and the block never fills.
            if (end > start) {
                pump_.PumpWaitingMessages();
                if (!device_ || abort_)
                    return 0;
            }
            std::size_t length = 0;
            Report result = ReadReport(timeoutMs, length);
            if (result == Report::TimedOut) {
                // Silence ends the stream. The instrument may be stuck in
                // it, so the next command starts from a fresh search.
                Close();
                return 1;
            }
            if (result != Report::Arrived)
                return 0;
            position_ = 1;
            remaining_ = length > 1 ? length - 1 : 0;
            if (remaining_ == 0)
                return 1;
        }

        std::size_t count = std::min(limit - end, remaining_);
        std::memcpy(transfer.data() + end, input_.data() + position_, count);
        position_ += count;
        remaining_ -= count;
        end += count;
        received = end - start;

        // Look for the marker wherever it may overlap what just arrived,
        // but never at the first byte of the transfer.
        if (end >= marker.size()) {
            std::size_t window = std::max(kMarkerWindow, count);
            std::size_t last = end - marker.size();
            std::size_t first = last >= window - 1 ? last - (window - 1) : 0;
            first = std::max<std::size_t>(first, 1);
            for (std::size_t at = last + 1; at-- > first;) {
                if (std::equal(marker.begin(), marker.end(), transfer.begin() + static_cast<std::ptrdiff_t>(at))) {
                    std::size_t dataEnd = at + marker.size();
                    received = dataEnd > start ? dataEnd - start : 0;
                    // What followed the marker in its report is zero fill:
                    // it is not handed to the next read.
                    remaining_ = 0;
                    return 1;
                }
            }
        }
    }
    return 1;
}

int HidTransport::PurgeInput()
{
    Reset();
    return 1;
}

}  // namespace tkan
