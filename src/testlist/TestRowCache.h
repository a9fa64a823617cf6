#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "testlist/TestFolderScan.h"

namespace tkan {

// What the folder says about a file without opening it. Any difference from
// the remembered one means the file may hold something else now.
struct TestFileStamp {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;  // since 1970, UTC
    std::uint64_t inode = 0;

    bool operator==(const TestFileStamp&) const = default;
};

// The rows of one folder's last listing, by file name, kept between
// listings so that a file that has not changed is not opened again. Opening
// every file of a large folder costs several times what the listing may.
//
// The rows are kept in a file of their own under the program's cache folder,
// one per listed folder; a file that cannot be read or written only costs
// the time of reading the test files.
class TestRowCache {
public:
    // For the folder as given; it is remembered as an absolute path.
    explicit TestRowCache(const std::string& folder);

    const std::string& Folder() const { return folder_; }
    std::size_t Size() const;

    // A listing tells the cache of each file it lists: Recall() gives the
    // remembered row of `name` when the file still has `stamp` (its path
    // left as it was), Remember() keeps the row read from the file. At its
    // end, DropUnlisted() forgets the rows of the files it did not list.
    bool Recall(const std::string& name, const TestFileStamp& stamp, TestFileRow& row);
    void Remember(const std::string& name, const TestFileStamp& stamp, const TestFileRow& row);
    void DropUnlisted();

    // True when the rows differ from the ones last loaded or saved.
    bool Changed() const { return changed_; }

    // The file in `cacheFolder` that keeps this folder's rows; empty when
    // either folder is unknown.
    std::string FileIn(const std::string& cacheFolder) const;

    // Takes the rows kept in `cacheFolder`. A missing, damaged or foreign
    // file leaves no rows, and false.
    bool Load(const std::string& cacheFolder);

    // Keeps the rows in `cacheFolder` (made when missing, private to the
    // user) when they changed; false when they could not be written.
    bool Save(const std::string& cacheFolder);

    // The kept file's bytes, and the rows back from them: false, and no rows,
    // when the bytes are not a whole cache of this folder.
    std::vector<std::uint8_t> Encode() const;
    bool Decode(const std::uint8_t* data, std::size_t size);

private:
    // A row of the loaded file, read from its bytes only when a listing
    // takes it: most listings take every row and change none, and then the
    // file is neither parsed into rows nor written again.
    struct KeptRow {
        std::size_t at = 0, end = 0;  // its bytes in bytes_
        std::size_t nameAt = 0, nameLength = 0;
        TestFileStamp stamp;
        bool listed = false;
        bool replaced = false;  // by a row of the same name in new_
    };
    struct NewRow {
        TestFileStamp stamp;
        TestFileRow row;  // without its path
        bool listed = false;
    };

    std::string_view NameOf(const KeptRow& kept) const;
    KeptRow* FindKept(std::string_view name);

    std::string folder_;
    std::vector<std::uint8_t> bytes_;
    std::vector<KeptRow> kept_;  // in name order
    std::size_t nextKept_ = 0;
    std::map<std::string, NewRow> new_;
    bool changed_ = false;
};

// ScanTestFolder's listing of `folder` with the rows kept in `cacheFolder`
// between listings: the kept ones are taken, and kept again when the listing
// changed them. An empty `cacheFolder` reads every file.
std::vector<TestFileRow> ListTestFolder(const std::string& folder, const std::string& cacheFolder,
                                        std::size_t limit = kMaxListedTests);

}  // namespace tkan
