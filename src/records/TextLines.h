#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace tkan {

// Takes the next line off the front of `remaining`: the text up to the first
// CR or LF. A CR also takes the LFs right behind it, so CR, LF, CR LF and
// CR CR LF endings are all accepted (CR CR LF yields an empty line between
// two lines). False when nothing is left.
bool NextLine(std::string_view& remaining, std::string_view& line);

// Reads the number after the first `label` in `line`, with a decimal comma
// accepted and "MILLI-OHMS"/"m-Ohm"/"OHMS"/"Ohms" units scaled to micro-ohms.
// False (value untouched) when the label is absent.
bool ReadNumberAfter(std::string_view line, std::string_view label, double& value);

// The decimal number at the front of `text` (leading blanks allowed, a
// decimal comma read as a point); 0 when there is none.
double ReadLeadingNumber(std::string_view text);
// The integer at the front of `text` in `base` (16 allows a "0x" prefix);
// 0 when there is none.
long ReadLeadingInteger(std::string_view text, int base);

// `value` through a printf format that takes one double ("%3.1lf"); at most
// 63 characters come out.
std::string FormatNumber(const char* format, double value);

// `when` through strftime in the C locale: English month names and AM/PM,
// whatever locale the desktop runs in.
std::string FormatTimeInCLocale(const char* format, const std::tm& when);

// The test type code that a test-type text names ("V1/V2" is 2, ...).
int ClassifyTestType(std::string_view text);

}  // namespace tkan
