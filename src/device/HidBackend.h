#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace tkan {

// One present HID interface as the platform lists it.
struct HidDeviceInfo {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

// Why a listed interface could not be opened. Lack of permission is told
// apart because the operator can fix it (the udev rule), unlike the rest.
enum class HidOpenProblem { None, NoPermission, Failed };

enum class HidReadResult { Arrived, TimedOut, Failed };

// An opened HID interface. Reports are laid out as the platform's HID class
// driver hands them on Windows: byte 0 is the report ID (0 for a device
// without numbered reports), the report's data follows. A backend whose
// platform drops the ID byte puts it back.
class HidDevice {
public:
    virtual ~HidDevice() = default;  // closes the device

    // Longest input and output report in bytes, report ID included.
    virtual std::size_t InputReportLength() const = 0;
    virtual std::size_t OutputReportLength() const = 0;

    // One whole output report, report ID first.
    virtual bool WriteReport(std::span<const std::uint8_t> report) = 0;

    // Arms the read of the next input report. Whatever the device sends from
    // this call on is kept for WaitRead; the caller writes a command after it
    // so the reply cannot be missed.
    virtual bool BeginRead() = 0;
    // Waits up to timeoutMs (0: only looks) for the armed read, without
    // letting window handlers run. On arrival the report is in report
    // (report ID first) and length says how many bytes it filled.
    virtual HidReadResult WaitRead(std::span<std::uint8_t> report, std::uint32_t timeoutMs, std::size_t& length) = 0;
    // Gives up the armed read; a report that comes later is kept for the
    // next one.
    virtual void CancelRead() = 0;
};

// The platform's HID class: listing the present interfaces and opening one.
class HidBackend {
public:
    virtual ~HidBackend() = default;

    // Every present HID interface; empty when there is none or the listing
    // fails.
    virtual std::vector<HidDeviceInfo> Enumerate() = 0;
    // Null on failure, with the reason in problem.
    virtual std::unique_ptr<HidDevice> Open(const std::string& path, HidOpenProblem& problem) = 0;
};

}  // namespace tkan
