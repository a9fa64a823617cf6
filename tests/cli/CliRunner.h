#pragma once

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

// The lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text);

}  // namespace tkan::test
