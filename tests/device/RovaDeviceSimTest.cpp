#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "device/RovaDevice.h"
#include "device/SerialCom.h"
#include "device/Timer.h"
#include "settings/AppInfo.h"
#include "sim/SimOptions.h"
#include "support/ManualClock.h"
#include "support/RecordingPrompter.h"
#include "support/RunningPtySim.h"

namespace tkan {
namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class RecordingTitle : public TitleSink {
public:
    std::string CurrentTitle() override { return title; }
    void SetTitle(const std::string& text) override { title = text; }
    std::string title = "Brennix TKAN Software Version 1.13";
};

// The program's side as it starts: serial port, speed still to be found.
struct Program {
    explicit Program(const std::string& path, TickSource& ticks)
    {
        settings.USBEnable = 0;
        serial = std::make_unique<CSerialCom>(prompter, ticks, pump);
        serial->comDevice = path;
        serial->speed = 0;
        device = std::make_unique<RovaDevice>(*serial, nullptr, settings, prompter);
        device->SetTitleSink(&title);
    }

    test::RecordingPrompter prompter;
    MessagePump pump;
    CAppInfo settings;
    RecordingTitle title;
    std::unique_ptr<CSerialCom> serial;
    std::unique_ptr<RovaDevice> device;
};

SimOptions Instrument(SimModel model, int baud, std::vector<SimFault> faults = {})
{
    SimOptions options;
    options.model = model;
    options.baud = baud;
    options.paced = true;
    options.faults = std::move(faults);
    return options;
}

TEST(RovaDeviceOnSimulator, FindsNineteenTwoHundredAfterTheFasterSpeedFailsAndKeepsIt)
{
    test::RunningPtySim sim(Instrument(SimModel::Tkan40, 19200));
    SteadyTickSource ticks;
    Program program(sim.SlavePath(), ticks);
    RovaDevice& device = *program.device;

    auto start = Clock::now();
    ASSERT_EQ(device.Connect(1), 1);
    EXPECT_GE(MsSince(start), 3000);  // the probe at 115200 went unanswered first
    EXPECT_EQ(program.serial->speed, 19200);
    EXPECT_EQ(device.IsTkan, 1);
    EXPECT_EQ(device.Is40Amp, 1);

    start = Clock::now();
    ASSERT_EQ(device.Connect(1), 1);
    EXPECT_LT(MsSince(start), 1500);
    EXPECT_EQ(program.serial->speed, 19200);
    EXPECT_EQ(program.title.title, "Brennix TKAN Software Version 1.13        [Connected Device:  TKAN]");
    EXPECT_TRUE(program.prompter.shown.empty());
    EXPECT_EQ(sim.CommandLog(), (std::vector<std::string>{"B", "W", "B", "W"}));
}

TEST(RovaDeviceOnSimulator, NoAnswerAtEitherSpeedLeavesTheSpeedToBeFound)
{
    test::RunningPtySim sim(Instrument(SimModel::Tkan, 115200, {SimFault::Silence}));
    // Time runs 10 times fast so that two 3-s probes take a fraction of that.
    test::ManualClock ticks;
    Program program(sim.SlavePath(), ticks);
    program.pump.SetHook([&] { ticks.now += 100; });

    EXPECT_EQ(program.device->Connect(0), 0);
    EXPECT_TRUE(program.prompter.shown.empty());
    EXPECT_EQ(program.device->Connect(1), 0);
    ASSERT_EQ(program.prompter.shown.size(), 1u);
    EXPECT_EQ(program.prompter.shown[0].style, MessageStyle::Brennix);
    EXPECT_EQ(program.prompter.shown[0].text, "Unable to auto-detect baud rate, or device is not available");
    EXPECT_EQ(program.serial->speed, 0);
    EXPECT_FALSE(program.serial->IsOpen());
}

TEST(RovaDeviceOnSimulator, RkzMeterIsFlaggedItsEntriesHaveNoTypeAndUnknownRecordsAreRefused)
{
    test::RunningPtySim sim(Instrument(SimModel::Rkz40, 115200));
    SteadyTickSource ticks;
    Program program(sim.SlavePath(), ticks);
    RovaDevice& device = *program.device;

    ASSERT_EQ(device.ReadDirectory(), 1);
    EXPECT_EQ(device.IsRkzMeter, 1);
    EXPECT_EQ(device.IsTkan + device.Is40Amp, 0);
    EXPECT_EQ(program.title.title, "Brennix TKAN Software Version 1.13        [Connected Device:  RKZ]");
    ASSERT_GT(device.DirectoryCount(), 1);
    for (const DirectoryEntry& entry : device.Directory()) {
        EXPECT_EQ(entry.typeText, "") << entry.testNumber;
        EXPECT_EQ(entry.dateText.size(), 17u) << entry.testNumber;  // MM/DD/YY HH:MM:SS
        EXPECT_EQ(entry.header.company, "Northfield Power Co") << entry.testNumber;
    }

    EXPECT_EQ(device.LoadTest(device.Directory()[1].testNumber), 1);
    EXPECT_TRUE(program.prompter.shown.empty());
    EXPECT_EQ(device.LoadTest(99), 0);
    ASSERT_EQ(program.prompter.shown.size(), 1u);
    EXPECT_EQ(program.prompter.shown[0].text, "Can't load test 99, test not found");
}

TEST(RovaDeviceOnSimulator, AnOverfullDirectoryKeepsAHundredAndTheNextCommandIsClean)
{
    test::RunningPtySim sim(Instrument(SimModel::Tkan, 115200, {SimFault::ManyRecords}));
    SteadyTickSource ticks;
    Program program(sim.SlavePath(), ticks);
    RovaDevice& device = *program.device;

    ASSERT_EQ(device.ReadDirectory(), 1);
    EXPECT_EQ(device.DirectoryCount(), 100);
    EXPECT_EQ(device.Directory()[99].testNumber, 100);
    ASSERT_EQ(program.prompter.shown.size(), 1u);
    EXPECT_EQ(program.prompter.shown[0].text, "Directory limit of 100 exceeded");

    std::string reply;
    EXPECT_EQ(device.GetVersion(reply, 1), 1);
    EXPECT_EQ(reply, "TKAN V2.31");
}

TEST(RovaDeviceOnSimulator, DirectoryRequestedFromAHandlerDuringConnectIsRefusedUnsent)
{
    test::RunningPtySim sim(Instrument(SimModel::Tkan, 115200));
    SteadyTickSource ticks;
    Program program(sim.SlavePath(), ticks);
    RovaDevice& device = *program.device;

    int nested = -1;
    program.pump.SetHook([&] {
        if (nested == -1)
            nested = device.ReadDirectory();
    });
    ASSERT_EQ(device.Connect(1), 1);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(sim.CommandLog(), (std::vector<std::string>{"B", "W"}));
    EXPECT_TRUE(program.prompter.shown.empty());
}

}  // namespace
}  // namespace tkan
