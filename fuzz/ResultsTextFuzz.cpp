// Any bytes as a results text, with the same text under the three line
// endings that reach us (LF, CR LF, and CR CR LF from text-mode writers).

#include <string_view>

#include "FuzzSupport.h"

using namespace tkan;

namespace {

constexpr std::string_view kSeparator = "------------------------------------------";

TestRecord& Parse(std::size_t slot, std::string_view text)
{
    TestRecord& record = fuzz::NewRecord(slot);
    fuzz::Require(record.ParseResultsText(text) == 1, "ParseResultsText answers 1");
    fuzz::Require(record.recordText == text, "the text is kept whole");
    fuzz::Require(record.headerTextPresent, "a results text marks the header text present");
    fuzz::CheckRecord(record);
    return record;
}

// CR CR LF adds an empty line after every line, and the parser skips the
// line after the separator, so the endings agree only when that line is
// empty already.
bool EndingsAgree(std::string_view text)
{
    if (text.find('\r') != std::string_view::npos)
        return false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
        if (line.find(kSeparator) != std::string_view::npos) {
            if (end == std::string_view::npos)
                return true;
            std::size_t next = end + 1;
            return next >= text.size() || text[next] == '\n';
        }
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TestRecord& record = Parse(0, text);
    record.ComputeStaticRanges();

    std::string patched = record.recordText;
    record.PatchHeaderValues(patched);

    if (EndingsAgree(text)) {
        fuzz::CheckSameParse(record, Parse(1, fuzz::WithLineEnding(text, "\r\n")));
        fuzz::CheckSameParse(record, Parse(2, fuzz::WithLineEnding(text, "\r\r\n")));
    }
    return 0;
}
