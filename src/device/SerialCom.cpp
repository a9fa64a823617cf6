#include "device/SerialCom.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <sstream>
#include <utility>

#include "device/Timer.h"
#include "platform/Prompter.h"

namespace tkan {

namespace {

// Longest a waiting read blocks before it lets window handlers run again.
constexpr std::uint32_t kWaitSliceMs = 10;
// A write that makes no progress for this long will not finish: the far end
// has stopped taking bytes.
constexpr int kWriteStallMs = instrument::kSerialDefaultTimeoutMs;

constexpr auto kSpeeds = std::to_array<std::pair<int, speed_t>>({
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},       {200, B200},
    {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200}, {230400, B230400},
#ifdef B921600
    {460800, B460800}, {500000, B500000}, {576000, B576000}, {921600, B921600},
#endif
});

bool SpeedConstant(int baud, speed_t& constant)
{
    for (const auto& [rate, value] : kSpeeds) {
        if (rate == baud) {
            constant = value;
            return true;
        }
    }
    return false;
}

bool ParseInt(const std::string& text, int& value)
{
    const char* first = text.data();
    const char* last = first + text.size();
    auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::uint32_t ResolveTimeout(int timeoutMs)
{
    return static_cast<std::uint32_t>(timeoutMs < 0 ? instrument::kSerialDefaultTimeoutMs : timeoutMs);
}

int Retrying(int (*call)(int, int, const termios*), int fd, int action, const termios* settings)
{
    int result;
    do {
        result = call(fd, action, settings);
    } while (result != 0 && errno == EINTR);
    return result;
}

}  // namespace

std::string BuildModeText(int speed)
{
    std::string text = "baud=" + std::to_string(speed);
    text += " parity=";
    text += instrument::kParity;
    text += " data=" + std::to_string(instrument::kDataBits);
    text += " stop=" + std::to_string(instrument::kStopBits);
    return text;
}

bool ParseModeText(const std::string& text, SerialLineSettings& settings)
{
    SerialLineSettings parsed;
    bool haveBaud = false;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        auto equals = word.find('=');
        if (equals == std::string::npos || equals == 0)
            return false;
        std::string key = Lower(word.substr(0, equals));
        std::string value = word.substr(equals + 1);
        if (key == "baud") {
            speed_t unused;
            if (!ParseInt(value, parsed.baud) || !SpeedConstant(parsed.baud, unused))
                return false;
            haveBaud = true;
        } else if (key == "parity") {
            if (value.size() != 1)
                return false;
            char parity = static_cast<char>(std::toupper(static_cast<unsigned char>(value[0])));
            if (parity != 'N' && parity != 'E' && parity != 'O')
                return false;
            parsed.parity = parity;
        } else if (key == "data") {
            if (!ParseInt(value, parsed.dataBits) || parsed.dataBits < 5 || parsed.dataBits > 8)
                return false;
        } else if (key == "stop") {
            if (!ParseInt(value, parsed.stopBits) || (parsed.stopBits != 1 && parsed.stopBits != 2))
                return false;
        } else {
            return false;
        }
    }
    if (!haveBaud)
        return false;
    settings = parsed;
    return true;
}

class CSerialCom::ReadWaiting {
public:
    explicit ReadWaiting(CSerialCom& port) : port_(port) { ++port_.readsWaiting_; }
    ~ReadWaiting() { --port_.readsWaiting_; }
    ReadWaiting(const ReadWaiting&) = delete;
    ReadWaiting& operator=(const ReadWaiting&) = delete;

private:
    CSerialCom& port_;
};

CSerialCom::CSerialCom(Prompter& prompter, TickSource& ticks, MessagePump& pump)
    : prompter_(prompter), ticks_(ticks), pump_(pump)
{
}

CSerialCom::~CSerialCom()
{
    Close();
}

