// Writing edited header values into a stored record text before it is saved.
#include <cstdio>

#include "records/TestRecord.h"

namespace tkan {

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
            // The report's value is a 20-character column: exactly it is
            // replaced, so the report keeps its layout however often it is
            // saved.
            std::string value = f.value;
            if (value.size() < 20)
                value.append(20 - value.size(), ' ');
            std::size_t colon = text.find(':', at);
            std::string head = text.substr(0, colon + 2);
            std::string tail = colon + 22 < text.size() ? text.substr(colon + 22) : std::string();
            text = head + value + tail;
        } else {
            // A key-value line ends at its CR; its value is the whole rest of
            // the line, so it is written as it is, without padding that would
            // grow the value at every save.
            std::size_t cr = text.find('\r', at);
            if (cr == std::string::npos)
                continue;
            text = text.substr(0, at) + label + f.value + text.substr(cr);
        }
    }
}

}  // namespace tkan
