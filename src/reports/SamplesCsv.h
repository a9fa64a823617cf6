#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tkan {

class TestRecord;

// The decoded samples of a dynamic test as CSV: a heading line, then one
// line a sample with its index, time, resistance (micro-ohms), test current
// and motor current (amperes), each number the shortest fixed-point text
// that reads back as the same value (no exponent: spreadsheets take that as
// text). Samples [first, end) of the record go to `sink` in slices, so a
// long record never sits whole in memory as text.
void WriteSamplesCsv(const TestRecord& record, std::int64_t first, std::int64_t end,
                     const std::function<void(std::string_view)>& sink);

// Every sample into `path`, whole or not at all; false with the reason.
bool SaveSamplesCsv(const TestRecord& record, const std::string& path, std::string& error);

}  // namespace tkan