std::string CSerialCom::DeviceName() const
{
    if (!comDevice.empty())
        return comDevice;
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

void CSerialCom::Warn(const std::string& text)
{
    if (!showErrors)
        return;
    prompter_.Message(MessageStyle::Warning, text);
}

int CSerialCom::Open()
{
    if (fd_ >= 0)
        return 1;

    std::string name = DeviceName();
    // O_NOCTTY: the instrument's line must never become our controlling
    // terminal. O_NONBLOCK: opening must not wait for a modem carrier, and
    // reads only ever take what is queued; all waiting happens in poll().
    int fd;
    do {
        fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);

    int error = fd < 0 ? errno : 0;
    // The port is ours alone while open: two programs reading the same
    // instrument would each get half of every reply.
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = (errno == EWOULDBLOCK) ? EBUSY : errno;
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) {
        std::string text = "Can't open com port for device " + name + " error=" + std::to_string(error);
        if (error == EACCES)
            text +=
                "\nYour user may not use serial ports: add it to the dialout group "
                "(sudo usermod -aG dialout $USER) and log in again.";
        Warn(text);
        return 0;
    }
    fd_ = fd;

    SerialLineSettings settings;
    if (!ParseModeText(BuildModeText(speed), settings)) {
        Close();
        Warn("Can't initialize com port");
        return 0;
    }
    if (!ApplyLineSettings(settings)) {
        Close();
        Warn("Can't initialize com settings");
        return 0;
    }
    return 1;
}

bool CSerialCom::ApplyLineSettings(const SerialLineSettings& settings)
{
    speed_t rate;
    if (!SpeedConstant(settings.baud, rate))
        return false;

    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0)
        return false;

    // Raw: no echo, no line editing, no signal characters, no CR/LF
    // translation either way. The instrument's replies and record streams are
    // binary as well as text.
    ::cfmakeraw(&tio);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
#ifdef CRTSCTS
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
    tcflag_t size = CS8;
    switch (settings.dataBits) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    default: break;
    }
    tio.c_cflag |= size | CLOCAL | CREAD;
    if (settings.parity == 'E')
        tio.c_cflag |= PARENB;
    else if (settings.parity == 'O')
        tio.c_cflag |= PARENB | PARODD;
    if (settings.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    // With O_NONBLOCK, VMIN 1 makes an empty queue read as EAGAIN and a hang-up
    // as end of file, so the two cannot be confused.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, rate) != 0 || ::cfsetospeed(&tio, rate) != 0)
        return false;
    if (Retrying(::tcsetattr, fd_, TCSANOW, &tio) != 0)
        return false;

    // tcsetattr succeeds when any one of the changes took, so read back what
    // the driver really holds.
    termios applied{};
    if (::tcgetattr(fd_, &applied) != 0)
        return false;
    const tcflag_t kFraming = CSIZE | PARENB | PARODD | CSTOPB;
    return ::cfgetospeed(&applied) == rate && ::cfgetispeed(&applied) == rate &&
           (applied.c_cflag & kFraming) == (tio.c_cflag & kFraming) &&
           (applied.c_lflag & (ICANON | ECHO | ISIG)) == 0 && (applied.c_iflag & (IXON | IXOFF)) == 0;
}

int CSerialCom::Close()
{
    if (fd_ >= 0) {
        // The lock goes with the descriptor. Linux frees the descriptor even
        // when close() is interrupted, so it is never retried.
        ::close(fd_);
        fd_ = -1;
    }
    return 1;
}

void CSerialCom::DropLostLink()
{
    Close();
}

unsigned CSerialCom::BytesWaiting()
{
    if (fd_ < 0)
        return 0;
    int queued = 0;
    if (::ioctl(fd_, FIONREAD, &queued) != 0 || queued < 0)
        return 0;
    return static_cast<unsigned>(queued);
}

int CSerialCom::PurgeInput()
{
    if (fd_ >= 0)
        ::tcflush(fd_, TCIFLUSH);
    return 1;
}

