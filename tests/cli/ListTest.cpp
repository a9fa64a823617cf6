#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/CliRunner.h"

extern char** environ;

namespace tkan::test {
namespace {

// tkan-sim is built beside tkan-cli.
std::string SimulatorPath()
{
    std::string cli = TKAN_CLI_PATH;
    return cli.substr(0, cli.rfind('/') + 1) + "tkan-sim";
}

// tkan-sim as a process of its own, as an operator would start it.
class SimulatorProcess {
public:
    explicit SimulatorProcess(const std::vector<std::string>& options)
    {
        std::vector<std::string> argvText = {SimulatorPath()};
        argvText.insert(argvText.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& a : argvText)
            argv.push_back(a.data());
        argv.push_back(nullptr);

        int out[2];
        if (::pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);

        // The first line is the terminal's path.
        for (;;) {
            pollfd ready{out[0], POLLIN, 0};
            if (::poll(&ready, 1, 5000) <= 0)
                break;
            char c = 0;
            if (::read(out[0], &c, 1) != 1 || c == '\n')
                break;
            path_.push_back(c);
        }
        ::close(out[0]);
    }

    ~SimulatorProcess()
    {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }

    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    const std::string& Path() const { return path_; }

private:
    pid_t pid_ = -1;
    std::string path_;
};

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

    for (const std::vector<std::string>& args : {std::vector<std::string>{"list", "--usb"},
                                                 std::vector<std::string>{"list"}}) {
        r = RunCli(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
    }
}

// The simulated instrument in place of hidapi, for the tool run below.
class SimulatedHid {
public:
    explicit SimulatedHid(const char* mode) { ::setenv("TKAN_SIM_HID", mode, 1); }
    ~SimulatedHid() { ::unsetenv("TKAN_SIM_HID"); }
    SimulatedHid(const SimulatedHid&) = delete;
    SimulatedHid& operator=(const SimulatedHid&) = delete;
};

TEST(CliList, ListsOverUsbWhenAskedAndByDefault)
{
    SimulatedHid hid("1");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"list", "--usb"},
                                                 std::vector<std::string>{"list"}}) {
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
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list", "--device"}, {"list", "--device="}, {"list", "--device", "a", "--usb"},
          {"list", "--device", "a", "--device", "b"}, {"list", "extra"}, {"list", "--speed", "19200"}}) {
        CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << args.back();
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("usage: tkan-cli list [--device PATH | --usb]"), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace tkan::test
