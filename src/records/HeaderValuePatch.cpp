// Writing edited header values into a stored record text before it is saved.
#include "records/TestRecord.h"

namespace tkan {

namespace {

constexpr std::size_t kValueWidth = 20;

}  // namespace

void TestRecord::PatchHeaderValues(std::string& text) const
{
    const bool resultsText = text.find("RKZ TEST RESULTS") != std::string::npos;
    struct Field {
        const char* name;
        const std::string& value;
    } const fields[] = {
        {"COMPANY", header.company}, {"CIRCUIT", header.circuit}, {"MODEL", header.model},
        {"KVA", header.kva},         {"STATION", header.station}, {"MFR", header.manufacturer},
        {"SN", header.serialNumber}, {"OPERATOR", header.operatorName},
    };

    for (const Field& f : fields) {
        std::string label = std::string(f.name) + (resultsText ? ":" : "=");
        std::size_t at = text.find(label);
        if (at == std::string::npos)
            continue;
        if (resultsText) {
            // The report's value is a 20-character column and exactly it is
            // replaced. A longer value would push its tail into the text
            // behind the column, and every later save would repeat that
            // tail once more; the reader takes only 20 characters anyway.
            std::string value = f.value;
            value.resize(kValueWidth, ' ');
            std::size_t colon = text.find(':', at);
            std::string head = text.substr(0, colon + 2);
            std::size_t behind = colon + 2 + kValueWidth;
            std::string tail = behind < text.size() ? text.substr(behind) : std::string();
            text = head + value + tail;
        } else {
            // A key-value value runs to the CR and is read back untrimmed, so
            // it is written unpadded: padding would come back as part of the
            // value and change the header merely by saving it. A text
            // without CRs is left alone rather than guessed at.
            std::size_t cr = text.find('\r', at);
            if (cr == std::string::npos)
                continue;
            text = text.substr(0, at) + label + f.value + text.substr(cr);
        }
    }
}

}  // namespace tkan
