#include "device/RovaDevice.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "device/SerialCom.h"
#include "device/Timer.h"
#include "settings/AppInfo.h"
#include "support/ManualClock.h"
#include "support/PtyPeer.h"
#include "support/RecordingPrompter.h"
#include "support/ScriptedTransport.h"

namespace tkan {
namespace {

using Texts = std::vector<std::string>;

constexpr char kBase[] = "Brennix TKAN Software Version 1.13";
const std::string kTkanTitle = std::string(kBase) + "        [Connected Device:  TKAN]";

class RecordingTitle : public TitleSink {
public:
    std::string CurrentTitle() override { return title; }
    void SetTitle(const std::string& text) override
    {
        title = text;
        ++changes;
    }
    std::string title = kBase;
    int changes = 0;
};

// A scripted instrument behind the USB seam. The serial port points at a
// pseudo-terminal nobody answers on, so a test can tell whether it was used.
class RovaDeviceTest : public ::testing::Test {
protected:
    RovaDeviceTest()
    {
        settings.USBEnable = 1;
        serial.comDevice = peer.SlavePath();
        serial.speed = 115200;
        usb.replies = {{"B", "OK\r\n"}, {"W", "TKAN V2.31\r\n"}};
        device.SetTitleSink(&title);
    }

    Texts Shown()
    {
        Texts texts;
        for (const auto& s : prompter.shown) {
            EXPECT_EQ(s.style, MessageStyle::Brennix) << s.text;
            texts.push_back(s.text);
        }
        prompter.shown.clear();
        return texts;
    }

