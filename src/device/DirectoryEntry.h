#pragma once

#include <cstddef>
#include <string>

#include "records/TestRecord.h"

namespace tkan {

// The instrument's directory keeps each text in a 40-byte field with its
// terminator; longer values are cut to this many characters.
inline constexpr std::size_t kDirectoryTextLength = 39;

// One record of the instrument's record directory. The directory dialog shows
// the number, type, date, company, station and circuit.
struct DirectoryEntry {
    int testNumber = 0;
    std::string dateText;
    // The eight header texts; the date, time and file name stay empty.
    TestHeader header;
    std::string typeText;
    std::string kneeText;

    bool operator==(const DirectoryEntry&) const = default;
};

}  // namespace tkan
