#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace tkan {

ChildProcess::~ChildProcess()
{
    if (pid_ > 0) {
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {}
    }
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args, std::string& reason)
{
    std::vector<char*> argv;
    std::string name = program;
    argv.push_back(name.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    // The window's sockets and files are not the exporter's to hold open.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    pid_t pid = -1;
    int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        reason = std::strerror(error);
        return false;
    }
    pid_ = pid;
    return true;
}

void ChildProcess::Kill()
{
    if (pid_ > 0)
        ::kill(pid_, SIGKILL);
}

bool ChildProcess::Ended(int& exitCode)
{
    if (pid_ <= 0)
        return true;
    int status = 0;
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == 0 || (done < 0 && errno == EINTR))
        return false;
    pid_ = -1;
    if (done < 0)
        exitCode = -1;
    else if (WIFEXITED(status))
        exitCode = WEXITSTATUS(status);
    else
        exitCode = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
    return true;
}

}  // namespace tkan
