#include "device/SerialCom.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "device/Timer.h"
#include "support/ManualClock.h"
#include "support/PtyPeer.h"
#include "support/RecordingPrompter.h"
#include "support/TempDir.h"

namespace tkan {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::span<std::uint8_t> Bytes(std::vector<std::uint8_t>& buffer)
{
    return buffer;
}

std::string Text(const std::vector<std::uint8_t>& buffer, std::size_t count)
{
    return std::string(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(count));
}

long MsSince(Clock::time_point start)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class SerialComTest : public ::testing::Test {
protected:
    SerialComTest()
    {
        port.comDevice = peer.SlavePath();
        port.speed = 115200;
    }

    // The pty hands bytes over through a kernel work queue; wait until they
    // are queued on our side.
    void WaitUntilQueued(unsigned count)
    {
        for (int i = 0; i < 2000 && port.BytesWaiting() < count; ++i)
            std::this_thread::sleep_for(1ms);
        ASSERT_EQ(port.BytesWaiting(), count);
    }

    test::RecordingPrompter prompter;
    SteadyTickSource ticks;
    MessagePump pump;
    test::PtyPeer peer;
    CSerialCom port{prompter, ticks, pump};
};

TEST_F(SerialComTest, OpenPutsTheLineInRawEightNoneOneAtTheRequestedSpeed)
{
    for (auto [speed, constant] : {std::pair{115200, B115200}, std::pair{19200, B19200}}) {
        port.Close();
        port.speed = speed;
        ASSERT_EQ(port.Open(), 1);
        termios line = peer.SlaveSettings();
        EXPECT_EQ(cfgetospeed(&line), constant);
        EXPECT_EQ(cfgetispeed(&line), constant);
        EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
        EXPECT_EQ(line.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
        EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(line.c_oflag & OPOST, 0u);
    }
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(SerialComTest, OpenTwiceOpensOnceAndKeepsItsSpeedUntilClosed)
{
    ASSERT_EQ(port.Open(), 1);
    port.speed = 19200;
    ASSERT_EQ(port.Open(), 1);
    termios line = peer.SlaveSettings();
    EXPECT_EQ(cfgetospeed(&line), B115200);

    port.Close();
    ASSERT_EQ(port.Open(), 1);
    line = peer.SlaveSettings();
    EXPECT_EQ(cfgetospeed(&line), B19200);
}

TEST_F(SerialComTest, PortInUseIsRefusedUntilItsOwnerClosesIt)
{
    ASSERT_EQ(port.Open(), 1);
    CSerialCom other(prompter, ticks, pump);
    other.comDevice = peer.SlavePath();
    EXPECT_EQ(other.Open(), 0);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].style, MessageStyle::Warning);
    EXPECT_EQ(prompter.shown[0].text, "Can't open com port for device " + peer.SlavePath() + " error=16");

    port.Close();
    EXPECT_EQ(other.Open(), 1);
}

TEST_F(SerialComTest, OpenFailuresAreReportedLeaveThePortClosedAndAreRetried)
{
    port.comDevice = "/nonexistent/ttyX";
    EXPECT_EQ(port.Open(), 0);
    std::size_t received = 1;
    std::vector<std::uint8_t> buffer(8);
    EXPECT_EQ(port.ReadSome(Bytes(buffer), received, 100), 0);
    EXPECT_EQ(received, 0u);
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[1].style, MessageStyle::Warning);
    EXPECT_EQ(prompter.shown[1].text, "Can't open com port for device /nonexistent/ttyX error=2");

    test::TempDir dir;
    port.comDevice = dir.File("not-a-terminal");
    test::WriteFileText(port.comDevice, "");
    EXPECT_EQ(port.Open(), 0);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(prompter.shown.back().text, "Can't initialize com settings");

    // Speed 0 would hang the line up on a POSIX terminal.
    port.comDevice = peer.SlavePath();
    for (int speed : {12345, 0}) {
        port.speed = speed;
        EXPECT_EQ(port.Open(), 0);
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(prompter.shown.back().text, "Can't initialize com port");
    }
}

TEST_F(SerialComTest, PermissionDeniedNamesTheDialoutGroup)
{
    test::TempDir dir;
    port.comDevice = dir.File("ttyLocked");
    test::WriteFileText(port.comDevice, "");
    ::chmod(port.comDevice.c_str(), 0);
    // Root opens anything; take the identity of an ordinary user for the open.
    bool asRoot = ::geteuid() == 0;
    if (asRoot && ::seteuid(65534) != 0)
        GTEST_SKIP() << "cannot give up root to provoke EACCES";
    int opened = port.Open();
    if (asRoot) {
        ASSERT_EQ(::seteuid(0), 0);
    }

    EXPECT_EQ(opened, 0);
    ASSERT_EQ(prompter.shown.size(), 1u);
    const std::string& text = prompter.shown[0].text;
    std::string firstLine = "Can't open com port for device " + port.comDevice + " error=13\n";
    EXPECT_EQ(text.substr(0, firstLine.size()), firstLine);
    EXPECT_NE(text.find("dialout"), std::string::npos);
}

