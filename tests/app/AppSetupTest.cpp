#include "app/AppSetup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "device/SerialCom.h"
#include "device/SerialPorts.h"
#include "platform/MessagePump.h"
#include "platform/TickSource.h"
#include "support/MemorySettingsStore.h"
#include "support/RecordingPrompter.h"
#include "support/TempDir.h"

namespace tkan {
namespace {

using Op = test::MemorySettingsStore::Op;

TEST(AppSetupTest, SwitchingRecordsKeepsEachRecordsTicks)
{
    CAppSetup setup(CAppInfo{}, {});
    ASSERT_EQ(setup.GraphIndex(), 0);
    setup.SetShown(TraceRow::R2, false);
    setup.SetRowColour(TraceRow::R2, CanvasRgb(1, 2, 3));

    setup.ChooseGraph(1);
    EXPECT_TRUE(setup.Shown(TraceRow::R2));  // overlay 1's own
    EXPECT_EQ(setup.RowColour(TraceRow::R2), CanvasRgb(0, 200, 0));
    setup.SetShown(TraceRow::Current, false);

    setup.ChooseGraph(0);
    EXPECT_FALSE(setup.Shown(TraceRow::R2));
    EXPECT_TRUE(setup.Shown(TraceRow::Current));
    EXPECT_EQ(setup.RowColour(TraceRow::R2), CanvasRgb(1, 2, 3));
    setup.SetShown(TraceRow::R3S, false);  // ticked off, then OK without switching

    const CAppInfo& done = setup.Finish();
    EXPECT_EQ(done.graphs[0].DisplayR2, 0);
    EXPECT_EQ(done.graphs[0].DisplayR3S, 0);
    EXPECT_EQ(done.graphs[1].DisplayCurrent, 0);
    EXPECT_EQ(done.graphs[1].DisplayR2, 1);
    EXPECT_EQ(done.graphs[2], GraphSettings{});
}

TEST(AppSetupTest, ComPortListHoldsThePresentDevicesAboveTheHundredPorts)
{
    CAppInfo start;
    start.ComPort = 12;
    CAppSetup plain(start, {});
    ASSERT_EQ(plain.ComPortEntries().size(), 100u);
    EXPECT_EQ(plain.ComPortEntries().front().text, "COM1:");
    EXPECT_EQ(plain.ComPortEntries().back().text, "COM100:");
    EXPECT_EQ(plain.ComPortIndex(), 11);
    EXPECT_EQ(plain.ComPortEntries()[11].text, "COM12:");

    start.ComDevice = "/dev/serial/by-id/usb-gone";
    std::vector<SerialDevice> present{{"/dev/serial/by-id/usb-FTDI_X-if00-port0", "ttyUSB0: FTDI X"}};
    CAppSetup setup(start, present);
    // The stored device, unplugged, stays listed and chosen.
    ASSERT_EQ(setup.ComPortEntries().size(), 102u);
    EXPECT_EQ(setup.ComPortIndex(), 0);
    EXPECT_EQ(setup.ComPortEntries()[1].text, "ttyUSB0: FTDI X");
    EXPECT_EQ(setup.ComPortEntries()[2].text, "COM1:");

    setup.ChooseComPort(1);
    EXPECT_EQ(setup.values.ComDevice, "/dev/serial/by-id/usb-FTDI_X-if00-port0");
    EXPECT_EQ(setup.ComPortIndex(), 1);
    setup.ChooseComPort(2 + 2);  // COM3:
    EXPECT_EQ(setup.values.ComDevice, "");
    EXPECT_EQ(setup.values.ComPort, 3);
    EXPECT_EQ(setup.ComPortIndex(), 4);
}

TEST(AppSetupTest, SerialDevicesAreNamedByKernelDeviceAndAdapter)
{
    test::TempDir dev;
    std::filesystem::create_directories(dev.File("serial/by-id"));
    for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyACM0", "ttyS0"})
        test::WriteFileText(dev.File(name), "");
    std::filesystem::create_symlink("../../ttyUSB1",
                                    dev.File("serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"));
    std::filesystem::create_symlink("../../ttyUSB0", dev.File("serial/by-id/usb-Prolific_PL2303-if01-port0"));

    std::vector<SerialDevice> found = ListSerialDevices(dev.Path());
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].description, "ttyUSB0: Prolific PL2303 if01");
    EXPECT_EQ(found[1].description, "ttyUSB1: FTDI FT232R USB UART A50285BI");
    EXPECT_EQ(found[1].path, dev.File("serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"));
    EXPECT_EQ(found[2].description, "ttyACM0");
    EXPECT_EQ(found[2].path, dev.File("ttyACM0"));
}

