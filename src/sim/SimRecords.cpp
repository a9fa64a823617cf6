#include "sim/SimRecords.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "records/HeaderFields.h"
#include "records/TestRecord.h"
#include "sim/DemoRecords.h"
#include "sim/RecordEncoder.h"

namespace tkan {

namespace {

// Where a record block keeps what the directory shows.
constexpr std::size_t kTypeOffset = 4;
constexpr std::size_t kCountOffset = 5;
constexpr std::size_t kDateOffset = 16;
constexpr std::size_t kMaxBlockRows = 64;  // what a 2304-byte block has room for

// The short names the instrument's own directory shows. None has a "/" as
// its third character, which the listing reserves for the date line.
std::string InstrumentTypeText(int type)
{
    switch (type) {
    case 1:
    case 9: return "STAT V1";
    case 2:
    case 10: return "STAT V12";
    case 3:
    case 11: return "STAT V123";
    case 4: return "DYN 2000";
    case 5: return "DYN 1000";
    case 17: return "LTC V1";
    case 18: return "LTC V12";
    case 19: return "LTC V123";
    default: return "TYPE " + std::to_string(type);
    }
}

int KeyValueTypeCode(std::string_view text)
{
    bool ltc = text.find("STATIC LTC") != std::string_view::npos;
    int windings = text.find("V1/V2/V3") != std::string_view::npos                                                  ? 3
                   : text.find("V1/V2") != std::string_view::npos || text.find("V1 & V2") != std::string_view::npos ? 2
                                                                                                                    : 1;
    return (ltc ? 16 : 0) + windings;
}

std::string TrimRight(std::string text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    return text;
}

std::string TextAt(const std::vector<std::uint8_t>& bytes, std::size_t offset)
{
    std::string text;
    for (std::size_t i = 0; i < kHeaderBlockTextLength && offset + i < bytes.size(); ++i)
        text += static_cast<char>(bytes[offset + i]);
    return TrimRight(text);
}

std::string DirectoryDate(const SimDate& d)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d:%02d", std::clamp(d.month, 0, 99),
                  std::clamp(d.day, 0, 99), std::clamp(d.year % 100, 0, 99), std::clamp(d.hour, 0, 99),
                  std::clamp(d.minute, 0, 99), std::clamp(d.second, 0, 99));
    return text;
}

// Leading decimal digits of text from pos on; -1 when there are none.
int NumberAt(std::string_view text, std::size_t& pos)
{
    if (pos >= text.size() || !std::isdigit(static_cast<unsigned char>(text[pos])))
        return -1;
    int value = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) && value < 100000)
        value = value * 10 + (text[pos++] - '0');
    return value;
}

// A test's date as the program keeps it: "Mar 05, 2024" from a record block
// or "03/05/2024" from a key-value record, and "10:15 AM" or "10:15:00".
// Anything else leaves the instrument's zero date, 01/01/00.
SimDate ParseRecordDate(std::string_view date, std::string_view time)
{
    SimDate out{2000, 1, 1, 0, 0, 0};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::size_t pos = 0;
    if (date.size() >= 3 && std::isalpha(static_cast<unsigned char>(date[0]))) {
        for (int m = 0; m < 12; ++m)
            if (date.substr(0, 3) == kMonths[m])
                out.month = m + 1;
        pos = 4;
        int day = NumberAt(date, pos);
        pos += 2;  // ", "
        int year = NumberAt(date, pos);
        if (day > 0)
            out.day = day;
        if (year >= 0)
            out.year = year < 100 ? 2000 + year : year;
    } else {
        int month = NumberAt(date, pos);
        ++pos;
        int day = NumberAt(date, pos);
        ++pos;
        int year = NumberAt(date, pos);
        if (month > 0 && day > 0 && year >= 0) {
            out.month = month;
            out.day = day;
            out.year = year < 100 ? 2000 + year : year;
        }
    }

    pos = 0;
    int hour = NumberAt(time, pos);
    ++pos;
    int minute = NumberAt(time, pos);
    if (hour < 0 || minute < 0)
        return out;
    int second = 0;
    if (pos < time.size() && time[pos] == ':') {
        ++pos;
        second = std::max(0, NumberAt(time, pos));
    }
    if (time.find("PM") != std::string_view::npos && hour < 12)
        hour += 12;
    else if (time.find("AM") != std::string_view::npos && hour == 12)
        hour = 0;
    out.hour = hour;
    out.minute = minute;
    out.second = second;
    return out;
}

