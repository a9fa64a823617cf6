// The simulated instrument on a pseudo-terminal, through a termios client
// set up as a serial port would be.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "support/RunningPtySim.h"
#include "support/SimHarness.h"

namespace tkan::test {
namespace {

using Clock = std::chrono::steady_clock;

class SerialClient {
public:
    SerialClient(const std::string& path, speed_t speed)
    {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0)
            return;
        SetSpeed(speed);
    }
    ~SerialClient()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    SerialClient(const SerialClient&) = delete;
    SerialClient& operator=(const SerialClient&) = delete;

    bool Ok() const { return fd_ >= 0; }

    // Raw 8N1 at the given speed, no flow control.
    void SetSpeed(speed_t speed)
    {
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
        t.c_cflag |= CS8 | CLOCAL | CREAD;
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        tcsetattr(fd_, TCSANOW, &t);
    }

    void Send(const std::string& text)
    {
        tcflush(fd_, TCIFLUSH);
        ASSERT_EQ(write(fd_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }

    // Reads until `until` has arrived at the end, `want` bytes have come, or
    // quietMs pass without a byte.
    std::string Read(const std::string& until, std::size_t want = 0, int quietMs = 1000)
    {
        std::string got;
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, quietMs) <= 0)
                return got;
            char buffer[4096];
            ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n < 0 && errno == EAGAIN)
                continue;
            if (n <= 0)
                return got;
            got.append(buffer, static_cast<std::size_t>(n));
            if ((want && got.size() >= want) || (!until.empty() && got.size() >= until.size() &&
                                                 got.compare(got.size() - until.size(), until.size(), until) == 0))
                return got;
        }
    }

    int Fd() const { return fd_; }

private:
    int fd_ = -1;
};

// One stored record of exactly `size` bytes.
std::vector<SimStoredRecord> OneRecordOf(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size, 0x55);
    bytes[4] = 1;
    return {DescribeStoredRecord(1, std::move(bytes), false)};
}

TEST(PtySim, ProbeVersionAndDirectoryThroughARawSerialClient)
{
    RunningPtySim sim;
    SerialClient port(sim.SlavePath(), B115200);
    ASSERT_TRUE(port.Ok());

    port.Send("B\r");
    EXPECT_EQ(port.Read("", 4), "OK\r\n");
    port.Send("W");
    EXPECT_EQ(port.Read("\r\n"), "TKAN V2.31\r\n");
    port.Send("d");
    std::string listing = port.Read("DONE\r\n");
    EXPECT_EQ(listing.substr(0, 4), "#1\r\n");
    EXPECT_EQ(listing.substr(listing.size() - 6), "DONE\r\n");
    EXPECT_EQ(Lines(listing).size(), 4u * 11u + 1u);
}

TEST(PtySim, AnswersOnlyAtItsOwnSpeed)
{
    SimOptions o;
    o.baud = 115200;
    RunningPtySim sim(o);
    SerialClient port(sim.SlavePath(), B19200);
    ASSERT_TRUE(port.Ok());

    port.Send("B\r");
    EXPECT_EQ(port.Read("", 4, 500), "");
    port.SetSpeed(B115200);
    port.Send("B\r");
    EXPECT_EQ(port.Read("", 4), "OK\r\n");

    // A 19200 instrument does not hear a 115200 port.
    SimOptions slow;
    slow.baud = 19200;
    RunningPtySim sim2(slow);
    SerialClient port2(sim2.SlavePath(), B115200);
    port2.Send("B\r");
    EXPECT_EQ(port2.Read("", 4, 500), "");
    port2.SetSpeed(B19200);
    port2.Send("B\r");
    EXPECT_EQ(port2.Read("", 4), "OK\r\n");
}

TEST(PtySim, WrongFramingIsNotUnderstood)
{
    RunningPtySim sim;
    SerialClient port(sim.SlavePath(), B115200);
    termios t{};
    tcgetattr(port.Fd(), &t);
    // Two stop bits: the one framing error a pseudo-terminal keeps (it
    // forces 8 bits without parity itself).
    t.c_cflag |= CSTOPB;
    tcsetattr(port.Fd(), TCSANOW, &t);
    port.Send("B\r");
    EXPECT_EQ(port.Read("", 4, 500), "");
}

TEST(PtySim, OutputIsPacedAtTheLineRate)
{
    // 3840 bytes at 19200 bit/s take two seconds on the line.
    const std::size_t size = 3840;
    SimOptions o;
    o.baud = 19200;
    RunningPtySim sim(o, OneRecordOf(size));
    SerialClient port(sim.SlavePath(), B19200);
    port.Send("r");
    auto start = Clock::now();
    std::string got = port.Read("\r\nDONE\r\n");
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_EQ(got.size(), size + 8);
    EXPECT_GT(seconds, 1.6);
    EXPECT_LT(seconds, 3.5);

    SimOptions fast = o;
    fast.paced = false;
    RunningPtySim unpaced(fast, OneRecordOf(size));
    SerialClient port2(unpaced.SlavePath(), B19200);
    port2.Send("r");
    start = Clock::now();
    got = port2.Read("\r\nDONE\r\n");
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_EQ(got.size(), size + 8);
    EXPECT_LT(seconds, 1.0);
}

TEST(PtySim, PortClosedAndReopenedKeepsTalking)
{
    RunningPtySim sim;
    {
        SerialClient port(sim.SlavePath(), B115200);
        port.Send("B\r");
        EXPECT_EQ(port.Read("", 4), "OK\r\n");
    }
    SerialClient again(sim.SlavePath(), B115200);
    again.Send("W");
    EXPECT_EQ(again.Read("\r\n"), "TKAN V2.31\r\n");
    EXPECT_EQ(sim.CommandLog(), (std::vector<std::string>{"B", "W"}));
}

TEST(PtySim, DroppedLinkHangsUpThePort)
{
    SimOptions o;
    o.faults = {SimFault::LinkDrop};
    o.paced = false;
    RunningPtySim sim(o);
    SerialClient port(sim.SlavePath(), B115200);
    port.Send("r");
    std::string got = port.Read("", 0, 2000);
    EXPECT_GT(got.size(), 0u);
    EXPECT_TRUE(sim.LinkDropped());
    char b;
    EXPECT_LE(read(port.Fd(), &b, 1), 0) << "the port reads end of file or fails";
}

}  // namespace
}  // namespace tkan::test
