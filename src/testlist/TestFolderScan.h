#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tkan {

// The most test files one listing shows; a folder with more lists the first
// ones found.
constexpr std::size_t kMaxListedTests = 500;

// One listed test file: the header fields its row shows, as the record
// holds them (Windows-1252), and the date as a number that orders in time.
class TestRowCache;

struct TestFileRow {
    std::string fileName;  // the file system's name, no folder
    std::string path;      // folder and name, for loading
    std::string testDate;
    std::string testTime;
    std::int64_t dateKey = 0;
    int readingCount = 0;
    std::string typeName;
    std::string company;
    std::string station;
    std::string circuit;

    bool operator==(const TestFileRow&) const = default;
};

// The test files of `folder`, in the order the names are searched: "*.test",
// then "rec_*." (no extension), then "*.tst-rkz", then "*.tst-tkan", each
// alphabetical; the patterns ignore case, as they do where the files come
// from. Files that do not load and names holding "RunTest.test" are left
// out, and the list ends at `limit` files. A dynamic test's samples are not
// read.
//
// With a cache of the folder's rows, a file whose size, time and inode are
// the remembered ones is not opened: its row comes from the cache. The cache
// is left holding the rows of this listing.
std::vector<TestFileRow> ScanTestFolder(const std::string& folder, std::size_t limit = kMaxListedTests,
                                        TestRowCache* cache = nullptr);

// Which of the four search patterns a name matches, 0 to 3; -1 for none.
int TestNamePattern(std::string_view name);

// The Date column's text: every blank of the date widened to six.
std::string WidenedDate(std::string_view testDate);

}  // namespace tkan
