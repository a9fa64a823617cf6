#include "app/UlkApp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/RecentFileList.h"
#include "device/SerialCom.h"
#include "device/Timer.h"
#include "settings/AppInfo.h"
#include "support/MemorySettingsStore.h"
#include "support/RecordingPrompter.h"

namespace tkan {
namespace {

using Op = test::MemorySettingsStore::Op;

class UlkAppTest : public ::testing::Test {
protected:
    UlkAppTest() : serial(prompter, ticks, pump), app(store, settings, recent, serial)
    {
        app.changeFolder = [this](const std::string& folder) { folders.push_back(folder); };
        store.Set(kSettingsSection, "ComPort", "3");
        store.Set(kSettingsSection, "ComSpeed", "2");
        store.Set(kSettingsSection, "USBEnable", "1");
        store.Set(kSettingsSection, "FilePath", "/data/tests");
        store.Set(kRecentFileSection, "File1", "/data/tests/last.test");
    }

    test::MemorySettingsStore store;
    test::RecordingPrompter prompter;
    SteadyTickSource ticks;
    MessagePump pump;
    CAppInfo settings;
    RecentFileList recent;
    CSerialCom serial;
    CUlkApp app;
    std::vector<std::string> folders;
};

TEST_F(UlkAppTest, StartTakesThePortAndLeavesItsSpeedToBeFound)
{
    serial.speed = 115200;
    app.InitInstance("/start", "/opt/tkan", std::nullopt);

    EXPECT_EQ(serial.portNumber, 3);
    EXPECT_EQ(serial.speed, 0);
    EXPECT_EQ(serial.comDevice, "");
    EXPECT_EQ(serial.DeviceName(), "/dev/ttyS2");
    EXPECT_FALSE(serial.IsOpen());  // nothing is sent at start
    EXPECT_EQ(settings.USBEnable, 1);
    EXPECT_EQ(recent.Files(), std::vector<std::string>{"/data/tests/last.test"});
    EXPECT_EQ(folders, std::vector<std::string>{"/data/tests"});
    EXPECT_EQ(settings.InstallDir, "/opt/tkan");
    EXPECT_FALSE(app.Simulated());

    // The recent-file list is read before the settings.
    auto reads = store.Names(Op::ReadText);
    ASSERT_FALSE(reads.empty());
    EXPECT_EQ(reads.front(), "File1");
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(UlkAppTest, SimulationUsesItsTerminalWithoutTouchingTheStoredSettings)
{
    store.Set(kSettingsSection, "ComDevice", "/dev/ttyUSB0");
    app.InitInstance("/start", "/opt/tkan", std::string("/dev/pts/7"));

    EXPECT_TRUE(app.Simulated());
    EXPECT_EQ(serial.DeviceName(), "/dev/pts/7");
    EXPECT_EQ(serial.speed, 0);
    EXPECT_EQ(settings.USBEnable, 0);
    EXPECT_EQ(settings.ComDevice, "/dev/ttyUSB0");
    EXPECT_TRUE(store.Names(Op::WriteNumber).empty());
    EXPECT_TRUE(store.Names(Op::WriteText).empty());
    EXPECT_EQ(store.Get(kSettingsSection, "USBEnable"), "1");
}

TEST(CommandLineTest, OptionsAndOneFile)
{
    std::vector<std::string> args{"--simulate", "demo/Demo.tst-tkan"};
    CommandLine line = ParseCommandLine(args);
    EXPECT_TRUE(line.simulate);
    EXPECT_EQ(line.file, "demo/Demo.tst-tkan");
    EXPECT_TRUE(line.error.empty());

    EXPECT_FALSE(ParseCommandLine(std::vector<std::string>{"--bogus"}).error.empty());
    EXPECT_FALSE(ParseCommandLine(std::vector<std::string>{"a.test", "b.test"}).error.empty());
    EXPECT_EQ(ParseCommandLine(std::vector<std::string>{"--", "--odd.test"}).file, "--odd.test");
    EXPECT_TRUE(ParseCommandLine(std::vector<std::string>{"--exit-after-first-paint"}).exitAfterFirstPaint);
    EXPECT_TRUE(ParseCommandLine({}).file.empty());
    CommandLine rkz = ParseCommandLine(std::vector<std::string>{"--simulate=RKZ10P"});
    EXPECT_TRUE(rkz.simulate);
    EXPECT_EQ(rkz.simulatedModel, "RKZ10P");
}

TEST(CommandLineTest, ARelativeFileIsTakenFromTheStartFolder)
{
    EXPECT_EQ(AbsolutePath("demo/../demo/Demo.tst-tkan", "/home/op"), "/home/op/demo/Demo.tst-tkan");
    EXPECT_EQ(AbsolutePath("/abs/a.test", "/home/op"), "/abs/a.test");
    EXPECT_EQ(AbsolutePath("", "/home/op"), "");
}

}  // namespace
}  // namespace tkan