    test::RecordingPrompter prompter;
    SteadyTickSource ticks;
    MessagePump pump;
    test::PtyPeer peer;
    CSerialCom serial{prompter, ticks, pump};
    CAppInfo settings;
    test::ScriptedTransport usb;
    RovaDevice device{serial, &usb, settings, prompter};
    RecordingTitle title;
};

TEST_F(RovaDeviceTest, VersionReplySetsTheModelFlagsAndTheTitleGetsOneMark)
{
    struct Case {
        const char* reply;
        int tkan, fortyAmp, rkz;
    };
    for (Case c : {Case{"TKAN-40 V2.31", 1, 1, 0}, Case{"TKAN V2.31", 1, 0, 0}, Case{"RKZ10P V1.07", 0, 0, 1},
                   Case{"RKZ40P V1.07", 0, 0, 1}, Case{"tkan v1", 0, 0, 0}, Case{"MRX-40 V3.02", 0, 0, 0}}) {
        usb.replies["W"] = std::string(c.reply) + "\r\n";
        ASSERT_EQ(device.Connect(1), 1) << c.reply;
        EXPECT_EQ(device.IsTkan, c.tkan) << c.reply;
        EXPECT_EQ(device.Is40Amp, c.fortyAmp) << c.reply;
        EXPECT_EQ(device.IsRkzMeter, c.rkz) << c.reply;
        EXPECT_EQ(device.VersionText(), c.reply);
        if (c.tkan) {
            EXPECT_EQ(title.title, kTkanTitle);
        }
    }
    // Whatever is not a TKAN is labelled RKZ.
    EXPECT_EQ(title.title, std::string(kBase) + "        [Connected Device:  RKZ]");
    EXPECT_EQ(usb.sent, (Texts{"B", "W", "B", "W", "B", "W", "B", "W", "B", "W", "B", "W"}));

    // A window whose title already carries a mark gets it replaced, not doubled.
    RovaDevice other(serial, &usb, settings, prompter);
    RecordingTitle marked;
    marked.title = kTkanTitle;
    other.SetTitleSink(&marked);
    usb.replies["W"] = "TKAN V2.31\r\n";
    ASSERT_EQ(other.Connect(1), 1);
    EXPECT_EQ(marked.title, kTkanTitle);
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(RovaDeviceTest, FailedVersionReadKeepsTheFlagsOfWhatArrivedAndLeavesTheTitle)
{
    usb.replies["W"] = "TKAN-40 V2.31 build";  // no carriage return: 19 characters fill the line
    EXPECT_EQ(device.Connect(1), 1);           // the probe was answered
    EXPECT_EQ(device.IsTkan + device.Is40Amp, 2);
    EXPECT_EQ(device.VersionText(), "TKAN-40 V2.31 build");
    EXPECT_EQ(title.changes, 0);

    std::string reply = "stale";
    usb.replies["W"] = "";
    EXPECT_EQ(device.GetVersion(reply, 0), 0);
    EXPECT_EQ(reply, "");
    EXPECT_EQ(device.IsTkan + device.Is40Amp + device.IsRkzMeter, 0);
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(RovaDeviceTest, AbsentUsbDeviceIsReportedOnlyWhenAskedAndTheSerialPortStaysUnused)
{
    usb.present = false;
    EXPECT_EQ(device.Connect(0), 0);
    EXPECT_EQ(Shown(), Texts{});
    EXPECT_EQ(device.Connect(1), 0);
    EXPECT_EQ(Shown(), Texts{"Device not available"});

    RovaDevice noUsb(serial, nullptr, settings, prompter);
    EXPECT_EQ(noUsb.ReadDirectory(), 0);
    EXPECT_EQ(noUsb.SendText("W"), 0);
    EXPECT_EQ(Shown(), (Texts{"Device not available", "Can't send data to device"}));
    EXPECT_TRUE(usb.sent.empty());
    EXPECT_FALSE(serial.IsOpen());
    EXPECT_EQ(peer.Receive(1, 50), "");
}

TEST_F(RovaDeviceTest, AnAbortLeftOverFromADownloadDoesNotBlockTheNextCommand)
{
    device.SetAbort(1);
    ASSERT_EQ(device.Connect(1), 1);
    EXPECT_EQ(usb.AbortRequested(), 0);

    // A line read starts afresh too; the caller of a raw read decides.
    usb.replies["X"] = "ABCD\r\n";
    ASSERT_EQ(device.SendText("X"), 1);
    device.SetAbort(1);
    std::vector<std::uint8_t> four(4);
    EXPECT_EQ(device.ReadExact(four, 100), 0);
    std::string line;
    EXPECT_EQ(device.ReadLine(line, 20, 100), 1);
    EXPECT_EQ(line, "ABCD");
}

TEST_F(RovaDeviceTest, FailuresShowTheGeneralMessageAndTheOperationsOwn)
{
    usb.failingCommands = {"d"};
    EXPECT_EQ(device.ReadDirectory(), 0);
    EXPECT_EQ(Shown(), (Texts{"Can't send data to device", "Can't send data to device (getdirectory)"}));

    usb.failingCommands = {"L012"};
    EXPECT_EQ(device.LoadTest(12), 0);
    EXPECT_EQ(Shown(), (Texts{"Can't send data to device", "Can't send data to device (loadtest)"}));
    usb.failingCommands.clear();
    EXPECT_EQ(device.LoadTest(7), 0);  // sent, but never answered
    EXPECT_EQ(usb.sent.back(), "L007");
    EXPECT_EQ(Shown(), Texts{"Can't read data from device (loadtest)"});

    // An aborted USB write is the operator's doing: no message.
    usb.failingCommands = {"\x1b"};
    EXPECT_EQ(device.SendEscape(), 0);
    device.SetAbort(1);
    EXPECT_EQ(device.SendEscape(), 0);
    EXPECT_EQ(Shown(), Texts{"Can't send data to device"});
}

TEST_F(RovaDeviceTest, TheTestStartNamesTheStepTheInstrumentRefusedAndStopsThere)
{
    const std::map<std::string, std::string> accepting = {{"i0a", "\r\n"}, {"t04", "\r\n"}, {"T314", "SURE?\r\n"}};
    struct Case {
        const char* command;
        const char* reply;  // in place of the accepting one; null: none comes
        std::vector<std::string> sent;
        const char* message;  // null: the start fails silently
    };
    for (const Case& c : {
             Case{"i0a", "BAD CURRENT\r\n", {"i0a"}, "Device did not recognize current setting"},
             Case{"i0a", nullptr, {"i0a"}, nullptr},
             Case{"t04", "BAD TYPE\r\n", {"i0a", "t04"}, "Device did not recognize test type"},
             Case{"T314", "BUSY\r\n", {"i0a", "t04", "T314"}, "Device did not recognize start test command"},
             Case{"T314", nullptr, {"i0a", "t04", "T314"}, nullptr},
         }) {
        SCOPED_TRACE(std::string(c.command) + " answered " + (c.reply ? c.reply : "(nothing)"));
        usb.sent.clear();
        prompter.shown.clear();
        usb.replies = accepting;
        if (c.reply)
            usb.replies[c.command] = c.reply;
        else
            usb.replies.erase(c.command);

        EXPECT_EQ(device.StartTkanTest(10, "t04", {}), 0);
        EXPECT_EQ(usb.sent, c.sent);
        if (c.message) {
            ASSERT_EQ(prompter.shown.size(), 1u);
            EXPECT_EQ(prompter.shown[0].text, c.message);
            EXPECT_EQ(prompter.shown[0].style, MessageStyle::Tkan);
        } else {
            EXPECT_TRUE(prompter.shown.empty());
        }
    }

    // Accepted throughout: acknowledged with Y. Called off while the first
    // reply was awaited: nothing more goes out, and nothing is shown.
    usb.sent.clear();
    prompter.shown.clear();
    usb.replies = accepting;
    EXPECT_EQ(device.StartTkanTest(10, "t04", {}), 1);
    EXPECT_EQ(usb.sent, (std::vector<std::string>{"i0a", "t04", "T314", "Y"}));
    usb.sent.clear();
    usb.replies["i28"] = "\r\n";
    EXPECT_EQ(device.StartTkanTest(40, "t05", [] { return true; }), 0);
    EXPECT_EQ(usb.sent, (std::vector<std::string>{"i28"}));
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(RovaDeviceTest, DirectoryEntriesTakeTheirFieldsFromTheListing)
{
    usb.replies["d"] = "KNEE=before any record\r\n#3\r\n01/05/10 09:15:00\r\nDYN\r\nCOMPANY=ACME\r\nDONE\r\n";
    ASSERT_EQ(device.ReadDirectory(), 1);
    DirectoryEntry expected;
    expected.testNumber = 3;
    expected.dateText = "01/05/10 09:15:00";
    expected.typeText = "DYN";
    expected.header.company = "ACME";
    ASSERT_EQ(device.DirectoryCount(), 1);
    EXPECT_EQ(device.Directory()[0], expected);

    usb.replies["W"] = "RKZ40P V1.07\r\n";  // its second line is no type
    ASSERT_EQ(device.ReadDirectory(), 1);
    expected.typeText = "";
    EXPECT_EQ(device.Directory()[0], expected);

    const std::string longText(45, 'x');
    usb.replies["W"] = "TKAN V2.31\r\n";
    usb.replies["d"] =
        "#12\r\n\r\n12/31/09 10:20:30\r\nSTAT V1\r\n"
        "company=North=Power\r\nStation=" +
        longText +
        "\r\nCIRCUIT=T2\r\nMFR=Calder\r\nMODEL=RS\r\n"
        "SN=CE-1\r\nKVA=28000\r\nOPERATOR=R. M\xFCller\r\nKNEE=12.5\r\nCOLOUR=red\r\n"
        "#abc\r\n" +
        longText + "\r\n# 7\r\ndone\r\n";
    ASSERT_EQ(device.ReadDirectory(), 1);
    ASSERT_EQ(device.DirectoryCount(), 3);
    const DirectoryEntry& e = device.Directory()[0];
    EXPECT_EQ(
        (Texts{e.dateText, e.typeText, e.header.company, e.header.station, e.header.circuit, e.header.manufacturer,
               e.header.model, e.header.serialNumber, e.header.kva, e.header.operatorName, e.kneeText}),
        (Texts{"12/31/09 10:20:30", "STAT V1", "North=Power", std::string(39, 'x'), "T2", "Calder", "RS", "CE-1",
               "28000", "R. M\xFCller", "12.5"}));
    EXPECT_EQ(e.testNumber, 12);
    EXPECT_EQ(device.Directory()[1], DirectoryEntry{});
    EXPECT_EQ(device.Directory()[2].testNumber, 7);
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(RovaDeviceTest, DirectoryOfMoreThanAHundredRecordsKeepsTheFirstHundred)
{
    std::string listing;
    for (int n = 1; n <= 103; ++n)
        listing += "#" + std::to_string(n) + "\r\n01/05/10 09:15:00\r\nDYN\r\n";
    usb.replies["d"] = listing + "DONE\r\n";
    ASSERT_EQ(device.ReadDirectory(), 1);
    ASSERT_EQ(device.DirectoryCount(), 100);
    EXPECT_EQ(device.Directory()[99].testNumber, 100);
    EXPECT_EQ(Shown(), Texts{"Directory limit of 100 exceeded"});
    // The records that did not fit were read to the end, so none of them can
    // be taken for the reply to the next command.
    EXPECT_EQ(usb.Unread(), 0u);

    // A listing that stops without DONE fails and keeps what it had.
    usb.replies["d"] = "#1\r\n#2\r\n";
    EXPECT_EQ(device.ReadDirectory(), 0);
    EXPECT_EQ(device.DirectoryCount(), 2);
    EXPECT_EQ(Shown(), Texts{});
}

TEST_F(RovaDeviceTest, HandlerCannotStartAnExchangeWhileOneWaitsButMaySendPrimitives)
{
    usb.replies["d"] = "#1\r\nDONE\r\n";
    int nested = -1;
    usb.whileWaiting = [&] {
        usb.whileWaiting = nullptr;
        std::string reply = "x";
        nested = device.ReadDirectory() + device.LoadTest(1) + device.Connect(1) + device.GetVersion(reply, 1);
        EXPECT_TRUE(device.IsBusy());
        EXPECT_EQ(device.SendText("U"), 1);  // a test dialog's relay button
    };
    ASSERT_EQ(device.Connect(1), 1);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(usb.sent, (Texts{"B", "U", "W"}));
    EXPECT_FALSE(device.IsBusy());

    // The same while a test dialog's own poll read waits.
    usb.whileWaiting = [&] {
        usb.whileWaiting = nullptr;
        nested = device.Connect(0);
    };
    std::string line;
    EXPECT_EQ(device.ReadLine(line, 512, 500), 0);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(device.ReadDirectory(), 1);
    EXPECT_TRUE(prompter.shown.empty());
}

// The static-test menus probe with Connect(0) each time they open: whatever
// the probe meets stays unsaid, while Connect(1) says it as before.
TEST(RovaDeviceSilentProbe, ShowsNothingOnEitherTransportWhileConnectOneStillSpeaks)
{
    test::RecordingPrompter prompter;
    test::ManualClock ticks;
    MessagePump pump;
    pump.SetHook([&] { ticks.now += 100; });
    CSerialCom serial{prompter, ticks, pump};
    CAppInfo settings;
    test::ScriptedTransport usb;
    RovaDevice device{serial, &usb, settings, prompter};

    settings.USBEnable = 0;
    serial.comDevice = "/nonexistent/tty";
    for (int speed : {115200, 0}) {
        serial.speed = speed;
        EXPECT_EQ(device.Connect(0), 0);
        EXPECT_EQ(prompter.Texts(), Texts{}) << speed;
    }
    serial.speed = 115200;
    EXPECT_EQ(device.Connect(1), 0);
    EXPECT_EQ(prompter.Texts(), Texts{"Can't open com port for device /nonexistent/tty error=2"});
    prompter.shown.clear();

    test::PtyPeer silentPeer;
    serial.comDevice = silentPeer.SlavePath();
    EXPECT_EQ(device.Connect(0), 0);
    EXPECT_EQ(silentPeer.Receive(2), "B\r");
    EXPECT_EQ(prompter.Texts(), Texts{});
    EXPECT_EQ(device.Connect(1), 0);
    EXPECT_EQ(prompter.Texts(), Texts{"Device not available"});
    prompter.shown.clear();

    settings.USBEnable = 1;
    usb.present = false;
    EXPECT_EQ(device.Connect(0), 0);
    // Present and answering the probe, but the version query cannot be sent.
    usb.present = true;
    usb.replies = {{"B", "OK\r\n"}};
    usb.failingCommands = {"W"};
    EXPECT_EQ(device.Connect(0), 1);
    EXPECT_EQ(prompter.Texts(), Texts{});
    EXPECT_EQ(device.Connect(1), 1);
    EXPECT_EQ(prompter.Texts(), (Texts{"Can't send data to device", "Can't send data to device (getversion)"}));
}

}  // namespace
}  // namespace tkan
