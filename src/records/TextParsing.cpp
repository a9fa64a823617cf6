// Line splitting, number reading and type classification shared by the
// readers of the instrument's key-value records and of results reports.
#include <locale.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "records/TextLines.h"

namespace tkan {

std::string FormatTimeInCLocale(const char* format, const std::tm& when)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    char text[128] = "";
    if (cLocale)
        strftime_l(text, sizeof text, format, &when, cLocale);
    else
        std::strftime(text, sizeof text, format, &when);
    return text;
}

bool NextLine(std::string_view& remaining, std::string_view& line)
{
    // The line ends at whichever of CR and LF comes first: looking for a CR
    // anywhere in the rest would glue the lines of an LF text with one stray
    // CR together, and rescan a whole CR-less text for every line.
    std::size_t end = remaining.find_first_of("\r\n");
    if (end == std::string_view::npos) {
        line = remaining;
        remaining = {};
        return !line.empty();
    }
    bool cr = remaining[end] == '\r';
    line = remaining.substr(0, end);
    remaining.remove_prefix(end + 1);
    while (cr && !remaining.empty() && remaining.front() == '\n')
        remaining.remove_prefix(1);
    return true;
}

double ReadLeadingNumber(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    // A decimal comma is read as a point; the reading must not depend on the
    // desktop's locale either, so no strtod here.
    std::string number;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    for (; at < text.size() && number.size() < 64; ++at) {
        char c = text[at] == ',' ? '.' : text[at];
        bool exponentSign = (c == '+' || c == '-') && !number.empty() && (number.back() == 'e' || number.back() == 'E');
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == 'e' || c == 'E' || exponentSign))
            break;
        number.push_back(c);
    }
    double value = 0;
    auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value))
        return 0;
    return negative ? -value : value;
}

std::string FormatNumber(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

long ReadLeadingInteger(std::string_view text, int base)
{
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    if (base == 16 && text.size() >= at + 2 && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X'))
        at += 2;
    unsigned long long value = 0;
    auto result = std::from_chars(text.data() + at, text.data() + text.size(), value, base);
    // Out of range reads as the largest value a reading can hold.
    if (result.ec == std::errc::result_out_of_range || value > 0x7FFFFFFFull)
        value = 0x7FFFFFFFull;
    long v = static_cast<long>(value);
    return negative ? -v : v;
}

bool ReadNumberAfter(std::string_view line, std::string_view label, double& value)
{
    std::size_t at = line.find(label);
    if (at == std::string_view::npos)
        return false;
    std::string_view after = line.substr(at + label.size());
    value = ReadLeadingNumber(after);

    std::size_t blank = after.find(' ');
    if (blank != std::string_view::npos) {
        std::string_view unit = after.substr(blank + 1);
        while (!unit.empty() && unit.front() == ' ')
            unit.remove_prefix(1);
        if (unit.substr(0, 10) == "MILLI-OHMS" || unit.substr(0, 5) == "m-Ohm")
            value *= 1000;
        if (unit.substr(0, 4) == "OHMS" || unit.substr(0, 4) == "Ohms")
            value *= 1000000;
    }
    return true;
}

int ClassifyTestType(std::string_view text)
{
    auto has = [&](std::string_view s) { return text.find(s) != std::string_view::npos; };
    // Every match sets the code, so the longer names tested later win.
    int type = 1;
    if (has("V1/V2"))
        type = 2;
    if (has("V1/V2/V3"))
        type = 3;
    if (has("V1/V2 STATIC LTC"))
        type = 18;
    if (has("V1/V2/V3 STATIC LTC"))
        type = 19;
    if (has("V1 & V2"))
        type = 2;
    if (has("V1 ST") || has("V1_ST"))
        type = 1;
    if (has("V1 STATIC LTC"))
        type = 17;
    return type;
}

}  // namespace tkan
