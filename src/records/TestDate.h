#pragma once

#include <cstdint>
#include <string_view>

namespace tkan {

// A test's date and time as one number that orders tests in time:
// yyyymmddhhmm. The instrument's records give "%b %d, %Y" and "%I:%M %p";
// results texts give "MM/DD/YY" and a 12- or 24-hour time. 0 for a date
// that cannot be read, so such a test counts as the oldest; an unreadable
// time counts as midnight.
std::int64_t TestDateKey(std::string_view date, std::string_view time);

}  // namespace tkan
