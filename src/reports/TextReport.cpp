#include "reports/TextReport.h"

#include <cstdarg>
#include <cstdio>

#include "records/HeaderFields.h"

namespace tkan {

namespace {

// printf into a string of any length: header texts are written whole, also
// when they are longer than their column.
void Append(std::string& out, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length > 0) {
        std::size_t at = out.size();
        out.resize(at + static_cast<std::size_t>(length) + 1);
        std::vsnprintf(out.data() + at, static_cast<std::size_t>(length) + 1, format, args);
        out.resize(at + static_cast<std::size_t>(length));
    }
    va_end(args);
}

std::string Part(const char* label, const std::string& text, bool present)
{
    return present && !text.empty() ? label + text : std::string();
}

}  // namespace

void WriteTextReport(std::string& out, const std::string& testNumberText, const TextReportInput& in)
{
    char date[32] = "", time[32] = "";
    std::strftime(date, sizeof date, "%m/%d/%Y", &in.openedAt);
    std::strftime(time, sizeof time, "%H:%M:%S", &in.openedAt);

    Append(out, "                         RKZ TEST RESULTS FOR SERIES(%d) DEVICE\r\n", in.isRkzMeter ? 1 : 2);
    Append(out, "                         ----------------\r\n");
    Append(out, "\r\n");
    Append(out, "TEST NUMBER: %s            # OF TESTS: %d\r\n", testNumberText.c_str(),
           static_cast<int>(in.rows.size()));
    Append(out, "       DATE: %s                  TIME: %s\r\n", date, time);
    // The header texts two to a line, in the table's pairs.
    for (std::size_t i = 0; i + 1 < kHeaderFieldCount; i += 2) {
        const HeaderFieldInfo& left = kHeaderFields[i];
        const HeaderFieldInfo& right = kHeaderFields[i + 1];
        Append(out, "    %.*s %-20s            %.*s %-20s\r\n", static_cast<int>(left.reportLabel.size()),
               left.reportLabel.data(), (in.header.*left.member).c_str(), static_cast<int>(right.reportLabel.size()),
               right.reportLabel.data(), (in.header.*right.member).c_str());
    }
    Append(out, "\r\n");
    if (in.correctionEnabled) {
        Append(out, "  Measure Temp Tm = %s C\r\n", in.tmCelsiusText.c_str());
        Append(out, "Reference Temp Ts = %s C\r\n", in.tsCelsiusText.c_str());
        Append(out, "               Tk = %s C\r\n", in.copper ? "234.5" : "225");
    }
    Append(out, "\r\n");
    Append(out, "TEST  TYPE     R1                      R2                      TAP/WINDING\r\n");
    Append(out, "      TIME\r\n");
    out.append(80, '-');
    Append(out, "\r\n");
    Append(out, "\r\n");

    for (const ReadingRow& row : in.rows) {
        Append(out, "%-3s    %-20s   R1 =%s            %s            %s\r\n", row.test.c_str(), in.testTypeName.c_str(),
               row.r1.c_str(), Part("R2 =", row.r2, true).c_str(), Part("R3 =", row.r3, true).c_str());
        Append(out, "      %-20s    %s     %s    %s \r\n", row.time.c_str(),
               Part("R1s=", row.r1s, in.correctionEnabled).c_str(), Part("R2s=", row.r2s, in.correctionEnabled).c_str(),
               Part("R3s=", row.r3s, in.correctionEnabled).c_str());
    }
}

}  // namespace tkan