class ApplySetupTest : public ::testing::Test {
protected:
    ApplySetupTest() : serial(prompter, ticks, pump)
    {
        settings.Load(store, "/start");
        settings.LoadExporterSettings(store, "/opt/tkan");
        effects.setPrintOrientation = [this](int o) { events.push_back("orientation " + std::to_string(o)); };
        effects.changeFolder = [this](const std::string& f) { events.push_back("folder " + f); };
        effects.settingsApplied = [this] {
            events.push_back("applied, port " + std::to_string(serial.portNumber) + " " + serial.comDevice);
        };
    }

    test::MemorySettingsStore store;
    test::RecordingPrompter prompter;
    SteadyTickSource ticks;
    MessagePump pump;
    CSerialCom serial;
    CAppInfo settings;
    SetupEffects effects;
    std::vector<std::string> events;
};

TEST_F(ApplySetupTest, OkSavesInOrderThenMovesFolderAndPort)
{
    serial.speed = 115200;
    CAppSetup setup(SettingsForSetup(settings, store, false), {});
    setup.values.ComPort = 7;
    setup.values.Orientation = 1;
    setup.values.FilePath = "/data/tests";
    setup.values.crBackground = CanvasRgb(10, 20, 30);
    setup.values.AutoExportPdf = 1;
    store.log.clear();
    ApplySetup(setup.Finish(), settings, store, serial, false, effects);

    EXPECT_EQ(events, (std::vector<std::string>{"orientation 1", "folder /data/tests", "applied, port 7 "}));
    EXPECT_EQ(serial.speed, 0);
    EXPECT_EQ(settings.crBackground, CanvasRgb(10, 20, 30));
    std::vector<std::string> written = store.Names(Op::WriteNumber);
    ASSERT_GE(written.size(), 3u);
    EXPECT_EQ(written.front(), "ComPort");
    EXPECT_EQ(store.Get(kSettingsSection, "crBackground"), "0x1e140a");
    EXPECT_EQ(store.Get(kSettingsSection, "AutoExportPdf"), "1");
    EXPECT_EQ(store.Get(kSettingsSection, "AutoExportFolder"), "/opt/tkan/Export");
    EXPECT_FALSE(store.Has(kSettingsSection, "InstallDir"));
    EXPECT_EQ(store.log.back().op, Op::Flush);

    CAppInfo restarted;
    restarted.Load(store, "/elsewhere");
    EXPECT_EQ(restarted.ComPort, 7);
    EXPECT_EQ(restarted.FilePath, "/data/tests");
}

TEST_F(ApplySetupTest, ASimulatedRunShowsAndSavesTheStoredLinkAndKeepsItsOwn)
{
    // What the start of a simulated run did: USB off, the terminal's path.
    store.Set(kSettingsSection, "USBEnable", "1");
    store.Set(kSettingsSection, "ComPort", "4");
    settings.Load(store, "/start");
    settings.USBEnable = 0;
    serial.comDevice = "/dev/pts/9";

    CAppSetup setup(SettingsForSetup(settings, store, true), {});
    EXPECT_EQ(setup.values.USBEnable, 1);
    EXPECT_EQ(setup.ComPortEntries()[static_cast<std::size_t>(setup.ComPortIndex())].text, "COM4:");
    setup.values.crGraphBG = CanvasRgb(1, 1, 1);
    ApplySetup(setup.Finish(), settings, store, serial, true, effects);

    EXPECT_EQ(store.Get(kSettingsSection, "USBEnable"), "1");
    EXPECT_EQ(store.Get(kSettingsSection, "ComDevice"), "");
    EXPECT_EQ(settings.crGraphBG, CanvasRgb(1, 1, 1));
    EXPECT_EQ(settings.USBEnable, 0);
    EXPECT_EQ(serial.comDevice, "/dev/pts/9");
}

}  // namespace
}  // namespace tkan
