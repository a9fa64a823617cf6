#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tkan::test {

struct CliResult {
    int exitCode = -1;  // -1: did not exit normally
    std::string out;
    std::string err;
};

// Runs the built tkan-cli with `args`, capturing standard output and error.
// `stdoutPath`, when given, receives standard output instead (for example
// /dev/full); `out` then stays empty.
CliResult RunCli(const std::vector<std::string>& args, const std::string& stdoutPath = {});
// The same for any program.
CliResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& stdoutPath = {});

// The lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text);

// tkan-sim, built beside tkan-cli.
std::string SimulatorPath();

// tkan-sim as a process of its own, as an operator would start it, serving
// the simulated instrument on a pseudo-terminal; stopped when the object goes.
class SimulatorProcess {
public:
    explicit SimulatorProcess(const std::vector<std::string>& options);
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    // The terminal's path; empty when the simulator did not start.
    const std::string& Path() const { return path_; }

private:
    pid_t pid_ = -1;
    std::string path_;
};

// The simulated instrument in place of hidapi for the tool runs made while
// the object lives; `mode` is the value of TKAN_SIM_HID.
class SimulatedHid {
public:
    explicit SimulatedHid(const char* mode = "1");
    ~SimulatedHid();
    SimulatedHid(const SimulatedHid&) = delete;
    SimulatedHid& operator=(const SimulatedHid&) = delete;
};

}  // namespace tkan::test
