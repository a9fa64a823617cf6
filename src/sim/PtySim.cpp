#include "sim/PtySim.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace tkan {

namespace {

// A UART sends a start bit, 8 data bits and a stop bit for every byte.
constexpr double kBitsPerByte = 10;
// Longest burst the pacing lets through after the line was idle; it absorbs
// the scheduler's jitter without letting a stream run ahead of the line.
constexpr double kBurstMs = 20;
// Waits are bounded so that a missed wake-up costs little.
constexpr int kLongestWaitMs = 200;
// Before hanging up on a dropped link: how long the terminal's queue must
// stay empty, and how long a program that reads nothing is waited for.
constexpr int kDrainSettleMs = 20;
constexpr int kDrainLimitMs = 2000;

std::int64_t SteadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SetFlags(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
}

std::string Describe(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

PtySim::PtySim(SimOptions options) : PtySim(options, DemoRecordSet(options.model, options.clockStart)) {}

PtySim::PtySim(SimOptions options, std::vector<SimStoredRecord> records)
    : engine_(std::move(options), std::move(records), clock_), baud_(engine_.Options().baud),
      paced_(engine_.Options().paced), bytesPerMs_(baud_ / kBitsPerByte / 1000.0)
{
}

PtySim::~PtySim()
{
    Stop();
}

int PtySim::Start(std::string& error)
{
    if (thread_.joinable()) {
        error = "already running";
        return 0;
    }
    if (baud_ != 115200 && baud_ != 19200) {
        error = "the instrument runs at 115200 or 19200 bit/s";
        return 0;
    }
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) {
        error = Describe("posix_openpt");
        return 0;
    }
    char name[256] = {};
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
        error = Describe("pseudo-terminal set-up");
        CloseAll();
        return 0;
    }
    slavePath_ = name;
    holder_ = open(name, O_RDWR | O_NOCTTY);
    int wake[2];
    if (holder_ < 0 || pipe(wake) != 0) {
        error = Describe(holder_ < 0 ? "opening the terminal" : "pipe");
        CloseAll();
        return 0;
    }
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    SetFlags(master_);
    SetFlags(holder_);
    SetFlags(wakeRead_);
    SetFlags(wakeWrite_);

    stop_ = false;
    linkDropped_ = false;
    drainSinceMs_ = -1;
    pending_.clear();
    credit_ = bytesPerMs_ * kBurstMs;
    creditAtMs_ = SteadyMs();
    thread_ = std::thread([this] { Run(); });
    return 1;
}

void PtySim::Stop()
{
    if (thread_.joinable()) {
        stop_ = true;
        std::uint8_t b = 1;
        ssize_t ignored = write(wakeWrite_, &b, 1);
        (void)ignored;  // a full pipe wakes the thread just as well
        thread_.join();
    }
    CloseAll();
}

