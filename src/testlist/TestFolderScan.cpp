#include "testlist/TestFolderScan.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <memory>
#include <system_error>

#include "app/UlkDoc.h"
#include "platform/Paths.h"
#include "records/TestDate.h"
#include "records/TestRecord.h"

namespace tkan {

namespace {

bool EndsWithNoCase(std::string_view name, std::string_view tail)
{
    if (name.size() < tail.size())
        return false;
    name.remove_prefix(name.size() - tail.size());
    return std::equal(name.begin(), name.end(), tail.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

bool StartsWithNoCase(std::string_view name, std::string_view head)
{
    return name.size() >= head.size() && EndsWithNoCase(name.substr(0, head.size()), head);
}

}  // namespace

int TestNamePattern(std::string_view name)
{
    if (EndsWithNoCase(name, ".test") && name.size() > 5)
        return 0;
    if (StartsWithNoCase(name, "rec_") && name.find('.') == std::string_view::npos)
        return 1;
    if (EndsWithNoCase(name, ".tst-rkz") && name.size() > 8)
        return 2;
    if (EndsWithNoCase(name, ".tst-tkan") && name.size() > 9)
        return 3;
    return -1;
}

std::string WidenedDate(std::string_view testDate)
{
    std::string widened;
    for (char c : testDate) {
        if (c == ' ')
            widened.append(6, ' ');
        else
            widened.push_back(c);
    }
    return widened;
}

std::vector<TestFileRow> ScanTestFolder(const std::string& folder, std::size_t limit)
{
    std::array<std::vector<std::string>, 4> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        int pattern = TestNamePattern(name);
        if (pattern < 0 || IsRunTestPath(name))
            continue;
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        names[static_cast<std::size_t>(pattern)].push_back(std::move(name));
    }

    std::vector<TestFileRow> rows;
    // One record for the whole scan: its working buffer is 2 MiB.
    auto record = std::make_unique<TestRecord>();
    for (std::vector<std::string>& group : names) {
        std::sort(group.begin(), group.end());
        for (const std::string& name : group) {
            if (rows.size() >= limit)
                return rows;
            TestFileRow row;
            row.path = JoinPath(folder, name);
            if (!record->LoadTestFile(row.path, SampleLoading::Skip))
                continue;
            const TestHeader& h = record->header;
            row.fileName = name;
            row.testDate = h.testDate;
            row.testTime = h.testTime;
            row.dateKey = TestDateKey(h.testDate, h.testTime);
            row.readingCount = record->readingCount;
            row.typeName = record->TestTypeName();
            row.company = h.company;
            row.station = h.station;
            row.circuit = h.circuit;
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

}  // namespace tkan
