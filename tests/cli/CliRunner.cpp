#include "cli/CliRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "support/TempDir.h"

extern char** environ;

namespace tkan::test {

CliResult RunCli(const std::vector<std::string>& args, const std::string& stdoutPath)
{
    return RunProgram(TKAN_CLI_PATH, args, stdoutPath);
}

CliResult RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& stdoutPath)
{
    // Files rather than pipes: nobody has to drain a pipe while we wait.
    TempDir capture;
    const std::string outPath = stdoutPath.empty() ? capture.File("out") : stdoutPath;
    const std::string errPath = capture.File("err");

    std::vector<std::string> argvText = {program};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvText)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("cannot start " + argvText[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            throw std::runtime_error("lost " + argvText[0]);
    }

    CliResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    auto text = [](const std::vector<std::uint8_t>& b) { return std::string(b.begin(), b.end()); };
    if (stdoutPath.empty())
        result.out = text(ReadFileBytes(outPath));
    result.err = text(ReadFileBytes(errPath));
    return result;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string SimulatorPath()
{
    std::string cli = TKAN_CLI_PATH;
    return cli.substr(0, cli.rfind('/') + 1) + "tkan-sim";
}

SimulatorProcess::SimulatorProcess(const std::vector<std::string>& options)
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

SimulatorProcess::~SimulatorProcess()
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {}
}

SimulatedHid::SimulatedHid(const char* mode)
{
    ::setenv("TKAN_SIM_HID", mode, 1);
}

SimulatedHid::~SimulatedHid()
{
    ::unsetenv("TKAN_SIM_HID");
}

}  // namespace tkan::test
