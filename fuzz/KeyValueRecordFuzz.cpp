// Any bytes as the key-value record a first-series instrument sends, with the
// same text under LF, CR LF and CR CR LF line endings.

#include <string_view>

#include "FuzzSupport.h"

using namespace tkan;

namespace {

TestRecord& Parse(std::size_t slot, std::string_view text)
{
    TestRecord& record = fuzz::NewRecord(slot);
    record.textForm = true;
    fuzz::Require(record.ParseKeyValueRecord(text) == 1, "ParseKeyValueRecord answers 1");
    fuzz::Require(record.recordText == text, "the text is kept whole");
    fuzz::CheckRecord(record);
    return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TestRecord& record = Parse(0, text);
    record.ComputeStaticRanges();

    std::string patched = record.recordText;
    record.PatchHeaderValues(patched);

    // Empty lines carry no key, so the line ending cannot matter.
    if (text.find('\r') == std::string_view::npos) {
        fuzz::CheckSameParse(record, Parse(1, fuzz::WithLineEnding(text, "\r\n")));
        fuzz::CheckSameParse(record, Parse(2, fuzz::WithLineEnding(text, "\r\r\n")));
    }
    return 0;
}
