#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "device/HidTransport.h"
#include "device/InstrumentContract.h"
#include "device/RovaDevice.h"
#include "device/SerialCom.h"
#include "device/Timer.h"
#include "settings/AppInfo.h"
#include "sim/SimHidBackend.h"
#include "support/ManualClock.h"
#include "support/RecordingPrompter.h"

namespace tkan {
namespace {

// The device connection over USB, against the simulated instrument behind
// the simulated HID class, on a clock the test owns.
class UsbConnectionTest : public ::testing::Test {
protected:
    UsbConnectionTest()
    {
        // A serial device that does not exist: touching it would show.
        serial.comDevice = "/nonexistent/tty-for-usb-tests";
        settings.USBEnable = 1;
    }

    SimHidDevice& Instrument(SimModel model, std::size_t inputLength = 65)
    {
        SimOptions sim;
        sim.model = model;
        SimHidOptions hid;
        hid.inputReportLength = inputLength;
        return backend.AddInstrument(hid, sim);
    }

    test::ManualClock ticks{5000};
    MessagePump pump;
    test::RecordingPrompter prompter;
    SimHidBackend backend{ticks};
    HidTransport usb{backend, ticks, pump};
    CSerialCom serial{prompter, ticks, pump};
    CAppInfo settings;
    RovaDevice device{serial, &usb, settings, prompter};
};

TEST_F(UsbConnectionTest, ConnectProbesAndIdentifiesWithoutTouchingTheSerialPort)
{
    SimHidDevice& hid = Instrument(SimModel::Tkan40);

    ASSERT_EQ(device.Connect(1), 1);
    EXPECT_EQ(device.VersionText(), SimVersionText(SimModel::Tkan40));
    EXPECT_EQ(device.IsTkan, 1);
    EXPECT_EQ(device.Is40Amp, 1);
    EXPECT_EQ(device.IsRkzMeter, 0);
    EXPECT_EQ(hid.Instrument()->CommandLog(), (std::vector<std::string>{"B", "W"}));
    EXPECT_FALSE(serial.IsOpen());
    EXPECT_TRUE(prompter.shown.empty());
    for (const auto& report : hid.Written())
        EXPECT_TRUE(report.readArmed) << "a command went out before its reply was listened for";
}

TEST_F(UsbConnectionTest, ReadDirectoryListsTheStoredRecordsInAnyReportLength)
{
    for (std::size_t inputLength : {65u, 9u, 513u}) {
        SCOPED_TRACE(inputLength);
        usb.Close();
        SimHidDevice& hid = Instrument(SimModel::Tkan, inputLength);
        const auto& records = hid.Instrument()->Records();

        ASSERT_EQ(device.ReadDirectory(), 1);
        ASSERT_EQ(device.DirectoryCount(), static_cast<int>(records.size()));
        for (std::size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(device.Directory()[i].testNumber, records[i].number);
            EXPECT_EQ(device.Directory()[i].dateText, records[i].dateText);
            EXPECT_EQ(device.Directory()[i].header.company, records[i].header.company.substr(0, kDirectoryTextLength));
        }
        hid.Unplug();
    }
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(UsbConnectionTest, AStoredRecordDownloadsThroughItsEndMarker)
{
    SimHidDevice& hid = Instrument(SimModel::Tkan);
    const SimStoredRecord& record = hid.Instrument()->Records().front();

    ASSERT_EQ(device.LoadTest(record.number), 1);
    ASSERT_EQ(device.SendText(std::string(instrument::kDownloadCommand)), 1);
    std::vector<std::uint8_t> transfer(2 << 20);
    std::size_t total = 0;
    for (;;) {
        std::size_t received = 0;
        ASSERT_EQ(device.ReadAvailable(transfer, total, 8192, received, instrument::kStreamSilenceMs), 1);
        total += received;
        if (received < 8192)
            break;
    }

    std::vector<std::uint8_t> expected = record.bytes;
    expected.insert(expected.end(), instrument::kStreamEndMarker.begin(), instrument::kStreamEndMarker.end());
    transfer.resize(total);
    EXPECT_EQ(transfer, expected);
    EXPECT_TRUE(usb.IsConnected());
}

TEST_F(UsbConnectionTest, NoInstrumentIsReportedOnce)
{
    backend.AddDevice({.vendorId = 0x1666, .productId = 0x800A});

    EXPECT_EQ(device.Connect(1), 0);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, "Device not available");
    EXPECT_EQ(prompter.shown[0].style, MessageStyle::Brennix);
    EXPECT_FALSE(serial.IsOpen());

    EXPECT_EQ(device.Connect(0), 0);
    EXPECT_EQ(prompter.shown.size(), 1u);
}

TEST_F(UsbConnectionTest, AnInstrumentWeMayNotOpenIsReportedWithTheUdevRule)
{
    SimHidDevice& hid = Instrument(SimModel::Tkan);
    hid.DenyPermission(true);

    EXPECT_EQ(device.Connect(1), 0);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].style, MessageStyle::Brennix);
    const std::string& text = prompter.shown[0].text;
    ASSERT_EQ(text.rfind("Device not available\n", 0), 0u) << text;
    EXPECT_EQ(text.substr(text.find('\n') + 1), usb.UnavailableHint());
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_FALSE(serial.IsOpen());

    // Silently for menu updates, and without the hint once it can be opened.
    EXPECT_EQ(device.Connect(0), 0);
    EXPECT_EQ(prompter.shown.size(), 1u);
    hid.DenyPermission(false);
    ASSERT_EQ(device.Connect(1), 1);
    hid.Unplug();
    usb.Close();
    EXPECT_EQ(device.Connect(1), 0);
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[1].text, "Device not available");
}

}  // namespace
}  // namespace tkan
