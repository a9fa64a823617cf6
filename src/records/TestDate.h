#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tkan {

// A test's date and time as one number that orders tests in time:
// yyyymmddhhmm. The instrument's records give "%b %d, %Y" and "%I:%M %p";
// results texts give "MM/DD/YY" and a 12- or 24-hour time. 0 for a date
// that cannot be read, so such a test counts as the oldest; an unreadable
// time counts as midnight.
std::int64_t TestDateKey(std::string_view date, std::string_view time);

// The same date and time as its parts (local time of the instrument's
// clock, no zone), for the exports that write them out; absent for a date
// that cannot be read or a day the month does not have.
struct TestDateTime {
    int year = 0, month = 0, day = 0;  // month 1-12
    int hour = 0, minute = 0;          // 24-hour clock

    auto operator<=>(const TestDateTime&) const = default;
};
std::optional<TestDateTime> ParseTestDateTime(std::string_view date, std::string_view time);

}  // namespace tkan
