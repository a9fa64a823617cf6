#include "device/hidapi/HidapiBackend.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <hidapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "device/hidapi/HidReportDescriptor.h"

namespace tkan {

namespace {

// hid_read_timeout waits in steps of this length, the same steps the
// transport's own waits are counted in.
constexpr std::uint32_t kReadStepMs = 100;
// What a full-speed device's interrupt endpoint carries, report ID included:
// assumed when the descriptor cannot be read.
constexpr std::size_t kFallbackReportLength = 65;

int g_users = 0;

// The hidraw node's report descriptor, read through the node itself. False
// when it cannot be read; the caller then assumes full-speed reports.
bool ReadReportLengths(const std::string& path, HidReportLengths& lengths)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = false;
    int size = 0;
    auto descriptor = std::make_unique<hidraw_report_descriptor>();
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 && size > 0 && size <= HID_MAX_DESCRIPTOR_SIZE) {
        descriptor->size = static_cast<std::uint32_t>(size);
        if (::ioctl(fd, HIDIOCGRDESC, descriptor.get()) == 0)
            ok = ParseReportDescriptor(std::span(descriptor->value, descriptor->size), lengths);
    }
    ::close(fd);
    return ok;
}

class HidapiDevice final : public HidDevice {
public:
    HidapiDevice(hid_device* device, const HidReportLengths& lengths) : device_(device), lengths_(lengths) {}
    ~HidapiDevice() override { hid_close(device_); }
    HidapiDevice(const HidapiDevice&) = delete;
    HidapiDevice& operator=(const HidapiDevice&) = delete;

    std::size_t InputReportLength() const override { return lengths_.input; }
    std::size_t OutputReportLength() const override { return lengths_.output; }

    bool WriteReport(std::span<const std::uint8_t> report) override
    {
        // hidraw takes the report ID byte first, 0 for unnumbered reports,
        // and drops that 0 before the report goes on the wire.
        int written = hid_write(device_, report.data(), report.size());
        return written >= 0 && static_cast<std::size_t>(written) == report.size();
    }

    // hidraw queues every input report from the moment the node is opened,
    // whether or not a read is waiting, so a read is in effect armed as long
    // as the device is open: a reply to a command written after this call
    // lands in that queue and the next hid_read_timeout finds it.
    bool BeginRead() override { return true; }

    HidReadResult WaitRead(std::span<std::uint8_t> report, std::uint32_t timeoutMs, std::size_t& length) override
    {
        length = 0;
        if (report.size() < 2)
            return HidReadResult::Failed;
        // hidraw hands unnumbered reports over without their ID byte; put the
        // 0 back so reports look the same on every platform.
        std::span<std::uint8_t> into = lengths_.numbered ? report : report.subspan(1);
        std::uint32_t left = timeoutMs;
        do {
            std::uint32_t step = std::min(left, kReadStepMs);
            int got = hid_read_timeout(device_, into.data(), into.size(), static_cast<int>(step));
            if (got < 0)
                return HidReadResult::Failed;
            if (got > 0) {
                if (!lengths_.numbered)
                    report[0] = 0;
                length = static_cast<std::size_t>(got) + (lengths_.numbered ? 0 : 1);
                return HidReadResult::Arrived;
            }
            left -= step;
        } while (left > 0);
        return HidReadResult::TimedOut;
    }

    // Nothing is in flight between two hid_read_timeout calls; a report that
    // comes late waits in the kernel's queue for the next read.
    void CancelRead() override {}

private:
    hid_device* device_;
    HidReportLengths lengths_;
};

}  // namespace

HidapiBackend::HidapiBackend()
{
    ready_ = g_users > 0 || hid_init() == 0;
    if (ready_)
        ++g_users;
}

HidapiBackend::~HidapiBackend()
{
    if (ready_ && --g_users == 0)
        hid_exit();
}

std::vector<HidDeviceInfo> HidapiBackend::Enumerate()
{
    std::vector<HidDeviceInfo> found;
    if (!ready_)
        return found;
    hid_device_info* list = hid_enumerate(0, 0);
    for (hid_device_info* info = list; info; info = info->next) {
        if (info->path)
            found.push_back({info->path, info->vendor_id, info->product_id});
    }
    hid_free_enumeration(list);
    return found;
}

std::unique_ptr<HidDevice> HidapiBackend::Open(const std::string& path, HidOpenProblem& problem)
{
    problem = HidOpenProblem::Failed;
    if (!ready_)
        return nullptr;
    hid_device* device = hid_open_path(path.c_str());
    if (!device) {
        // hidapi does not say why; the node's permissions do.
        if (::access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES)
            problem = HidOpenProblem::NoPermission;
        return nullptr;
    }
    HidReportLengths lengths;
    if (!ReadReportLengths(path, lengths))
        lengths = {kFallbackReportLength, kFallbackReportLength, false};
    problem = HidOpenProblem::None;
    return std::make_unique<HidapiDevice>(device, lengths);
}

}  // namespace tkan