// A test the program has only as fields, as the instrument would describe it.
InstrumentRecord InstrumentRecordOf(const TestRecord& r)
{
    InstrumentRecord out;
    out.testType = r.testType;
    out.date = ParseRecordDate(r.header.testDate, r.header.testTime);
    out.header = r.header;
    out.hasTemperatures = r.tempCorrected;
    out.measureTemp = r.measureTemp;
    out.referenceTemp = r.referenceTemp;
    out.tempConstant = r.tempConstant;
    out.tapsPerSide = r.tapsPerSide;
    const int count = std::clamp(r.readingCount, 0, kMaxReadings);
    for (int i = 0; i < count; ++i) {
        const StaticReading& row = r.readings[static_cast<std::size_t>(i)];
        out.readings.push_back({row.current, row.r1, row.r2, row.r3});
    }
    return out;
}

DemoParameters DemoAt(const SimDate& d)
{
    DemoParameters p;
    p.date = d;
    return p;
}

std::vector<std::uint8_t> AsBytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

SimStoredRecord DescribeStoredRecord(int number, std::vector<std::uint8_t> bytes, bool keyValue)
{
    SimStoredRecord out;
    out.number = number;
    out.keyValue = keyValue;
    if (!keyValue) {
        int type = bytes.size() > kTypeOffset ? bytes[kTypeOffset] : 0;
        out.typeText = InstrumentTypeText(type);
        char date[32];
        auto at = [&](std::size_t i) { return bytes.size() > kDateOffset + i ? bytes[kDateOffset + i] : 0; };
        // The clock's BCD bytes print as their decimal digits.
        std::snprintf(date, sizeof date, "%02X/%02X/%02X %02X:%02X:%02X", at(0), at(1), at(2), at(3), at(4), at(5));
        out.dateText = date;
        for (const HeaderFieldInfo& field : kHeaderFields)
            out.header.*field.member = TextAt(bytes, field.blockOffset);
    } else {
        std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        bool typeSeen = false;
        out.dateText = DirectoryDate(SimDate{2000, 1, 1, 0, 0, 0});
        out.typeText = InstrumentTypeText(1);
        while (!text.empty()) {
            std::size_t end = text.find_first_of("\r\n");
            std::string_view line = text.substr(0, end);
            text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
            std::size_t eq = line.find('=');
            if (eq == std::string_view::npos)
                continue;
            std::string_view key = line.substr(0, eq);
            std::string value(line.substr(eq + 1));
            if (key == "DATE") {
                std::size_t blank = value.find(' ');
                std::string time = blank == std::string::npos ? std::string() : value.substr(blank + 1);
                out.dateText = DirectoryDate(ParseRecordDate(value.substr(0, blank), time));
            } else if (key == "TYPE" && !typeSeen) {
                typeSeen = true;
                out.typeText = InstrumentTypeText(KeyValueTypeCode(value));
            } else if (const HeaderFieldInfo* field = HeaderFieldByKey(key)) {
                out.header.*field->member = value;
            }
        }
    }
    out.bytes = std::move(bytes);
    return out;
}

std::vector<SimStoredRecord> DemoRecordSet(SimModel model, const SimDate& today)
{
    std::vector<SimStoredRecord> records;
    const double current = SimMaxCurrent(model);
    auto add = [&](std::vector<std::uint8_t> bytes, bool keyValue) {
        int number = static_cast<int>(records.size()) + 1;
        records.push_back(DescribeStoredRecord(number, std::move(bytes), keyValue));
    };

    if (IsRkzModel(model)) {
        DemoParameters a = DemoAt(today.Plus(-3 * 86400));
        a.testType = 2;
        a.setCurrentA = current;
        a.seed = 11;
        add(AsBytes(BuildKeyValueRecord(a)), true);

        DemoParameters b = DemoAt(today.Plus(-2 * 86400 + 1800));
        b.testType = 18;
        b.tapsPerSide = 8;
        b.setCurrentA = current;
        b.seed = 12;
        add(AsBytes(BuildKeyValueRecord(b)), true);

        DemoParameters c = DemoAt(today.Plus(-86400 + 3600));
        c.testType = 1;
        c.readingCount = 3;
        c.hasTemperatures = false;
        c.setCurrentA = current;
        c.seed = 13;
        add(AsBytes(BuildKeyValueRecord(c)), true);
        return records;
    }

    DemoParameters fast = DemoAt(today.Plus(-3 * 86400));
    fast.testType = 4;
    fast.seconds = 15;
    fast.setCurrentA = current;
    fast.tapChanges = 2;
    fast.seed = 1;
    add(BuildDynamicRecord(fast), false);

    DemoParameters slow = DemoAt(today.Plus(-3 * 86400 + 1200));
    slow.testType = 5;
    slow.seconds = 30;
    slow.setCurrentA = current;
    slow.tapChanges = 3;
    slow.tapStep = -38;
    slow.seed = 2;
    add(BuildDynamicRecord(slow), false);

    DemoParameters windings = DemoAt(today.Plus(-2 * 86400));
    windings.testType = 3;
    windings.readingCount = 5;
    windings.setCurrentA = current;
    windings.seed = 3;
    add(BuildStaticRecord(windings), false);

    DemoParameters regulator = DemoAt(today.Plus(-86400));
    regulator.testType = 18;
    regulator.tapsPerSide = 8;
    regulator.setCurrentA = current;
    regulator.seed = 4;
    add(BuildStaticRecord(regulator), false);
    return records;
}

