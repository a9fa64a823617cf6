#include "testlist/TestFolderScan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <span>
#include <system_error>
#include <thread>

#include "app/UlkDoc.h"
#include "platform/Paths.h"
#include "records/TestDate.h"
#include "records/TestRecord.h"
#include "testlist/TestRowCache.h"

namespace tkan {

namespace {

bool EndsWithNoCase(std::string_view name, std::string_view tail)
{
    if (name.size() < tail.size())
        return false;
    name.remove_prefix(name.size() - tail.size());
    // ASCII only, as the patterns are: a listing matches every name of the
    // folder against them.
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::equal(name.begin(), name.end(), tail.begin(), [&](char a, char b) { return lower(a) == lower(b); });
}

bool StartsWithNoCase(std::string_view name, std::string_view head)
{
    return name.size() >= head.size() && EndsWithNoCase(name.substr(0, head.size()), head);
}

// A file changed this short a time before the listing is read every time
// and not remembered: file systems stamp times coarsely (two seconds on a
// FAT stick), so a second change within the same stamp would leave the
// remembered row looking current.
constexpr std::chrono::seconds kSettleTime{5};

std::int64_t NanosecondsSinceEpoch(std::chrono::system_clock::time_point time)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
}

struct CloseFolder {
    void operator()(DIR* folder) const { closedir(folder); }
};

// A regular file, links followed; looked up in the open folder rather than
// by its whole path, which a listing of hundreds of files notices.
std::optional<TestFileStamp> StampOf(int folder, const char* name)
{
    struct stat info {};
    if (::fstatat(folder, name, &info, 0) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    TestFileStamp stamp;
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.inode = static_cast<std::uint64_t>(info.st_ino);
    return stamp;
}

// The stamps of `names`, in their order; absent for a name that is not a
// regular file. A listing with its rows remembered waits on little else
// than these system calls, so a long list is stamped on two threads.
std::vector<std::optional<TestFileStamp>> StampsOf(int folder, std::span<const std::string* const> names)
{
    std::vector<std::optional<TestFileStamp>> stamps(names.size());
    auto take = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            stamps[i] = StampOf(folder, names[i]->c_str());
    };
    constexpr std::size_t kWorthASecondThread = 64;
    const std::size_t half = names.size() / 2;
    if (names.size() >= kWorthASecondThread && std::thread::hardware_concurrency() > 1) {
        try {
            std::thread other(take, half, names.size());
            take(0, half);
            other.join();
            return stamps;
        } catch (const std::system_error&) {
            // No thread to be had: one does it all.
        }
    }
    take(0, names.size());
    return stamps;
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

std::vector<TestFileRow> ScanTestFolder(const std::string& folder, std::size_t limit, TestRowCache* cache)
{
    std::array<std::vector<std::string>, 4> names;
    std::unique_ptr<DIR, CloseFolder> listing(opendir(folder.c_str()));
    const int folderFd = listing ? dirfd(listing.get()) : -1;
    while (const dirent* entry = listing ? readdir(listing.get()) : nullptr) {
        std::string name = entry->d_name;
        int pattern = TestNamePattern(name);
        if (pattern < 0 || IsRunTestPath(name))
            continue;
        if (entry->d_type != DT_REG && !StampOf(folderFd, entry->d_name))
            continue;
        names[static_cast<std::size_t>(pattern)].push_back(std::move(name));
    }

    const std::int64_t settledBefore = NanosecondsSinceEpoch(std::chrono::system_clock::now() - kSettleTime);
    std::vector<TestFileRow> rows;
    rows.reserve(std::min(limit, names[0].size() + names[1].size() + names[2].size() + names[3].size()));
    // One record for the whole scan, made at the first file the cache does
    // not hold: its working buffer is 2 MiB.
    std::unique_ptr<TestRecord> record;
    // Every name in listing order: the patterns in turn, each alphabetical.
    std::vector<const std::string*> ordered;
    for (std::vector<std::string>& group : names) {
        std::sort(group.begin(), group.end());
        for (const std::string& name : group)
            ordered.push_back(&name);
    }
    // With rows remembered, the stamps of as many files as the listing can
    // show are taken at once; a file further on (when some of these do not
    // load) is stamped when its turn comes.
    std::vector<std::optional<TestFileStamp>> stamps;
    if (cache)
        stamps = StampsOf(folderFd, std::span(ordered).first(std::min(limit, ordered.size())));
    for (std::size_t at = 0; at < ordered.size() && rows.size() < limit; ++at) {
        const std::string& name = *ordered[at];
        TestFileRow row;
        row.path = JoinPath(folder, name);
        TestFileStamp stamp;
        if (cache) {
            const std::optional<TestFileStamp> found =
                at < stamps.size() ? stamps[at] : StampOf(folderFd, name.c_str());
            if (!found)
                continue;
            stamp = *found;
            if (cache->Recall(name, stamp, row)) {
                rows.push_back(std::move(row));
                continue;
            }
        }
        if (!record)
            record = std::make_unique<TestRecord>();
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
        if (cache && stamp.modifiedNs < settledBefore)
            cache->Remember(name, stamp, row);
        rows.push_back(std::move(row));
    }
    if (cache)
        cache->DropUnlisted();
    return rows;
}

}  // namespace tkan