int CSerialCom::Write(std::span<const std::uint8_t> data)
{
    if (!Open())
        return 0;
    if (readsWaiting_ == 0)
        PurgeInput();

    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t written = ::write(fd_, data.data() + done, data.size() - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd waiting{fd_, POLLOUT, 0};
            int ready = ::poll(&waiting, 1, kWriteStallMs);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                return 0;
            if ((waiting.revents & POLLOUT) == 0) {
                DropLostLink();
                return 0;
            }
            continue;
        }
        DropLostLink();
        return 0;
    }
    return 1;
}

int CSerialCom::SendText(const std::string& text)
{
    auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    return Write(bytes);
}

long CSerialCom::ReadQueued(std::span<std::uint8_t> buffer)
{
    if (buffer.empty())
        return 0;
    for (;;) {
        ssize_t count = ::read(fd_, buffer.data(), buffer.size());
        if (count > 0)
            return static_cast<long>(count);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return 0;
        // End of file is a hang-up; EIO is the far side of the line gone.
        return -1;
    }
}

CSerialCom::Wait CSerialCom::WaitForInput(std::uint32_t sliceMs)
{
    pollfd waiting{fd_, POLLIN, 0};
    int ready = ::poll(&waiting, 1, static_cast<int>(std::min(sliceMs, kWaitSliceMs)));
    if (ready < 0)
        return errno == EINTR ? Wait::TimedOut : Wait::Lost;
    if (ready == 0)
        return Wait::TimedOut;
    if (waiting.revents & POLLIN)
        return Wait::Readable;
    // Without this, a hung-up line reports itself at once on every poll and
    // the wait would spin until its time-out.
    return Wait::Lost;
}

int CSerialCom::ReadSome(std::span<std::uint8_t> buffer, std::size_t& received, int timeoutMs)
{
    received = 0;
    ReadWaiting waiting(*this);
    if (!Open())
        return 0;

    CTimer timer(ticks_);
    timer.Start(ResolveTimeout(timeoutMs));
    for (;;) {
        bool expired = timer.Expired();
        pump_.PumpWaitingMessages();
        if (abort_ || fd_ < 0)  // a handler may also have closed the port
            return 0;
        long count = ReadQueued(buffer);
        if (count < 0) {
            DropLostLink();
            return 0;
        }
        if (count > 0) {
            received = static_cast<std::size_t>(count);
            return 1;
        }
        if (expired)
            return 1;
        if (WaitForInput(timer.Remaining()) == Wait::Lost) {
            DropLostLink();
            return 0;
        }
    }
}

int CSerialCom::ReadExact(std::span<std::uint8_t> buffer, int timeoutMs)
{
    ReadWaiting waiting(*this);
    if (!Open())
        return 0;

    CTimer timer(ticks_);
    timer.Start(ResolveTimeout(timeoutMs));
    std::size_t got = 0;
    while (got < buffer.size()) {
        if (timer.Expired())
            return 0;
        pump_.PumpWaitingMessages();
        if (abort_ || fd_ < 0)
            return 0;
        long count = ReadQueued(buffer.subspan(got));
        if (count < 0) {
            DropLostLink();
            return 0;
        }
        if (count > 0) {
            got += static_cast<std::size_t>(count);
            continue;
        }
        if (WaitForInput(timer.Remaining()) == Wait::Lost) {
            DropLostLink();
            return 0;
        }
    }
    return 1;
}

std::optional<int> CSerialCom::LineFeedTimeout(int) const
{
    if (!skipLineFeed)
        return std::nullopt;
    return instrument::kDefaultTimeout;
}

int CSerialCom::ReadAvailable(std::span<std::uint8_t> transfer, std::size_t totalSoFar, std::size_t capacity,
                              std::size_t& received, int timeoutMs)
{
    std::span<std::uint8_t> rest = transfer.subspan(std::min(totalSoFar, transfer.size()));
    return ReadSome(rest.first(std::min(capacity, rest.size())), received, timeoutMs);
}

}  // namespace tkan
