#include "CliSupport.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "Commands.h"
#include "platform/Codepage.h"

namespace tkan::cli {

namespace {

int outputError = 0;  // errno of the first failed write to standard output

}  // namespace

void ReportError(const std::string& text)
{
    std::fprintf(stderr, "tkan-cli: %s\n", text.c_str());
}

void StderrPrompter::Message(MessageStyle, const std::string& text)
{
    ReportError(Cp1252ToUtf8(text));
}

Answer StderrPrompter::Ask(MessageStyle, const std::string& text, QuestionButtons)
{
    ReportError(Cp1252ToUtf8(text));
    return Answer::No;
}

void WriteOutput(std::string_view text)
{
    if (outputError != 0 || text.empty())
        return;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
        outputError = errno != 0 ? errno : EIO;
}

int FinishOutput(int exitCode)
{
    if (outputError == 0 && (std::fflush(stdout) != 0 || std::ferror(stdout)))
        outputError = errno != 0 ? errno : EIO;
    if (outputError != 0) {
        ReportError(std::string("cannot write the output: ") + std::strerror(outputError));
        return exitCode == 0 ? 1 : exitCode;
    }
    return exitCode;
}

bool TakeOptionValue(std::span<const std::string> args, std::size_t& i, const std::string& name,
                     std::optional<std::string>& into, std::string& problem)
{
    const std::string& arg = args[i];
    if (into) {
        problem = name + " given twice";
        return false;
    }
    if (arg == name) {
        if (i + 1 >= args.size()) {
            problem = name + " needs a value";
            return false;
        }
        into = args[++i];
    } else {
        into = arg.substr(name.size() + 1);
    }
    if (into->empty()) {
        problem = name + " needs a value";
        return false;
    }
    return true;
}

std::optional<std::int64_t> ParseCount(std::string_view text)
{
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return std::nullopt;  // from_chars would take a sign
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

}  // namespace tkan::cli

#include "records/TestRecord.h"

namespace tkan::cli {

bool LoadRecord(const std::string& path, TestRecord& record, Prompter& prompter)
{
    record.prompter = &prompter;
    if (record.LoadTestFile(path) == 1)
        return true;
    // The loader only says no; the operator wants to know whether the file
    // is missing or is something else.
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        ReportError("cannot open " + path + ": " + std::strerror(errno));
        return false;
    }
    std::fclose(f);
    ReportError(path + " is not a test file this program can read");
    return false;
}

std::string TakeSingleFile(const std::string& arg, std::optional<std::string>& file)
{
    if (arg.starts_with("--"))
        return "unknown option " + arg;
    if (file)
        return "one file only";
    file = arg;
    return {};
}

bool IsOption(const std::string& arg, const std::string& name)
{
    return arg == name || arg.starts_with(name + "=");
}

int LoadDynamicFile(const Command& self, const std::optional<std::string>& file, TestRecord& record, const char* what)
{
    if (!file)
        return UsageError(self, "no file given");
    // It keeps nothing, and the record holds on to it past this call.
    static StderrPrompter prompter;
    if (!LoadRecord(*file, record, prompter))
        return kExitFailure;
    if (record.IsDynamic())
        return kExitOk;
    ReportError(*file + " is a static test (" + Cp1252ToUtf8(record.TestTypeName()) + "); it has no " + what);
    return kExitFailure;
}

}  // namespace tkan::cli
