#include "records/TestDate.h"

#include <array>
#include <cctype>

namespace tkan {

namespace {

bool IsDigit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

void SkipBlanks(std::string_view text, std::size_t& pos)
{
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
}

// The decimal number at pos, or -1 when there is none there.
int NumberAt(std::string_view text, std::size_t& pos)
{
    if (pos >= text.size() || !IsDigit(text[pos]))
        return -1;
    int value = 0;
    while (pos < text.size() && IsDigit(text[pos]) && value < 100000)
        value = value * 10 + (text[pos++] - '0');
    return value;
}

int MonthOfName(std::string_view name)
{
    static constexpr std::array<std::string_view, 12> kMonths{"jan", "feb", "mar", "apr", "may", "jun",
                                                              "jul", "aug", "sep", "oct", "nov", "dec"};
    if (name.size() < 3)
        return 0;
    for (std::size_t m = 0; m < kMonths.size(); ++m) {
        bool same = true;
        for (std::size_t i = 0; i < 3; ++i)
            same = same && std::tolower(static_cast<unsigned char>(name[i])) == kMonths[m][i];
        if (same)
            return static_cast<int>(m) + 1;
    }
    return 0;
}

bool ReadDate(std::string_view date, int& year, int& month, int& day)
{
    std::size_t pos = 0;
    SkipBlanks(date, pos);
    if (pos < date.size() && std::isalpha(static_cast<unsigned char>(date[pos]))) {
        month = MonthOfName(date.substr(pos));
        while (pos < date.size() && std::isalpha(static_cast<unsigned char>(date[pos])))
            ++pos;
        SkipBlanks(date, pos);
        day = NumberAt(date, pos);
        if (pos < date.size() && date[pos] == ',')
            ++pos;
        SkipBlanks(date, pos);
        year = NumberAt(date, pos);
    } else {
        month = NumberAt(date, pos);
        if (pos < date.size() && (date[pos] == '/' || date[pos] == '-' || date[pos] == '.'))
            ++pos;
        day = NumberAt(date, pos);
        if (pos < date.size() && (date[pos] == '/' || date[pos] == '-' || date[pos] == '.'))
            ++pos;
        year = NumberAt(date, pos);
    }
    if (year >= 0 && year < 100)
        year += 2000;
    return month >= 1 && month <= 12 && day >= 1 && day <= 31 && year >= 1900 && year <= 9999;
}

int MinutesOfDay(std::string_view time)
{
    std::size_t pos = 0;
    SkipBlanks(time, pos);
    int hour = NumberAt(time, pos);
    if (hour < 0 || pos >= time.size() || time[pos] != ':')
        return 0;
    ++pos;
    int minute = NumberAt(time, pos);
    if (minute < 0 || minute > 59)
        return 0;
    if (pos < time.size() && time[pos] == ':') {
        ++pos;
        NumberAt(time, pos);  // seconds do not order tests any finer here
    }
    SkipBlanks(time, pos);
    if (pos < time.size()) {
        char half = static_cast<char>(std::toupper(static_cast<unsigned char>(time[pos])));
        if (half == 'P' && hour < 12)
            hour += 12;
        else if (half == 'A' && hour == 12)
            hour = 0;
    }
    return hour > 23 ? 0 : hour * 60 + minute;
}

}  // namespace

std::optional<TestDateTime> ParseTestDateTime(std::string_view date, std::string_view time)
{
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    TestDateTime when;
    if (!ReadDate(date, when.year, when.month, when.day) || when.day > kDays[when.month - 1])
        return std::nullopt;
    const bool leap = (when.year % 4 == 0 && when.year % 100 != 0) || when.year % 400 == 0;
    if (when.month == 2 && when.day == 29 && !leap)
        return std::nullopt;
    const int minutes = MinutesOfDay(time);
    when.hour = minutes / 60;
    when.minute = minutes % 60;
    return when;
}

std::int64_t TestDateKey(std::string_view date, std::string_view time)
{
    const std::optional<TestDateTime> when = ParseTestDateTime(date, time);
    if (!when)
        return 0;
    return ((static_cast<std::int64_t>(when->year) * 100 + when->month) * 100 + when->day) * 10000 + when->hour * 100 +
           when->minute;
}

}  // namespace tkan
