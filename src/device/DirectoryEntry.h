#pragma once

#include <cstddef>
#include <string>

namespace tkan {

// The instrument's directory keeps each text in a 40-byte field with its
// terminator; longer values are cut to this many characters.
inline constexpr std::size_t kDirectoryTextLength = 39;

// One record of the instrument's record directory. The directory dialog shows
// the number, type, date, company, station and circuit.
struct DirectoryEntry {
    int testNumber = 0;
    std::string dateText;
    std::string company;
    std::string station;
    std::string circuit;
    std::string manufacturer;
    std::string model;
    std::string serialNumber;
    std::string kva;
    std::string operatorName;
    std::string typeText;
    std::string kneeText;

    bool operator==(const DirectoryEntry&) const = default;
};

}  // namespace tkan
