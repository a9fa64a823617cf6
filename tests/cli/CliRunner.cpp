#include "cli/CliRunner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include "support/TempDir.h"

extern char** environ;

namespace tkan::test {

CliResult RunCli(const std::vector<std::string>& args, const std::string& stdoutPath)
{
    // Files rather than pipes: nobody has to drain a pipe while we wait.
    TempDir capture;
    const std::string outPath = stdoutPath.empty() ? capture.File("out") : stdoutPath;
    const std::string errPath = capture.File("err");

    std::vector<std::string> argvText = {TKAN_CLI_PATH};
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

}  // namespace tkan::test
