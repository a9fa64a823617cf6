#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/HidBackend.h"
#include "sim/SimClock.h"
#include "sim/SimInstrument.h"

namespace tkan {

class TickSource;

// How a simulated HID interface presents itself. Report lengths count the
// report ID byte, as the HID class reports them.
struct SimHidOptions {
    std::uint16_t vendorId = 0x1666;
    std::uint16_t productId = 0x8001;
    std::size_t inputReportLength = 65;
    std::size_t outputReportLength = 65;
    // A full-speed interrupt endpoint delivers one report a millisecond.
    std::uint32_t reportIntervalMs = 1;
};

// One simulated HID interface, plugged into a SimHidBackend. With an
// instrument attached it carries the simulated instrument's bytes in reports
// the way the firmware does: the payload, then zero fill. It keeps a log of
// what the program did to it, and misbehaves on request.
class SimHidDevice {
public:
    struct WrittenReport {
        std::vector<std::uint8_t> bytes;  // the whole report, report ID first
        std::uint32_t tick = 0;           // when it was written
        bool readArmed = false;           // an input read was waiting then
    };

    SimHidDevice(const SimHidOptions& options, std::string path, TickSource& ticks, const SimClock& linkClock);
    SimHidDevice(const SimHidDevice&) = delete;
    SimHidDevice& operator=(const SimHidDevice&) = delete;

    const SimHidOptions& Options() const { return options_; }
    const std::string& Path() const { return path_; }

    // The simulated instrument behind the interface, on the backend's clock.
    SimInstrument& AttachInstrument(SimOptions options, std::vector<SimStoredRecord> records);
    SimInstrument& AttachInstrument(SimOptions options = {});
    SimInstrument* Instrument() { return instrument_.get(); }

    // --- Faults ---
    // An unplugged device is not listed, and an open one fails every call.
    void Unplug() { plugged_ = false; }
    void Plug() { plugged_ = true; }
    bool Plugged() const { return plugged_; }
    // Listed, but opening it is refused for lack of permission.
    void DenyPermission(bool deny) { permissionDenied_ = deny; }
    // After `after` more good ones, the next `count` report writes fail; a
    // negative count fails them all.
    void FailWrites(int count, int after = 0)
    {
        failWrites_ = count;
        goodWritesFirst_ = after;
    }
    // The next input report is all zero.
    void SendZeroReport() { zeroReportDue_ = true; }
    // No input report comes while silent; the instrument still hears.
    void SetSilent(bool silent) { silent_ = silent; }
    // Bytes sent ahead of anything the instrument says, as if it had said them.
    void Inject(std::string_view bytes);

    // --- What the program did ---
    const std::vector<WrittenReport>& Written() const { return written_; }
    // The payload bytes of every report written, in order, as the firmware
    // took them (the zero fill dropped).
    std::string ReceivedText() const;
    int OpenCount() const { return openCount_; }
    bool IsOpen() const { return openHandles_ > 0; }
    int ReadsArmed() const { return readsArmed_; }
    int ReportsSent() const { return reportsSent_; }
    // Every report write tried, refused ones included.
    int WriteAttempts() const { return writeAttempts_; }

private:
    friend class SimHidHandle;
    friend class SimHidBackend;

    bool WriteReport(std::span<const std::uint8_t> report);
    bool BeginRead();
    HidReadResult WaitRead(std::span<std::uint8_t> report, std::uint32_t timeoutMs, std::size_t& length);
    void CancelRead() { armed_ = false; }
    bool TryCut(std::span<std::uint8_t> report, std::size_t& length);
    void Pull(std::size_t wanted);
    bool MoreToSend();
    std::uint32_t MsUntilSomething();

    SimHidOptions options_;
    std::string path_;
    TickSource& ticks_;
    const SimClock& linkClock_;
    std::unique_ptr<SimInstrument> instrument_;

    bool plugged_ = true;
    bool permissionDenied_ = false;
    int failWrites_ = 0;
    int goodWritesFirst_ = 0;
    bool zeroReportDue_ = false;
    bool silent_ = false;

    std::vector<std::uint8_t> outgoing_;  // taken from the instrument, not yet in a report
    std::size_t outgoingPos_ = 0;
    std::uint32_t nextSlot_ = 0;  // tick of the next report the endpoint may send
    bool streaming_ = false;      // the last report left more behind it

    bool armed_ = false;
    int openCount_ = 0;
    int openHandles_ = 0;
    int readsArmed_ = 0;
    int reportsSent_ = 0;
    int writeAttempts_ = 0;
    std::vector<WrittenReport> written_;
};

// The HID class as the simulated instruments present it, in-process: the
// program's HID transport talks to it as it would to hidapi. Time is the
// tick source's, so a test that moves a manual clock moves the instrument too.
class SimHidBackend : public HidBackend {
public:
    explicit SimHidBackend(TickSource& ticks);
    ~SimHidBackend() override;

    SimHidDevice& AddDevice(const SimHidOptions& options = {});
    // A device with the simulated instrument attached.
    SimHidDevice& AddInstrument(const SimHidOptions& hid = {}, SimOptions sim = {});

    std::vector<HidDeviceInfo> Enumerate() override;
    std::unique_ptr<HidDevice> Open(const std::string& path, HidOpenProblem& problem) override;

    int EnumerateCount() const { return enumerateCount_; }
    // The clock the attached instruments run on.
    const SimClock& LinkClock() const;

private:
    class TickClock;

    TickSource& ticks_;
    std::unique_ptr<TickClock> clock_;
    std::vector<std::shared_ptr<SimHidDevice>> devices_;
    int enumerateCount_ = 0;
};

}  // namespace tkan
