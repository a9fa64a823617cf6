#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "records/TestRecord.h"

namespace tkan {

// The eight header texts of a test, in the order the instrument's record
// block keeps them. Every reader and writer of these texts goes through this
// one table: the instrument's key-value texts, the results report, the record
// block, the settings that remember what was typed last, and the dialogs.
struct HeaderFieldInfo {
    std::string TestHeader::*member;
    // "COMPANY=" in the instrument's key-value texts and directory listings.
    std::string_view key;
    // "COMPANY:" in the results report.
    std::string_view reportLabel;
    // Byte offset of the field's 20 blank-padded bytes in the record block.
    std::size_t blockOffset;
    // Value name under "Settings" where the test dialogs keep the last entry.
    std::string_view settingsKey;
    // The test dialogs' label.
    std::string_view label;
};

inline constexpr std::size_t kHeaderFieldCount = 8;
// Each text takes this many bytes of the record block, blank-padded, and as
// many characters of its column in the results report.
inline constexpr std::size_t kHeaderBlockTextLength = 20;

inline constexpr std::array<HeaderFieldInfo, kHeaderFieldCount> kHeaderFields{{
    {&TestHeader::company, "COMPANY", "COMPANY:", 22, "Company", "Company"},
    {&TestHeader::station, "STATION", "STATION:", 42, "Station", "Station"},
    {&TestHeader::circuit, "CIRCUIT", "CIRCUIT:", 62, "Circuit", "Circuit"},
    {&TestHeader::manufacturer, "MFR", "MFR:", 82, "Mfr", "MFR"},
    {&TestHeader::model, "MODEL", "MODEL:", 102, "Model", "Model"},
    {&TestHeader::serialNumber, "SN", "SN:", 122, "SN", "SN"},
    {&TestHeader::kva, "KVA", "KVA:", 142, "KVA", "KVA"},
    {&TestHeader::operatorName, "OPERATOR", "OPERATOR:", 162, "Operator", "Operator"},
}};

// The field whose key-value key is `key` (compared as given); null for none.
inline const HeaderFieldInfo* HeaderFieldByKey(std::string_view key)
{
    for (const HeaderFieldInfo& field : kHeaderFields)
        if (field.key == key)
            return &field;
    return nullptr;
}

}  // namespace tkan
