#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tkan {

class TestRecord;

// A dynamic record as a COMTRADE record (IEEE C37.111-2013): the
// configuration text and the BINARY32 data, three analog channels
// (resistance in ohms, test current and motor current in amperes) at the
// record's own rate, the first sample at the test's date and time.
struct ComtradeRecord {
    std::string cfg;
    std::vector<std::uint8_t> dat;
};

// Empty (both parts) for a static record.
ComtradeRecord BuildComtrade(const TestRecord& record);

// Writes `base`.cfg and `base`.dat, each whole or not at all. False with
// `error` saying what failed.
bool WriteComtrade(const TestRecord& record, const std::string& base, std::string& error);

}  // namespace tkan
