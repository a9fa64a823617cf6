#include "testlist/TestRowCache.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/DemoFiles.h"
#include "support/TempDir.h"
#include "testlist/TestFolderScan.h"

namespace tkan {
namespace {

using test::DemoKind;
using test::TempDir;

// November 2023: long before any listing a test makes.
constexpr std::int64_t kLongAgo = 1700000000;

void SetModified(const std::string& path, std::int64_t seconds, long nanoseconds = 0)
{
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

DemoParameters Company(const std::string& company, int readingCount = 5)
{
    DemoParameters p;
    p.header.company = company;
    p.testType = 2;
    p.readingCount = readingCount;
    return p;
}

// A settled test file: written, then dated long ago.
void WriteSettled(const TempDir& dir, const std::string& name, const DemoParameters& params,
                  DemoKind kind = DemoKind::Static)
{
    ASSERT_EQ(test::WriteDemoTest(dir.File(name), kind, params), 1);
    SetModified(dir.File(name), kLongAgo);
}

// Another test's bytes written over the file itself, so that its inode stays.
void RewriteInPlace(const TempDir& dir, const std::string& name, const DemoParameters& params,
                    DemoKind kind = DemoKind::Static)
{
    const std::string scratch = dir.File("scratch.bin");
    ASSERT_EQ(test::WriteDemoTest(scratch, kind, params), 1);
    test::WriteFileBytes(dir.File(name), test::ReadFileBytes(scratch));
    std::filesystem::remove(scratch);
}

std::vector<std::string> Listed(const std::vector<TestFileRow>& rows)
{
    std::vector<std::string> listed;
    for (const TestFileRow& row : rows)
        listed.push_back(row.fileName + ":" + row.company + ":" + std::to_string(row.readingCount));
    return listed;
}

TEST(TestRowCacheTest, RowsComeFromTheCacheUntilSizeTimeOrInodeChanges)
{
    TempDir dir, cacheHome;
    const std::string cacheFolder = cacheHome.File("tkan");
    WriteSettled(dir, "a.test", Company("Alpha"));
    WriteSettled(dir, "b.test", Company("Bravo"));
    WriteSettled(dir, "c.test", Company("Charlie"), DemoKind::StaticText);
    WriteSettled(dir, "d.test", Company("Delta"));
    WriteSettled(dir, "e.test", Company("Echo"));
    test::WriteFileText(dir.File("damaged.test"), "TTXB garbage");
    // Changed a moment ago: it could change again within the same time stamp.
    ASSERT_EQ(test::WriteDemoTest(dir.File("fresh.test"), DemoKind::Static, Company("Fresh")), 1);

    TestRowCache first(dir.Path());
    EXPECT_EQ(Listed(ScanTestFolder(dir.Path(), kMaxListedTests, &first)),
              (std::vector<std::string>{"a.test:Alpha:5", "b.test:Bravo:5", "c.test:Charlie:5", "d.test:Delta:5",
                                        "e.test:Echo:5", "fresh.test:Fresh:5"}));
    EXPECT_EQ(first.Size(), 5u);
    ASSERT_TRUE(first.Save(cacheFolder));
    struct stat folderInfo {};
    ASSERT_EQ(stat(cacheFolder.c_str(), &folderInfo), 0);
    EXPECT_EQ(folderInfo.st_mode & 0777, 0700u);

    const std::uintmax_t size = std::filesystem::file_size(dir.File("a.test"));
    RewriteInPlace(dir, "a.test", Company("Alpxx"));  // same size, time and inode
    SetModified(dir.File("a.test"), kLongAgo);
    ASSERT_EQ(std::filesystem::file_size(dir.File("a.test")), size);
    RewriteInPlace(dir, "b.test", Company("Brxxx"));
    SetModified(dir.File("b.test"), kLongAgo, 1);
    const std::uintmax_t textSize = std::filesystem::file_size(dir.File("c.test"));
    RewriteInPlace(dir, "c.test", Company("Charlie", 9), DemoKind::StaticText);
    SetModified(dir.File("c.test"), kLongAgo);
    ASSERT_NE(std::filesystem::file_size(dir.File("c.test")), textSize);
    // Saved beside and renamed over, as the program saves: a new inode.
    WriteSettled(dir, "d2.tmp", Company("Dxxxx"));
    std::filesystem::rename(dir.File("d2.tmp"), dir.File("d.test"));
    std::filesystem::remove(dir.File("e.test"));

    TestRowCache second(dir.Path());
    ASSERT_TRUE(second.Load(cacheFolder));
    EXPECT_EQ(second.Size(), 5u);
    EXPECT_EQ(Listed(ScanTestFolder(dir.Path(), kMaxListedTests, &second)),
              (std::vector<std::string>{"a.test:Alpha:5", "b.test:Brxxx:5", "c.test:Charlie:9", "d.test:Dxxxx:5",
                                        "fresh.test:Fresh:5"}));
    EXPECT_EQ(second.Size(), 4u);
    EXPECT_TRUE(second.Changed());
    ASSERT_TRUE(second.Save(cacheFolder));

    // Nothing changed: the kept file is not written again.
    TestRowCache third(dir.Path());
    ASSERT_TRUE(third.Load(cacheFolder));
    std::filesystem::remove(third.FileIn(cacheFolder));
    EXPECT_EQ(ScanTestFolder(dir.Path(), kMaxListedTests, &third).size(), 5u);
    EXPECT_FALSE(third.Changed());
    EXPECT_TRUE(third.Save(cacheFolder));
    EXPECT_FALSE(std::filesystem::exists(third.FileIn(cacheFolder)));
}

// A long listing takes its files' stamps all at once (on two threads), the
// files past the limit's worth one by one when some of the first do not load.
TEST(TestRowCacheTest, ALongListingGivesTheSameRowsFromTheCache)
{
    TempDir dir, cacheHome;
    WriteSettled(dir, "t00.test", Company("Alpha"));
    std::vector<std::string> expected;
    for (int i = 0; i < 70; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "t%02d.test", i);
        if (i == 5 || i == 10) {
            test::WriteFileText(dir.File(name), "TTXB garbage");
            continue;
        }
        if (i > 0)
            std::filesystem::copy_file(dir.File("t00.test"), dir.File(name));
        SetModified(dir.File(name), kLongAgo);
        if (expected.size() < 66)
            expected.push_back(std::string(name) + ":Alpha:5");
    }
    ASSERT_EQ(Listed(ScanTestFolder(dir.Path(), 66)), expected);
    EXPECT_EQ(Listed(ListTestFolder(dir.Path(), cacheHome.File("tkan"), 66)), expected);
    TestRowCache kept(dir.Path());
    ASSERT_TRUE(kept.Load(cacheHome.File("tkan")));
    EXPECT_EQ(kept.Size(), 66u);
    EXPECT_EQ(Listed(ListTestFolder(dir.Path(), cacheHome.File("tkan"), 66)), expected);
}

TEST(TestRowCacheTest, ADamagedOrForeignCacheFileIsIgnored)
{
    TempDir dir, cacheHome;
    const std::string cacheFolder = cacheHome.File("tkan");
    WriteSettled(dir, "a.test", Company("Alpha"));
    WriteSettled(dir, "b.test", Company("Bravo"));
    TestRowCache cache(dir.Path());
    ScanTestFolder(dir.Path(), kMaxListedTests, &cache);
    ASSERT_TRUE(cache.Save(cacheFolder));
    const std::string file = cache.FileIn(cacheFolder);
    const std::vector<std::uint8_t> good = test::ReadFileBytes(file);

    auto loads = [&](const std::vector<std::uint8_t>& bytes) {
        test::WriteFileBytes(file, bytes);
        TestRowCache loaded(dir.Path());
        const bool ok = loaded.Load(cacheFolder);
        EXPECT_EQ(loaded.Size(), ok ? 2u : 0u);
        return ok;
    };
    ASSERT_TRUE(loads(good));

    for (std::size_t length = 0; length < good.size(); ++length)
        EXPECT_FALSE(loads(std::vector<std::uint8_t>(good.begin(), good.begin() + length))) << length;
    std::vector<std::uint8_t> longer = good;
    longer.push_back(0);
    EXPECT_FALSE(loads(longer));
    EXPECT_FALSE(loads(std::vector<std::uint8_t>(good.size(), 0xA5)));
    std::vector<std::uint8_t> huge = good;
    huge.resize(5 * 1024 * 1024);
    EXPECT_FALSE(loads(huge));

    // Lengths and counts far past the end: the folder's, the row count, the
    // first row's name.
    const std::size_t magic = 22;
    const std::size_t count = magic + 4 + dir.Path().size();
    for (std::size_t at : {magic, count, count + 4 + 36}) {
        std::vector<std::uint8_t> bad = good;
        for (std::size_t i = at; i < at + 4; ++i)
            bad[i] = 0xFF;
        EXPECT_FALSE(loads(bad)) << at;
    }

    // Another version of the program, another folder.
    std::vector<std::uint8_t> newer = good;
    newer[magic - 2] = '2';
    EXPECT_FALSE(loads(newer));
    TestRowCache other(cacheHome.Path());
    test::WriteFileBytes(other.FileIn(cacheFolder), good);
    EXPECT_FALSE(other.Load(cacheFolder));

    // A company's letter garbled in the cache: the listing reads the file.
    std::vector<std::uint8_t> garbled = good;
    const std::string alpha = "Alpha";
    auto at = std::search(garbled.begin(), garbled.end(), alpha.begin(), alpha.end());
    ASSERT_NE(at, garbled.end());
    at[4] = 'o';
    EXPECT_FALSE(loads(garbled));
    TestRowCache listed(dir.Path());
    listed.Load(cacheFolder);
    EXPECT_EQ(Listed(ScanTestFolder(dir.Path(), kMaxListedTests, &listed)),
              (std::vector<std::string>{"a.test:Alpha:5", "b.test:Bravo:5"}));
}

TEST(TestRowCacheTest, KeepsEveryByteOfTheFields)
{
    TestRowCache cache("/srv/tests/");
    EXPECT_EQ(cache.Folder(), "/srv/tests");
    const TestFileStamp stamp{0xFFFFFFFFFFFFFFFFull, -1234567890123456789, 0x8000000000000001ull};
    TestFileRow row;
    row.fileName = std::string("n\0\xFF\n.test", 9);
    row.testDate = "Dec 10, 2026";
    row.testTime = std::string("\r\n\0", 3);
    row.dateKey = 202612101545;
    row.readingCount = -1;
    row.company = std::string(70000, '\xE9');
    row.station = "\xFF\xFE";
    row.circuit = "T2 HV\n";
    cache.Remember(row.fileName, stamp, row);
    cache.Remember("plain.test", {}, TestFileRow{});
    const std::vector<std::uint8_t> bytes = cache.Encode();

    TestRowCache back("/srv/tests");
    ASSERT_TRUE(back.Decode(bytes.data(), bytes.size()));
    EXPECT_EQ(back.Size(), 2u);
    TestFileRow kept;
    kept.path = "/srv/tests/x";
    EXPECT_FALSE(back.Recall(row.fileName, TestFileStamp{}, kept));
    ASSERT_TRUE(back.Recall(row.fileName, stamp, kept));
    EXPECT_EQ(kept.path, "/srv/tests/x");
    kept.path.clear();
    EXPECT_EQ(kept, row);
    EXPECT_EQ(back.Encode(), bytes);

    TestRowCache elsewhere("/srv/tests2");
    EXPECT_FALSE(elsewhere.Decode(bytes.data(), bytes.size()));
}

}  // namespace
}  // namespace tkan
