#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/Prompter.h"

namespace tkan::cli {

// The core's messages, for a tool that has no window: standard error, and
// every question answered No.
class StderrPrompter : public Prompter {
public:
    void Message(MessageStyle style, const std::string& text) override;
    Answer Ask(MessageStyle style, const std::string& text, QuestionButtons buttons) override;
};

// One line "tkan-cli: <text>" on standard error; `text` is UTF-8.
void ReportError(const std::string& text);

// Standard output, checked: a full disk or a closed pipe must not pass for
// success. WriteOutput keeps the first failure; FinishOutput flushes and
// turns any failure into an error line and kExitFailure.
void WriteOutput(std::string_view text);
int FinishOutput(int exitCode);

// Whether args[i] is the option `name`, as "--name" or "--name=VALUE".
bool IsOption(const std::string& arg, const std::string& name);

// "--name VALUE" (moving `i` past the value) or "--name=VALUE" at args[i];
// false with the problem when the value is missing, empty or given twice.
bool TakeOptionValue(std::span<const std::string> args, std::size_t& i, const std::string& name,
                     std::optional<std::string>& into, std::string& problem);

// A one-file command's argument that is not one of its options: the file,
// unless it looks like an option or a file was already given. Empty when
// taken, else the problem for the usage line.
std::string TakeSingleFile(const std::string& arg, std::optional<std::string>& file);

// A count or index given on the command line: decimal digits only.
std::optional<std::int64_t> ParseCount(std::string_view text);

}  // namespace tkan::cli

namespace tkan {
class TestRecord;
}

namespace tkan::cli {

// Loads a test file for a command; on failure says why in one line on
// standard error and returns false.
bool LoadRecord(const std::string& path, TestRecord& record, Prompter& prompter);

struct Command;

// The one file of a command about a dynamic test's samples, loaded:
// kExitOk, or the exit code once the usage line (no file given) or the
// reason is out; a static test is refused with a line saying it has no
// `what`.
int LoadDynamicFile(const Command& self, const std::optional<std::string>& file, TestRecord& record, const char* what);

}  // namespace tkan::cli