TEST(SerialModeText, BuildsTheInstrumentsLineAndParsesOnlyWhatATerminalCanDo)
{
    EXPECT_EQ(BuildModeText(115200), "baud=115200 parity=N data=8 stop=1");
    SerialLineSettings line;
    ASSERT_TRUE(ParseModeText(BuildModeText(115200), line));
    EXPECT_EQ(line.baud, 115200);
    EXPECT_EQ(line.parity, 'N');
    EXPECT_EQ(line.dataBits, 8);
    EXPECT_EQ(line.stopBits, 1);

    ASSERT_TRUE(ParseModeText("BAUD=19200 Parity=e DATA=7 stop=2", line));
    EXPECT_EQ(line.baud, 19200);
    EXPECT_EQ(line.parity, 'E');
    EXPECT_EQ(line.dataBits, 7);
    EXPECT_EQ(line.stopBits, 2);

    for (const char* bad :
         {"baud=12345", "parity=N data=8 stop=1", "baud=9600 parity=M", "baud=9600 stop=1.5", "baud=9600 xon=on"})
        EXPECT_FALSE(ParseModeText(bad, line)) << bad;
}

TEST_F(SerialComTest, WriteDiscardsALateReplyBeforeSending)
{
    ASSERT_EQ(port.Open(), 1);
    peer.Send("LATE\r\n");
    WaitUntilQueued(6);
    ASSERT_EQ(port.SendText("W"), 1);
    EXPECT_EQ(peer.Receive(1), "W");
    peer.Send("TKAN\r\n");
    std::string line;
    EXPECT_EQ(port.ReadLine(line, 20, -1), 1);
    EXPECT_EQ(line, "TKAN");
}

// The Raise / Lower button of a test dialog sends its relay command from a
// window handler while the poll loop is in the middle of a status line.
TEST_F(SerialComTest, ACommandSentWhileALineIsReadKeepsTheRestOfTheLine)
{
    ASSERT_EQ(port.Open(), 1);
    peer.Send("T=1");
    WaitUntilQueued(3);
    bool sent = false;
    pump.SetHook([&] {
        if (sent)
            return;
        sent = true;
        EXPECT_EQ(port.SendText("U"), 1);
        peer.Send("05\r\n");
    });
    std::string line;
    EXPECT_EQ(port.ReadLine(line, 512, -1), 1);
    EXPECT_EQ(line, "T=105");
    EXPECT_EQ(peer.Receive(1), "U");
}

TEST_F(SerialComTest, EveryByteValueTravelsUnchangedBothWays)
{
    std::string all;
    for (int value = 0; value < 256; ++value)
        all.push_back(static_cast<char>(value));
    ASSERT_EQ(port.Open(), 1);

    peer.Send(all);
    std::vector<std::uint8_t> buffer(all.size());
    ASSERT_EQ(port.ReadExact(Bytes(buffer), 1000), 1);
    EXPECT_EQ(Text(buffer, buffer.size()), all);

    ASSERT_EQ(port.SendText(all), 1);
    EXPECT_EQ(peer.Receive(all.size() + 1, 300), all);
}

TEST_F(SerialComTest, OnSilenceReadSomeSucceedsEmptyButReadExactFails)
{
    std::vector<std::uint8_t> buffer(16);
    std::size_t received = 99;
    auto start = Clock::now();
    EXPECT_EQ(port.ReadSome(Bytes(buffer), received, 200), 1);
    EXPECT_EQ(received, 0u);
    EXPECT_GE(MsSince(start), 200);
    EXPECT_EQ(port.ReadExact(Bytes(buffer), 200), 0);
}

TEST_F(SerialComTest, ReadSomeTakesWhatIsQueuedUpToCapacityAndReadExactWaitsForTheRest)
{
    ASSERT_EQ(port.Open(), 1);
    peer.Send("HELLO WORLD");
    WaitUntilQueued(11);
    std::vector<std::uint8_t> small(5), large(64);
    std::size_t received = 0;
    ASSERT_EQ(port.ReadSome(Bytes(small), received, -1), 1);
    EXPECT_EQ(Text(small, received), "HELLO");
    ASSERT_EQ(port.ReadSome(Bytes(large), received, -1), 1);
    EXPECT_EQ(Text(large, received), " WORLD");

    peer.Send("AB");
    peer.SendLater(50ms, "CD");
    std::vector<std::uint8_t> four(4);
    ASSERT_EQ(port.ReadExact(Bytes(four), -1), 1);
    EXPECT_EQ(Text(four, 4), "ABCD");
}

