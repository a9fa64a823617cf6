#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tkan {

// A program started without a shell: each argument reaches it as itself,
// whatever blanks or quotes it holds. It gets no standard input and none of
// the program's other open files. A child still running when the object goes
// is waited for, so none is left behind as a zombie.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // False, with the reason, when the program cannot be started.
    bool Start(const std::string& program, const std::vector<std::string>& args, std::string& reason);
    // True once the child has ended; `exitCode` is its exit code, or 128 plus
    // the signal that ended it.
    bool Ended(int& exitCode);
    // Ends the child at once; Ended() then reports it.
    void Kill();

private:
    pid_t pid_ = -1;
};

}  // namespace tkan