void FillRecordMemory(std::vector<SimStoredRecord>& records, SimModel model, const SimDate& today, int count)
{
    int next = 1;
    for (const SimStoredRecord& r : records)
        next = std::max(next, r.number + 1);
    while (static_cast<int>(records.size()) < count) {
        DemoParameters p = DemoAt(today.Plus(-600 * static_cast<std::int64_t>(count - next)));
        p.testType = 1;
        p.readingCount = 2;
        p.seed = 1000 + static_cast<std::uint64_t>(next);
        if (IsRkzModel(model))
            records.push_back(DescribeStoredRecord(next, AsBytes(BuildKeyValueRecord(p)), true));
        else
            records.push_back(DescribeStoredRecord(next, BuildStaticRecord(p), false));
        ++next;
    }
}

std::vector<std::uint8_t> InstrumentFormOf(const TestRecord& record, SimModel model, std::string& problem)
{
    problem.clear();
    if (IsRkzModel(model)) {
        if (record.IsDynamic()) {
            problem = "an RKZ meter holds no dynamic tests";
            return {};
        }
        if (record.textForm && record.recordText.find("RKZ TEST RESULTS") == std::string::npos)
            return AsBytes(record.recordText);
        return AsBytes(EncodeKeyValueRecord(InstrumentRecordOf(record)));
    }

    const std::vector<std::uint8_t>& block = record.recordBlock;
    const bool ownBlock =
        block.size() >= kRecordBlockSize && record.testType != 0 && block[kTypeOffset] == record.testType;
    if (record.IsDynamic()) {
        if (!ownBlock) {
            problem = "the dynamic test has no record block";
            return {};
        }
        std::vector<std::uint8_t> bytes(block.begin(), block.begin() + kRecordHeaderSize);
        std::size_t sampleBytes = std::min(
            record.trace.samples.size(), static_cast<std::size_t>(std::max(record.trace.sampleCount, 0)) * kSampleSize);
        bytes.insert(bytes.end(), record.trace.samples.begin(),
                     record.trace.samples.begin() + static_cast<std::ptrdiff_t>(sampleBytes));
        return bytes;
    }
    if (!ownBlock || record.textForm)
        return EncodeStaticRecord(InstrumentRecordOf(record));
    std::size_t rows = std::min<std::size_t>(block[kCountOffset], kMaxBlockRows);
    return std::vector<std::uint8_t>(
        block.begin(), block.begin() + static_cast<std::ptrdiff_t>(kRecordHeaderSize + kReadingRowSize * rows));
}

int LoadRecordFolder(const std::string& folder, SimModel model, std::vector<SimStoredRecord>& records,
                     std::vector<std::string>& problems)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec)
        return 0;

    std::vector<fs::path> files;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            return 0;
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        std::string ext = Lower(it->path().extension().string());
        if (ext == ".test" || ext == ".tst-tkan" || ext == ".tst-rkz")
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());

    int number = 1;
    for (const fs::path& file : files) {
        std::string name = file.filename().string();
        TestRecord record;
        if (!record.LoadTestFile(file.string())) {
            problems.push_back(name + ": not a test file this program reads");
            continue;
        }
        std::string problem;
        std::vector<std::uint8_t> bytes = InstrumentFormOf(record, model, problem);
        if (!problem.empty()) {
            problems.push_back(name + ": " + problem);
            continue;
        }
        records.push_back(DescribeStoredRecord(number++, std::move(bytes), IsRkzModel(model)));
    }
    return 1;
}

}  // namespace tkan