TEST_F(SerialComTest, ReadLineDropsTheLineEndAndBlanksNulBytes)
{
    ASSERT_EQ(port.Open(), 1);
    peer.Send("TKAN\r\nX");
    std::string line;
    ASSERT_EQ(port.ReadLine(line, 20, -1), 1);
    EXPECT_EQ(line, "TKAN");
    std::vector<std::uint8_t> next(1);
    ASSERT_EQ(port.ReadExact(Bytes(next), 100), 1);  // the line feed is gone, X is next
    EXPECT_EQ(next[0], 'X');

    peer.Send(std::string("A\0B\r\n", 5));
    ASSERT_EQ(port.ReadLine(line, 20, -1), 1);
    EXPECT_EQ(line, "A B");

    peer.Send("TK");
    EXPECT_EQ(port.ReadLine(line, 20, 100), 0);
    EXPECT_EQ(line, "TK");
}

TEST_F(SerialComTest, ReadLineFailsWhenTheLineFillsItsCapacity)
{
    ASSERT_EQ(port.Open(), 1);
    peer.Send("0123456789ABCDEFGHI");  // 19 characters, no carriage return
    std::string line;
    EXPECT_EQ(port.ReadLine(line, 20, -1), 0);
    EXPECT_EQ(line, "0123456789ABCDEFGHI");

    peer.Send("0123456789ABCDEFGH\r\n");
    EXPECT_EQ(port.ReadLine(line, 20, -1), 1);
    EXPECT_EQ(line, "0123456789ABCDEFGH");
    EXPECT_EQ(port.ReadLine(line, 0, -1), 0);
}

// The instrument trickles "TKAN\r\n" one character per interval; each pump
// (one per waiting slice) moves the clock on by 250 ms.
int ReadTrickledLine(std::uint32_t intervalMs, std::string& line, std::uint32_t& elapsedMs)
{
    test::RecordingPrompter prompter;
    test::ManualClock clock;
    MessagePump pump;
    test::PtyPeer peer;
    CSerialCom port(prompter, clock, pump);
    port.comDevice = peer.SlavePath();
    if (!port.Open())
        return -1;
    std::string pending = "TKAN\r\n";
    std::uint32_t lastSent = 0;
    pump.SetHook([&] {
        clock.now += 250;
        if (!pending.empty() && clock.now - lastSent >= intervalMs) {
            peer.Send(pending.substr(0, 1));
            pending.erase(0, 1);
            lastSent = clock.now;
        }
    });
    int result = port.ReadLine(line, 20, -1);
    elapsedMs = clock.now;
    return result;
}

TEST(SerialComTrickle, TimeoutAppliesToEachCharacterNotToTheLine)
{
    std::string line;
    std::uint32_t elapsed = 0;
    EXPECT_EQ(ReadTrickledLine(2000, line, elapsed), 1);
    EXPECT_EQ(line, "TKAN");
    EXPECT_GT(elapsed, 10000u);  // far beyond the 3000 ms default

    EXPECT_EQ(ReadTrickledLine(3300, line, elapsed), 0);
    EXPECT_EQ(line, "");
}

TEST_F(SerialComTest, AbortFromAWindowHandlerEndsTheReadInTheSamePass)
{
    int pumps = 0;
    pump.SetHook([&] {
        if (++pumps == 5)
            port.SetAbort(1);
    });
    std::vector<std::uint8_t> buffer(4);
    std::size_t received = 0;
    auto start = Clock::now();
    EXPECT_EQ(port.ReadSome(Bytes(buffer), received, -1), 0);
    EXPECT_EQ(pumps, 5);
    EXPECT_LT(MsSince(start), 1000);

    // The flag stays until the caller clears it.
    std::string line;
    EXPECT_EQ(port.ReadLine(line, 20, -1), 0);
    EXPECT_EQ(pumps, 6);
    port.SetAbort(0);
    peer.Send("OK\r\n");
    EXPECT_EQ(port.ReadLine(line, 20, -1), 1);

    // A handler that closes the port ends the read as well.
    pump.SetHook([&] { port.Close(); });
    EXPECT_EQ(port.ReadExact(Bytes(buffer), -1), 0);
}

TEST_F(SerialComTest, WaitingBlocksInShortSlicesInsteadOfSpinning)
{
    int pumps = 0;
    pump.SetHook([&] { ++pumps; });
    std::vector<std::uint8_t> buffer(4);
    EXPECT_EQ(port.ReadExact(Bytes(buffer), 400), 0);
    // 10 ms slices give about 40 pumps; a spinning loop gives many thousands,
    // one long block gives one or two.
    EXPECT_GE(pumps, 10);
    EXPECT_LE(pumps, 200);
}

TEST_F(SerialComTest, HangUpEndsTheWaitAndClosesThePort)
{
    ASSERT_EQ(port.Open(), 1);
    peer.Hangup();
    std::vector<std::uint8_t> buffer(4);
    std::size_t received = 0;
    auto start = Clock::now();
    EXPECT_EQ(port.ReadSome(Bytes(buffer), received, -1), 0);
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_FALSE(port.IsOpen());
}

}  // namespace
}  // namespace tkan
