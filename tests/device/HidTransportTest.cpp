#include "device/HidTransport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "device/InstrumentContract.h"
#include "device/Timer.h"
#include "sim/SimHidBackend.h"
#include "support/ManualClock.h"

namespace tkan {
namespace {

std::span<const std::uint8_t> Bytes(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string Payload(const std::vector<std::uint8_t>& report)
{
    std::size_t end = report.size();
    while (end > 1 && report[end - 1] == 0)
        --end;
    return std::string(report.begin() + 1, report.begin() + static_cast<std::ptrdiff_t>(end));
}

bool ZeroFrom(const std::vector<std::uint8_t>& report, std::size_t first)
{
    for (std::size_t i = first; i < report.size(); ++i)
        if (report[i] != 0)
            return false;
    return true;
}

// Bytes that never spell the end marker and contain no zero, so where the
// data ends is the transport's doing alone.
std::vector<std::uint8_t> RecordBytes(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>('a' + i % 26);
    return bytes;
}

SimStoredRecord StoredRecord(std::vector<std::uint8_t> bytes)
{
    SimStoredRecord record;
    record.number = 1;
    record.bytes = std::move(bytes);
    return record;
}

class HidTransportTest : public ::testing::Test {
protected:
    // A device with the simulated instrument attached, holding one record of
    // the given size, behind reports of the given input length.
    SimHidDevice& InstrumentWithRecord(std::size_t recordSize, std::size_t inputLength = 65, SimOptions sim = {})
    {
        SimHidOptions hid;
        hid.inputReportLength = inputLength;
        SimHidDevice& device = backend.AddDevice(hid);
        device.AttachInstrument(sim, {StoredRecord(RecordBytes(recordSize))});
        return device;
    }

    // Downloads in steps of `step` bytes the way the transfer does, until a
    // step brings nothing or the marker.
    std::vector<std::uint8_t> Download(std::size_t step, int timeoutMs = 4000)
    {
        std::vector<std::uint8_t> transfer(1 << 16);
        std::size_t total = 0;
        for (;;) {
            std::size_t received = 0;
            EXPECT_EQ(usb.ReadAvailable(transfer, total, step, received, timeoutMs), 1);
            total += received;
            if (received < step || total >= transfer.size())
                break;
        }
        transfer.resize(total);
        return transfer;
    }

    test::ManualClock ticks{1000};
    MessagePump pump;
    SimHidBackend backend{ticks};
    HidTransport usb{backend, ticks, pump};
};

// --- Finding the instrument -------------------------------------------------

TEST(HidIdentity, AcceptsOnlyOurVendorWithProducts8001To8009)
{
    for (std::uint16_t product : {0x8001, 0x8005, 0x8009})
        EXPECT_TRUE(IsInstrumentHidId(0x1666, product)) << product;
    for (std::uint16_t product : {0x8000, 0x800A, 0x0001, 0xFFFF})
        EXPECT_FALSE(IsInstrumentHidId(0x1666, product)) << product;
    EXPECT_FALSE(IsInstrumentHidId(0x1667, 0x8001));
}

TEST_F(HidTransportTest, FindsTheInstrumentAmongOtherHidInterfaces)
{
    SimHidDevice& keyboard = backend.AddDevice({.vendorId = 0x046D, .productId = 0xC31C});
    SimHidDevice& sibling = backend.AddDevice({.vendorId = 0x1666, .productId = 0x800A});
    SimHidDevice& instrument = backend.AddDevice({.vendorId = 0x1666, .productId = 0x8009});

    ASSERT_EQ(usb.EnsureOpen(), 1);
    EXPECT_EQ(usb.ConnectedDevice().productId, 0x8009);
    EXPECT_EQ(keyboard.OpenCount(), 0);
    EXPECT_EQ(sibling.OpenCount(), 0);
    EXPECT_TRUE(instrument.IsOpen());

    // Connected stays connected: no second search, no second open.
    ASSERT_EQ(usb.EnsureOpen(), 1);
    EXPECT_EQ(backend.EnumerateCount(), 1);
    EXPECT_EQ(instrument.OpenCount(), 1);
}

TEST_F(HidTransportTest, WithoutTheInstrumentEveryOperationSearchesAgain)
{
    backend.AddDevice({.vendorId = 0x1666, .productId = 0x800A});

    EXPECT_EQ(usb.EnsureOpen(), 0);
    EXPECT_EQ(usb.Write(Bytes("W")), 0);
    std::size_t received = 9;
    std::vector<std::uint8_t> transfer(64);
    EXPECT_EQ(usb.ReadAvailable(transfer, 0, transfer.size(), received, 1000), 0);
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(backend.EnumerateCount(), 3);
    EXPECT_EQ(usb.UnavailableHint(), "");  // nothing the operator could install

    SimHidDevice& instrument = backend.AddDevice({.productId = 0x8001});
    ASSERT_EQ(usb.EnsureOpen(), 1);
    EXPECT_TRUE(instrument.IsOpen());
}

TEST_F(HidTransportTest, AnInstrumentWeMayNotOpenNamesTheUdevRule)
{
    SimHidDevice& instrument = backend.AddDevice();
    instrument.DenyPermission(true);

    EXPECT_EQ(usb.EnsureOpen(), 0);
    std::string hint = usb.UnavailableHint();
    EXPECT_EQ(hint.find('\n'), std::string::npos) << hint;
    EXPECT_NE(hint.find("resources/udev/60-tkan-hid.rules"), std::string::npos) << hint;
    EXPECT_NE(hint.find("sudo cp resources/udev/60-tkan-hid.rules /etc/udev/rules.d/"), std::string::npos) << hint;
    EXPECT_NE(hint.find("sudo udevadm control --reload-rules && sudo udevadm trigger"), std::string::npos) << hint;

    // Once the rule is in, the next search opens it and the hint is gone.
    instrument.DenyPermission(false);
    ASSERT_EQ(usb.EnsureOpen(), 1);
    EXPECT_EQ(usb.UnavailableHint(), "");
}

// --- Writing ----------------------------------------------------------------

TEST_F(HidTransportTest, ALongCommandGoesOutInZeroPaddedReportsOf60Bytes100MsApart)
{
    SimHidDevice& device = backend.AddDevice();
    std::string command(61, 'x');
    command.back() = 'y';

    ASSERT_EQ(usb.Write(Bytes(command)), 1);

    const auto& written = device.Written();
    ASSERT_EQ(written.size(), 2u);
    for (const auto& report : written) {
        EXPECT_EQ(report.bytes.size(), 65u);
        EXPECT_EQ(report.bytes[0], 0);
    }
    EXPECT_EQ(Payload(written[0].bytes), command.substr(0, 60));
    EXPECT_EQ(Payload(written[1].bytes), "y");
    EXPECT_TRUE(ZeroFrom(written[1].bytes, 2));
    std::uint32_t gap = written[1].tick - written[0].tick;
    EXPECT_GE(gap, 100u);
    EXPECT_LT(gap, 110u);
}

TEST_F(HidTransportTest, ReportsTakeTheDevicesOwnOutputLength)
{
    SimHidDevice& narrow = backend.AddDevice({.outputReportLength = 9});
    ASSERT_EQ(usb.Write(Bytes("ABCDEFGHIJKLMNOPQRST")), 1);
    ASSERT_EQ(narrow.Written().size(), 3u);
    for (const auto& report : narrow.Written())
        EXPECT_EQ(report.bytes.size(), 9u);
    EXPECT_EQ(narrow.ReceivedText(), "ABCDEFGHIJKLMNOPQRST");

    usb.Close();
    narrow.Unplug();
    SimHidDevice& wide = backend.AddDevice({.outputReportLength = 513});
    ASSERT_EQ(usb.Write(Bytes(std::string(100, 'z'))), 1);
    ASSERT_EQ(wide.Written().size(), 2u);
    EXPECT_EQ(wide.Written()[0].bytes.size(), 513u);
    EXPECT_EQ(Payload(wide.Written()[0].bytes), std::string(60, 'z'));
}

TEST_F(HidTransportTest, AFailedAttemptResendsTheWholeCommandFromItsFirstByte)
{
    SimHidDevice& device = backend.AddDevice();
    std::string command = std::string(60, 'a') + "b";
    device.FailWrites(1, 1);  // the first piece goes, the second does not

    ASSERT_EQ(usb.Write(Bytes(command)), 1);
    EXPECT_EQ(device.WriteAttempts(), 4);
    EXPECT_EQ(device.ReceivedText(), std::string(60, 'a') + command);
    EXPECT_TRUE(usb.IsConnected());
}

TEST_F(HidTransportTest, ThreeFailedAttemptsCloseTheDeviceAndTheNextCommandSearchesAgain)
{
    SimHidDevice& device = backend.AddDevice();
    device.FailWrites(3);
    std::uint32_t start = ticks.now;

    EXPECT_EQ(usb.Write(Bytes("W")), 0);
    EXPECT_EQ(device.WriteAttempts(), 3);
    EXPECT_FALSE(usb.IsConnected());
    EXPECT_FALSE(device.IsOpen());
    EXPECT_GE(ticks.now - start, 200u);  // a pause before each new attempt

    ASSERT_EQ(usb.Write(Bytes("W")), 1);
    EXPECT_EQ(backend.EnumerateCount(), 2);
    EXPECT_EQ(device.OpenCount(), 2);
    EXPECT_EQ(device.ReceivedText(), "W");
}

TEST_F(HidTransportTest, AQueuedCommandGoesOutOnlyOnceTheReadIsArmedAndADirectWriteAtOnce)
{
    SimHidDevice& device = backend.AddInstrument();
    ASSERT_EQ(usb.EnsureOpen(), 1);

    ASSERT_EQ(usb.QueueText("W"), 1);
    EXPECT_TRUE(device.Written().empty());

    std::string line;
    ASSERT_EQ(usb.ReadLine(line, 20, -1), 1);
    EXPECT_EQ(line, SimVersionText(SimModel::Tkan));
    ASSERT_EQ(device.Written().size(), 1u);
    EXPECT_TRUE(device.Written()[0].readArmed);
    EXPECT_EQ(Payload(device.Written()[0].bytes), "W");
    EXPECT_FALSE(usb.HasPending());

    ASSERT_EQ(usb.Write(Bytes("U")), 1);
    ASSERT_EQ(device.Written().size(), 2u);
    EXPECT_FALSE(device.Written()[1].readArmed);
    EXPECT_EQ(device.ReadsArmed(), 1);
}

// --- Reading lines ----------------------------------------------------------

TEST_F(HidTransportTest, AReportOfOkCrLfAndZerosIsOneLineAndTheNextLineTakesANewReport)
{
    SimHidDevice& device = backend.AddDevice();
    ASSERT_EQ(usb.EnsureOpen(), 1);
    device.Inject("OK\r\n");

    std::string line;
    ASSERT_EQ(usb.ReadLine(line, 20, -1), 1);
    EXPECT_EQ(line, "OK");
    EXPECT_EQ(device.ReportsSent(), 1);

    device.Inject("NEXT\r\n");
    ASSERT_EQ(usb.ReadLine(line, 20, -1), 1);
    EXPECT_EQ(line, "NEXT");
    EXPECT_EQ(device.ReadsArmed(), 2);
}

TEST_F(HidTransportTest, LinesAreAssembledAcrossReportsAndSplitWithinOne)
{
    SimHidDevice& device = backend.AddDevice({.inputReportLength = 9});
    ASSERT_EQ(usb.EnsureOpen(), 1);
    device.Inject("COMPANY=Northfield\r\n#2\r\n");

    std::string line;
    ASSERT_EQ(usb.ReadLine(line, 260, -1), 1);
    EXPECT_EQ(line, "COMPANY=Northfield");
    ASSERT_EQ(usb.ReadLine(line, 260, -1), 1);
    EXPECT_EQ(line, "#2");
}

TEST_F(HidTransportTest, AZeroInsideAReplyIsABlankAndNothingAfterItIsLost)
{
    SimHidDevice& device = backend.AddDevice();
    ASSERT_EQ(usb.EnsureOpen(), 1);
    device.Inject(std::string("A\0B\r\n", 5));

    std::string line;
    ASSERT_EQ(usb.ReadLine(line, 20, -1), 1);
    EXPECT_EQ(line, "A B");
    EXPECT_EQ(device.ReadsArmed(), 1) << "the line feed was not taken from the same report";
    device.Inject("C\r\n");
    ASSERT_EQ(usb.ReadLine(line, 20, -1), 1);
    EXPECT_EQ(line, "C");
}

TEST_F(HidTransportTest, AnAllZeroReportFailsTheRead)
{
    SimHidDevice& device = backend.AddDevice();
    ASSERT_EQ(usb.EnsureOpen(), 1);
    device.SendZeroReport();

    std::uint8_t byte = 0;
    EXPECT_EQ(usb.ReadExact(std::span(&byte, 1), -1), 0);
    EXPECT_TRUE(usb.IsConnected());
}

TEST_F(HidTransportTest, SilenceTimesOutLettingHandlersRunEvery100Ms)
{
    SimHidDevice& device = backend.AddDevice();
    ASSERT_EQ(usb.EnsureOpen(), 1);
    device.SetSilent(true);
    std::vector<std::uint32_t> pumped;
    pump.SetHook([&] { pumped.push_back(ticks.now); });
    std::uint32_t start = ticks.now;

    std::string line;
    EXPECT_EQ(usb.ReadLine(line, 20, -1), 0);
    EXPECT_EQ(ticks.now - start, 8000u);
    ASSERT_EQ(pumped.size(), 80u);
    EXPECT_EQ(pumped[0] - start, 100u);
    EXPECT_TRUE(usb.IsConnected());  // a quiet instrument is not a lost one

    device.SetSilent(false);
    device.Inject("OK\r\n");
    ASSERT_EQ(usb.ReadLine(line, 20, 100), 1);
    EXPECT_EQ(line, "OK");
}

TEST_F(HidTransportTest, AHandlerThatAbortsOrClosesEndsTheWaitAtTheNextStep)
{
    SimHidDevice& device = backend.AddDevice();
    device.SetSilent(true);
    int steps = 0;
    pump.SetHook([&] {
        if (++steps == 3)
            usb.SetAbort(1);
    });
    ASSERT_EQ(usb.EnsureOpen(), 1);
    std::uint32_t start = ticks.now;

    std::string line;
    EXPECT_EQ(usb.ReadLine(line, 20, -1), 0);
    EXPECT_EQ(ticks.now - start, 300u);
    EXPECT_TRUE(usb.IsConnected());

    usb.SetAbort(0);
    pump.SetHook([&] { usb.Close(); });
    EXPECT_EQ(usb.ReadLine(line, 20, -1), 0);
    EXPECT_FALSE(usb.IsConnected());
}

TEST_F(HidTransportTest, AnUnpluggedInstrumentIsSearchedForAgain)
{
    SimHidDevice& device = backend.AddDevice();
    ASSERT_EQ(usb.EnsureOpen(), 1);
    device.Unplug();

    std::string line;
    EXPECT_EQ(usb.ReadLine(line, 20, -1), 0);
    EXPECT_FALSE(usb.IsConnected());

    device.Plug();
    device.Inject("OK\r\n");
    ASSERT_EQ(usb.EnsureOpen(), 1);
    ASSERT_EQ(usb.ReadLine(line, 20, -1), 1);
    EXPECT_EQ(device.OpenCount(), 2);
}

// --- Bulk reads -------------------------------------------------------------

TEST_F(HidTransportTest, ABulkReadReturnsTheDataThroughTheMarkerWhereverItFalls)
{
    struct Case {
        std::size_t recordSize;
        std::size_t inputLength;
        std::size_t step;
    };
    // The last report holding the tail, the marker and zero fill; the marker
    // split across two reports; split across two read steps; and reports far
    // longer than 64 bytes whose zero fill follows the marker.
    for (Case c :
         {Case{202, 65, 8192}, Case{60, 65, 8192}, Case{1000, 65, 100}, Case{100, 513, 8192}, Case{3000, 513, 333}}) {
        SCOPED_TRACE(testing::Message() << c.recordSize << " bytes in reports of " << c.inputLength);
        usb.Close();
        SimHidDevice& device = InstrumentWithRecord(c.recordSize, c.inputLength);
        usb.QueueText("r");
        std::uint32_t start = ticks.now;

        std::vector<std::uint8_t> data = Download(c.step);

        std::vector<std::uint8_t> expected = RecordBytes(c.recordSize);
        expected.insert(expected.end(), instrument::kStreamEndMarker.begin(), instrument::kStreamEndMarker.end());
        EXPECT_EQ(data, expected);
        EXPECT_LT(ticks.now - start, 1000u) << "the read waited for silence";
        EXPECT_TRUE(usb.IsConnected());
        device.Unplug();
    }
}

TEST_F(HidTransportTest, ABulkReadTimeOutEndsTheStreamAndTheNextCommandSearchesAgain)
{
    SimOptions sim;
    sim.faults = {SimFault::NoEndMarker};
    SimHidDevice& device = InstrumentWithRecord(128, 65, sim);
    ASSERT_EQ(usb.EnsureOpen(), 1);
    usb.QueueText("r");
    std::uint32_t start = ticks.now;

    std::vector<std::uint8_t> data = Download(8192, 4000);

    EXPECT_EQ(data, RecordBytes(128));
    EXPECT_GE(ticks.now - start, 4000u);
    EXPECT_FALSE(usb.IsConnected());

    usb.QueueText("W");
    ASSERT_EQ(usb.EnsureOpen(), 1);
    std::string line;
    ASSERT_EQ(usb.ReadLine(line, 20, -1), 1);
    EXPECT_EQ(line, SimVersionText(SimModel::Tkan));
    EXPECT_EQ(device.OpenCount(), 2);
}

TEST_F(HidTransportTest, AbortDuringATrickledBulkReadActsWithinOnePumpStep)
{
    // One byte a report every 2 s: the read is always either waiting for a
    // report or just past one when the operator clicks Abort.
    SimOptions sim;
    sim.faults = {SimFault::Trickle};
    InstrumentWithRecord(50, 65, sim);
    ASSERT_EQ(usb.EnsureOpen(), 1);
    usb.QueueText("r");
    const std::uint32_t start = ticks.now;
    std::uint32_t abortedAt = 0;
    pump.SetHook([&] {
        if (abortedAt == 0 && ticks.now - start >= 5050) {
            abortedAt = ticks.now;
            usb.SetAbort(1);
        }
    });

    std::vector<std::uint8_t> transfer(8192);
    std::size_t received = 0;
    EXPECT_EQ(usb.ReadAvailable(transfer, 0, transfer.size(), received, 4000), 0);
    ASSERT_NE(abortedAt, 0u) << "no window handler ran during the read";
    EXPECT_LE(ticks.now - abortedAt, 100u);
}

TEST_F(HidTransportTest, ABulkReadOnALostDeviceFails)
{
    SimHidDevice& device = InstrumentWithRecord(4000);
    ASSERT_EQ(usb.EnsureOpen(), 1);
    usb.QueueText("r");
    std::vector<std::uint8_t> transfer(8192);
    std::size_t received = 0;
    ASSERT_EQ(usb.ReadAvailable(transfer, 0, 640, received, 4000), 1);
    ASSERT_EQ(received, 640u);

    device.Unplug();
    EXPECT_EQ(usb.ReadAvailable(transfer, 640, 640, received, 4000), 0);
    EXPECT_EQ(received, 0u);
    EXPECT_FALSE(usb.IsConnected());
}

}  // namespace
}  // namespace tkan
