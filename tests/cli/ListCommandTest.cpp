#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "cli/CliRunner.h"

namespace tkan::test {
namespace {

TEST(CliList, PrintsTheSimulatorsVersionAndDirectoryAtEitherSpeed)
{
    if (::access(SimulatorPath().c_str(), X_OK) != 0)
        GTEST_SKIP() << "tkan-sim is not built";
    for (const char* baud : {"115200", "19200"}) {
        SimulatorProcess sim({"--baud", baud});
        ASSERT_FALSE(sim.Path().empty()) << baud;

        CliResult r = RunCli({"list", "--device", sim.Path()});
        EXPECT_EQ(r.exitCode, 0) << baud << ": " << r.err;
        EXPECT_EQ(r.err, "") << baud;
        std::vector<std::string> lines = Lines(r.out);
        ASSERT_EQ(lines.size(), 5u) << baud << ": " << r.out;
        EXPECT_EQ(lines[0], "TKAN V2.31");
        // Number, type, date, company, station, circuit; the date is the
        // record's, which the simulator takes from today.
        const std::string first = lines[1];
        EXPECT_EQ(first.substr(0, 14), "0001\tDYN 2000\t") << first;
        EXPECT_EQ(first.substr(31), "\tNorthfield Power Co\tHarlow Substation\tT2 138/13.8 kV") << first;
        EXPECT_EQ(lines[4].substr(0, 5), "0004\t");
    }
}

TEST(CliList, DeviceMessagesGoToStandardErrorAndFailureExitsOne)
{
    CliResult r = RunCli({"list", "--device", "/nonexistent/ttyX"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    std::vector<std::string> lines = Lines(r.err);
    ASSERT_EQ(lines.size(), 3u) << r.err;
    EXPECT_EQ(lines[0], "Warning: Can't open com port for device /nonexistent/ttyX error=2");
    EXPECT_EQ(lines[1], lines[0]);  // once per speed tried
    EXPECT_EQ(lines[2], "Brennix: Unable to auto-detect baud rate, or device is not available");

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list", "--usb"}, std::vector<std::string>{"list"}}) {
        r = RunCli(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
    }
}

TEST(CliList, ListsOverUsbWhenAskedAndByDefault)
{
    SimulatedHid hid("1");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list", "--usb"}, std::vector<std::string>{"list"}}) {
        CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, "");
        std::vector<std::string> lines = Lines(r.out);
        ASSERT_EQ(lines.size(), 5u) << r.out;
        EXPECT_EQ(lines[0], "TKAN V2.31");
        EXPECT_EQ(lines[1].substr(0, 14), "0001\tDYN 2000\t") << lines[1];
        EXPECT_EQ(lines[1].substr(31), "\tNorthfield Power Co\tHarlow Substation\tT2 138/13.8 kV") << lines[1];
        EXPECT_EQ(lines[4].substr(0, 5), "0004\t");
    }
}

TEST(CliList, AnInstrumentThisUserMayNotOpenNamesTheUdevRule)
{
    SimulatedHid hid("no-permission");
    CliResult r = RunCli({"list", "--usb"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    std::vector<std::string> lines = Lines(r.err);
    ASSERT_EQ(lines.size(), 2u) << r.err;
    EXPECT_EQ(lines[0], "Brennix: Device not available");
    EXPECT_NE(lines[1].find("sudo cp resources/udev/60-tkan-hid.rules /etc/udev/rules.d/"), std::string::npos)
        << lines[1];
}

TEST(CliList, WrongUsageExitsTwo)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"list", "--device"},
                                                 {"list", "--device="},
                                                 {"list", "--device", "a", "--usb"},
                                                 {"list", "--device", "a", "--device", "b"},
                                                 {"list", "extra"},
                                                 {"list", "--speed", "19200"}}) {
        CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << args.back();
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("usage: tkan-cli list [--device PATH | --usb]"), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace tkan::test
