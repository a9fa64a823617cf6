#include "sim/SimHidBackend.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "device/Timer.h"

namespace tkan {

namespace {

constexpr std::uint32_t kForever = std::numeric_limits<std::uint32_t>::max();

// Tick counts wrap; compare them by their signed difference.
bool Before(std::uint32_t a, std::uint32_t b)
{
    return static_cast<std::int32_t>(a - b) < 0;
}

std::size_t PayloadEnd(std::span<const std::uint8_t> report)
{
    std::size_t end = report.size();
    while (end > 1 && report[end - 1] == 0)
        --end;
    return end;
}

}  // namespace

// The instruments' link clock, read from the same tick source the transport
// waits on, widened to 64 bits so that a wrap of the tick count does not send
// the instrument back in time.
class SimHidBackend::TickClock final : public SimClock {
public:
    explicit TickClock(TickSource& ticks) : ticks_(ticks), last_(ticks.TickCount()) {}

    std::int64_t NowMs() const override
    {
        std::uint32_t now = ticks_.TickCount();
        elapsed_ += static_cast<std::uint32_t>(now - last_);
        last_ = now;
        return elapsed_;
    }

private:
    TickSource& ticks_;
    mutable std::uint32_t last_;
    mutable std::int64_t elapsed_ = 0;
};

// An open handle on a simulated device. The device outlives it, so a handle
// kept across an unplug fails its calls instead of dangling.
class SimHidHandle final : public HidDevice {
public:
    explicit SimHidHandle(std::shared_ptr<SimHidDevice> device) : device_(std::move(device)) {}
    ~SimHidHandle() override
    {
        --device_->openHandles_;
        device_->armed_ = false;
    }