void PtySim::CloseAll()
{
    for (int* fd : {&master_, &holder_, &wakeRead_, &wakeWrite_}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

void PtySim::Inspect(const std::function<void(SimInstrument&)>& fn)
{
    std::lock_guard<std::mutex> lock(engineLock_);
    fn(engine_);
}

std::vector<std::string> PtySim::CommandLog()
{
    std::lock_guard<std::mutex> lock(engineLock_);
    return engine_.CommandLog();
}

// The master side reports the program's line settings. A port at another
// speed or framing would only see framing errors, so the instrument hears
// nothing and what it sends is lost.
bool PtySim::LineSettingsMatch() const
{
    termios t{};
    if (master_ < 0 || tcgetattr(master_, &t) != 0)
        return false;
    const speed_t want = baud_ == 19200 ? B19200 : B115200;
    const speed_t in = cfgetispeed(&t);
    if (cfgetospeed(&t) != want || (in != want && in != B0))
        return false;
    return (t.c_cflag & CSIZE) == CS8 && !(t.c_cflag & PARENB) && !(t.c_cflag & CSTOPB);
}

void PtySim::DropLink()
{
    // Closing the master hangs up every open end of the terminal: the
    // program's reads see end of file, its writes fail. The flag goes first
    // so that whoever sees the hang-up also sees it.
    linkDropped_ = true;
    if (master_ >= 0)
        close(master_);
    if (holder_ >= 0)
        close(holder_);
    master_ = holder_ = -1;
    pending_.clear();
}

void PtySim::Pump(std::int64_t nowMs)
{
    const double burst = std::max(16.0, bytesPerMs_ * kBurstMs);
    if (paced_) {
        credit_ = std::min(burst, credit_ + static_cast<double>(nowMs - creditAtMs_) * bytesPerMs_);
        creditAtMs_ = nowMs;
    }
    const std::size_t budget = paced_ ? static_cast<std::size_t>(credit_) : 65536;
    if (pending_.size() < budget) {
        std::vector<std::uint8_t> more = engine_.TakeOutput(budget - pending_.size());
        pending_.insert(pending_.end(), more.begin(), more.end());
    }
    if (pending_.empty())
        return;
    if (!LineSettingsMatch()) {
        pending_.clear();
        return;
    }
    const std::size_t n = std::min(pending_.size(), budget);
    if (n == 0)
        return;
    ssize_t written = write(master_, pending_.data(), n);
    if (written > 0) {
        pending_.erase(pending_.begin(), pending_.begin() + written);
        if (paced_)
            credit_ -= static_cast<double>(written);
    }
}

void PtySim::Run()
{
    std::vector<std::uint8_t> buffer(4096);
    while (!stop_) {
        if (linkDropped_) {
            pollfd wake{wakeRead_, POLLIN, 0};
            poll(&wake, 1, kLongestWaitMs);
            continue;
        }

        std::int64_t engineWait;
        bool draining = false;
        {
            std::lock_guard<std::mutex> lock(engineLock_);
            const std::int64_t now = SteadyMs();
            Pump(now);
            engineWait = engine_.MsUntilNextEvent();
            if (engine_.LinkDropped()) {
                // What the instrument sent before the drop reaches the
                // program first: a hang-up discards the terminal's queue.
                draining = true;
                if (pending_.empty()) {
                    if (drainSinceMs_ < 0)
                        drainSinceMs_ = now;
                    int queued = 0;
                    ioctl(holder_, FIONREAD, &queued);
                    if ((queued == 0 && now - drainSinceMs_ >= kDrainSettleMs) ||
                        now - drainSinceMs_ >= kDrainLimitMs) {
                        DropLink();
                        continue;
                    }
                }
            }
        }

        int timeout = draining && pending_.empty() ? kDrainSettleMs : kLongestWaitMs;
        short events = POLLIN;
        const bool haveOutput = !pending_.empty() || engineWait == 0;
        if (haveOutput) {
            if (paced_ && credit_ < 1)
                timeout = static_cast<int>(std::clamp(std::ceil((1 - credit_) / bytesPerMs_), 1.0, 1000.0));
            else if (!pending_.empty())
                events |= POLLOUT;  // the terminal is full; wait until it takes more
            else
                timeout = 0;
        } else if (engineWait > 0) {
            timeout = static_cast<int>(std::min<std::int64_t>(engineWait, kLongestWaitMs));
        }

        pollfd fds[2] = {{master_, events, 0}, {wakeRead_, POLLIN, 0}};
        int ready = poll(fds, 2, timeout);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents & POLLIN) {
            while (read(wakeRead_, buffer.data(), buffer.size()) > 0) {}
        }
        if (fds[0].revents & POLLIN) {
            ssize_t got = read(master_, buffer.data(), buffer.size());
            if (got > 0 && LineSettingsMatch()) {
                std::lock_guard<std::mutex> lock(engineLock_);
                if (engine_.Receive(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(got))))
                    pending_.clear();
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // Nobody holds the terminal open (cannot normally happen while
            // the holder is open); do not spin on it.
            pollfd wake{wakeRead_, POLLIN, 0};
            poll(&wake, 1, 10);
        }
    }
}

}  // namespace tkan
