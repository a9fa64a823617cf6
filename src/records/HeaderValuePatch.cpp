// Writing edited header values into a stored record text before it is saved.
#include "records/HeaderFields.h"
#include "records/TestRecord.h"

namespace tkan {

void TestRecord::PatchHeaderValues(std::string& text) const
{
    const bool resultsText = text.find("RKZ TEST RESULTS") != std::string::npos;

    auto patch = [&](const HeaderFieldInfo& f) {
        const std::string& fieldValue = header.*f.member;
        const std::string label = resultsText ? std::string(f.reportLabel) : std::string(f.key) + "=";
        std::size_t at = text.find(label);
        if (at == std::string::npos)
            return;
        if (resultsText) {
            // The report's value is a 20-character column and exactly it is
            // replaced. A longer value would push its tail into the text
            // behind the column, and every later save would repeat that
            // tail once more; the reader takes only 20 characters anyway.
            std::string value = fieldValue;
            value.resize(kHeaderBlockTextLength, ' ');
            std::size_t colon = text.find(':', at);
            std::string head = text.substr(0, colon + 2);
            std::size_t behind = colon + 2 + kHeaderBlockTextLength;
            std::string tail = behind < text.size() ? text.substr(behind) : std::string();
            text = head + value + tail;
        } else {
            // A key-value value runs to the CR and is read back untrimmed, so
            // it is written unpadded: padding would come back as part of the
            // value and change the header merely by saving it. A text
            // without CRs is left alone rather than guessed at.
            std::size_t cr = text.find('\r', at);
            if (cr == std::string::npos)
                return;
            text = text.substr(0, at) + label + fieldValue + text.substr(cr);
        }
    };

    // The report sets the texts two to a line, each pair of the table on one
    // line. Stored texts have always been patched down its left column, then
    // down its right one; the order shows when a value holds another
    // field's label, so it stays.
    for (std::size_t column = 0; column < 2; ++column)
        for (std::size_t i = column; i < kHeaderFieldCount; i += 2)
            patch(kHeaderFields[i]);
}

}  // namespace tkan