    std::size_t InputReportLength() const override { return device_->options_.inputReportLength; }
    std::size_t OutputReportLength() const override { return device_->options_.outputReportLength; }
    bool WriteReport(std::span<const std::uint8_t> report) override { return device_->WriteReport(report); }
    bool BeginRead() override { return device_->BeginRead(); }
    HidReadResult WaitRead(std::span<std::uint8_t> report, std::uint32_t timeoutMs, std::size_t& length) override
    {
        return device_->WaitRead(report, timeoutMs, length);
    }
    void CancelRead() override { device_->CancelRead(); }

private:
    std::shared_ptr<SimHidDevice> device_;
};

SimHidDevice::SimHidDevice(const SimHidOptions& options, std::string path, TickSource& ticks, const SimClock& linkClock)
    : options_(options), path_(std::move(path)), ticks_(ticks), linkClock_(linkClock), nextSlot_(ticks.TickCount())
{
}

SimInstrument& SimHidDevice::AttachInstrument(SimOptions options, std::vector<SimStoredRecord> records)
{
    instrument_ = std::make_unique<SimInstrument>(std::move(options), std::move(records), linkClock_);
    return *instrument_;
}

SimInstrument& SimHidDevice::AttachInstrument(SimOptions options)
{
    auto records = DemoRecordSet(options.model, options.clockStart);
    return AttachInstrument(std::move(options), std::move(records));
}

void SimHidDevice::Inject(std::string_view bytes)
{
    outgoing_.insert(outgoing_.end(), bytes.begin(), bytes.end());
}

std::string SimHidDevice::ReceivedText() const
{
    std::string text;
    for (const WrittenReport& report : written_) {
        if (report.bytes.size() < 2)
            continue;
        std::size_t end = PayloadEnd(report.bytes);
        text.append(report.bytes.begin() + 1, report.bytes.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return text;
}

bool SimHidDevice::WriteReport(std::span<const std::uint8_t> report)
{
    ++writeAttempts_;
    if (!plugged_ || (instrument_ && instrument_->LinkDropped()))
        return false;
    if (goodWritesFirst_ > 0) {
        --goodWritesFirst_;
    } else if (failWrites_ != 0) {
        if (failWrites_ > 0)
            --failWrites_;
        return false;
    }
    // The class driver takes only whole reports of the device's own length;
    // anything else is refused before it reaches the wire.
    if (report.size() != options_.outputReportLength || report.empty() || report[0] != 0)
        return false;

    written_.push_back({std::vector<std::uint8_t>(report.begin(), report.end()), ticks_.TickCount(), armed_});
    if (instrument_ && report.size() > 1) {
        std::size_t end = PayloadEnd(report);
        if (end > 1)
            instrument_->Receive(report.subspan(1, end - 1));
    }
    return true;
}

bool SimHidDevice::BeginRead()
{
    if (!plugged_ || (instrument_ && instrument_->LinkDropped()))
        return false;
    armed_ = true;
    ++readsArmed_;
    return true;
}

void SimHidDevice::Pull(std::size_t wanted)
{
    if (outgoingPos_ == outgoing_.size()) {
        outgoing_.clear();
        outgoingPos_ = 0;
    }
    std::size_t have = outgoing_.size() - outgoingPos_;
    if (!instrument_ || have >= wanted)
        return;
    std::vector<std::uint8_t> more = instrument_->TakeOutput(wanted - have);
    outgoing_.insert(outgoing_.end(), more.begin(), more.end());
}

bool SimHidDevice::MoreToSend()
{
    if (zeroReportDue_ || outgoingPos_ < outgoing_.size())
        return true;
    return instrument_ && instrument_->MsUntilNextEvent() == 0;
}

bool SimHidDevice::TryCut(std::span<std::uint8_t> report, std::size_t& length)
{
    if (silent_ || options_.inputReportLength == 0)
        return false;
    const std::uint32_t now = ticks_.TickCount();
    const std::size_t payload = options_.inputReportLength - 1;
    const bool wasStreaming = streaming_;

    if (!zeroReportDue_)
        Pull(payload);
    if (!zeroReportDue_ && outgoingPos_ == outgoing_.size()) {
        streaming_ = false;
        return false;
    }
    // An endpoint that had nothing to say sends as soon as it has; one that
    // is streaming keeps its report rate without drifting.
    if (!wasStreaming && Before(nextSlot_, now))
        nextSlot_ = now;
    if (Before(now, nextSlot_))
        return false;

    length = std::min(options_.inputReportLength, report.size());
    std::fill(report.begin(), report.begin() + static_cast<std::ptrdiff_t>(length), 0);
    if (zeroReportDue_) {
        zeroReportDue_ = false;
    } else {
        std::size_t count = std::min(payload, outgoing_.size() - outgoingPos_);
        std::size_t fits = length > 1 ? std::min(count, length - 1) : 0;
        std::copy_n(outgoing_.begin() + static_cast<std::ptrdiff_t>(outgoingPos_), fits, report.begin() + 1);
        outgoingPos_ += count;
    }
    nextSlot_ += options_.reportIntervalMs;
    streaming_ = MoreToSend();
    ++reportsSent_;
    return true;
}

std::uint32_t SimHidDevice::MsUntilSomething()
{
    if (silent_)
        return kForever;
    std::uint32_t now = ticks_.TickCount();
    std::uint32_t slotWait = Before(now, nextSlot_) ? nextSlot_ - now : 0;
    if (zeroReportDue_ || outgoingPos_ < outgoing_.size())
        return std::max<std::uint32_t>(slotWait, 1);
    if (instrument_) {
        std::int64_t ms = instrument_->MsUntilNextEvent();
        if (ms >= 0) {
            auto wait = static_cast<std::uint32_t>(std::min<std::int64_t>(ms, kForever - 1));
            return std::max<std::uint32_t>({wait, slotWait, 1});
        }
    }
    return kForever;
}

HidReadResult SimHidDevice::WaitRead(std::span<std::uint8_t> report, std::uint32_t timeoutMs, std::size_t& length)
{
    length = 0;
    // Waiting without an armed read would be a fault in the program: report
    // it the way the platform reports a read on a bad handle.
    if (!armed_)
        return HidReadResult::Failed;
    const std::uint32_t start = ticks_.TickCount();
    for (;;) {
        if (!plugged_ || (instrument_ && instrument_->LinkDropped())) {
            armed_ = false;
            return HidReadResult::Failed;
        }
        if (TryCut(report, length)) {
            armed_ = false;
            return HidReadResult::Arrived;
        }
        std::uint32_t elapsed = ticks_.TickCount() - start;
        if (elapsed >= timeoutMs)
            return HidReadResult::TimedOut;
        std::uint32_t wait = std::min(timeoutMs - elapsed, MsUntilSomething());
        ticks_.Sleep(std::max<std::uint32_t>(wait, 1));
    }
}

SimHidBackend::SimHidBackend(TickSource& ticks) : ticks_(ticks), clock_(std::make_unique<TickClock>(ticks)) {}

SimHidBackend::~SimHidBackend() = default;

const SimClock& SimHidBackend::LinkClock() const
{
    return *clock_;
}

SimHidDevice& SimHidBackend::AddDevice(const SimHidOptions& options)
{
    std::string path = "/dev/hidraw-sim" + std::to_string(devices_.size());
    devices_.push_back(std::make_shared<SimHidDevice>(options, std::move(path), ticks_, *clock_));
    return *devices_.back();
}

SimHidDevice& SimHidBackend::AddInstrument(const SimHidOptions& hid, SimOptions sim)
{
    SimHidDevice& device = AddDevice(hid);
    device.AttachInstrument(std::move(sim));
    return device;
}

std::vector<HidDeviceInfo> SimHidBackend::Enumerate()
{
    ++enumerateCount_;
    std::vector<HidDeviceInfo> found;
    for (const auto& device : devices_) {
        SimInstrument* instrument = device->Instrument();
        if (!device->Plugged() || (instrument && instrument->LinkDropped()))
            continue;
        found.push_back({device->Path(), device->Options().vendorId, device->Options().productId});
    }
    return found;
}

std::unique_ptr<HidDevice> SimHidBackend::Open(const std::string& path, HidOpenProblem& problem)
{
    problem = HidOpenProblem::Failed;
    for (const auto& device : devices_) {
        if (device->Path() != path || !device->Plugged())
            continue;
        if (device->permissionDenied_) {
            problem = HidOpenProblem::NoPermission;
            return nullptr;
        }
        problem = HidOpenProblem::None;
        ++device->openCount_;
        ++device->openHandles_;
        return std::make_unique<SimHidHandle>(device);
    }
    return nullptr;
}

}  // namespace tkan
