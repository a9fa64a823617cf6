#include "testlist/TestRowCache.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

#include "platform/Paths.h"
#include "platform/SystemFolders.h"
#include "records/AtomicFile.h"
#include "records/ByteCursor.h"

namespace tkan {

namespace {

// A program that makes rows differently must change the number, so that the
// rows an older one kept are read again.
constexpr std::string_view kMagic = "TKAN open-test rows 1\n";

// Far above 500 rows of header fields; anything larger is not ours.
constexpr std::size_t kMaxCacheBytes = 4 * 1024 * 1024;

// A row's numbers and the lengths of its seven texts.
constexpr std::size_t kFixedRowBytes = 8 + 8 + 8 + 8 + 4 + 7 * 4;

// FNV-1a over 8-byte words in four independent lanes: a damaged file is
// told from a whole one at a small part of the cost of a byte at a time.
std::uint64_t Checksum(const std::uint8_t* data, std::size_t size)
{
    constexpr std::uint64_t kPrime = 1099511628211ull;
    std::uint64_t lanes[4] = {14695981039346656037ull, 1, 2, 3};
    // In this machine's byte order: the file never leaves it.
    auto word = [&](std::size_t at) {
        std::uint64_t value;
        std::memcpy(&value, data + at, sizeof value);
        return value;
    };
    std::size_t i = 0;
    for (; i + 32 <= size; i += 32) {
        for (std::size_t lane = 0; lane < 4; ++lane)
            lanes[lane] = (lanes[lane] ^ word(i + 8 * lane)) * kPrime;
    }
    std::uint64_t hash = lanes[0];
    for (std::size_t lane = 1; lane < 4; ++lane)
        hash = (hash ^ lanes[lane]) * kPrime;
    for (; i < size; ++i)
        hash = (hash ^ data[i]) * kPrime;
    return hash ^ size;
}

std::string AbsoluteFolder(const std::string& folder)
{
    if (folder.empty())
        return {};
    std::error_code error;
    std::string absolute = std::filesystem::absolute(folder, error).lexically_normal().string();
    if (error)
        return {};
    while (absolute.size() > 1 && absolute.back() == '/')
        absolute.pop_back();
    return absolute;
}

void PutText(ByteWriter& out, const std::string& text)
{
    out.U32(static_cast<std::uint32_t>(text.size()));
    out.Text(text);
}

bool TakeText(ByteCursor& in, std::string& text)
{
    if (in.Remaining() < 4)
        return false;
    const std::uint32_t length = in.U32();
    return length <= in.Remaining() && in.Text(length, text);
}

}  // namespace

TestRowCache::TestRowCache(const std::string& folder) : folder_(AbsoluteFolder(folder)) {}

const TestFileRow* TestRowCache::Recall(const std::string& name, const TestFileStamp& stamp)
{
    auto found = entries_.find(name);
    if (found == entries_.end() || found->second.stamp != stamp)
        return nullptr;
    found->second.listed = true;
    return &found->second.row;
}

void TestRowCache::Remember(const std::string& name, const TestFileStamp& stamp, const TestFileRow& row)
{
    Entry& entry = entries_[name];
    entry.stamp = stamp;
    entry.row = row;
    entry.row.path.clear();
    entry.listed = true;
    changed_ = true;
}

void TestRowCache::DropUnlisted()
{
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (it->second.listed) {
            it->second.listed = false;
            ++it;
        } else {
            it = entries_.erase(it);
            changed_ = true;
        }
    }
}

std::string TestRowCache::FileIn(const std::string& cacheFolder) const
{
    if (cacheFolder.empty() || folder_.empty())
        return {};
    char name[32];
    std::snprintf(name, sizeof name, "rows-%016llx",
                  static_cast<unsigned long long>(
                      Checksum(reinterpret_cast<const std::uint8_t*>(folder_.data()), folder_.size())));
    return JoinPath(cacheFolder, name);
}

bool TestRowCache::Load(const std::string& cacheFolder)
{
    entries_.clear();
    changed_ = false;
    const std::string file = FileIn(cacheFolder);
    std::vector<std::uint8_t> bytes;
    return !file.empty() && ReadWholeFile(file, bytes, kMaxCacheBytes) && Decode(bytes.data(), bytes.size());
}

bool TestRowCache::Save(const std::string& cacheFolder)
{
    if (!changed_)
        return true;
    const std::string file = FileIn(cacheFolder);
    if (file.empty() || !MakePrivateFolders(cacheFolder))
        return false;
    const std::vector<std::uint8_t> bytes = Encode();
    if (!WriteFileAtomically(file, bytes.data(), bytes.size()))
        return false;
    changed_ = false;
    return true;
}

std::vector<std::uint8_t> TestRowCache::Encode() const
{
    // In name order: one set of rows has one form.
    std::vector<const std::pair<const std::string, Entry>*> sorted;
    sorted.reserve(entries_.size());
    for (const auto& named : entries_)
        sorted.push_back(&named);
    std::sort(sorted.begin(), sorted.end(), [](const auto* a, const auto* b) { return a->first < b->first; });

    ByteWriter out;
    out.Raw(kMagic.data(), kMagic.size());
    PutText(out, folder_);
    out.U32(static_cast<std::uint32_t>(sorted.size()));
    for (const auto* named : sorted) {
        const Entry& entry = named->second;
        const TestFileRow& row = entry.row;
        out.U64(entry.stamp.size);
        out.U64(static_cast<std::uint64_t>(entry.stamp.modifiedNs));
        out.U64(entry.stamp.inode);
        out.U64(static_cast<std::uint64_t>(row.dateKey));
        out.U32(static_cast<std::uint32_t>(row.readingCount));
        for (const std::string* text :
             {&named->first, &row.testDate, &row.testTime, &row.typeName, &row.company, &row.station, &row.circuit})
            PutText(out, *text);
    }
    out.U64(Checksum(out.bytes.data(), out.bytes.size()));
    return std::move(out.bytes);
}

bool TestRowCache::Decode(const std::uint8_t* data, std::size_t size)
{
    entries_.clear();
    changed_ = false;
    if (size < kMagic.size() + 8 || std::string_view(reinterpret_cast<const char*>(data), kMagic.size()) != kMagic)
        return false;
    ByteCursor in(data, size - 8);
    in.Skip(kMagic.size());
    std::string folder;
    if (!TakeText(in, folder) || folder != folder_ || in.Remaining() < 4)
        return false;
    std::uint32_t count = in.U32();
    if (count > in.Remaining() / kFixedRowBytes)
        return false;

    std::unordered_map<std::string, Entry> entries;
    entries.reserve(count);
    std::string previous;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (in.Remaining() < kFixedRowBytes - 7 * 4)
            return false;
        Entry entry;
        TestFileRow& row = entry.row;
        entry.stamp.size = in.U64();
        entry.stamp.modifiedNs = static_cast<std::int64_t>(in.U64());
        entry.stamp.inode = in.U64();
        row.dateKey = static_cast<std::int64_t>(in.U64());
        row.readingCount = static_cast<std::int32_t>(in.U32());
        for (std::string* text :
             {&row.fileName, &row.testDate, &row.testTime, &row.typeName, &row.company, &row.station, &row.circuit}) {
            if (!TakeText(in, *text))
                return false;
        }
        // In name order, as written: one set of rows has one form.
        if (i > 0 && !(previous < row.fileName))
            return false;
        previous = row.fileName;
        std::string name = row.fileName;
        entries.emplace(std::move(name), std::move(entry));
    }
    // Checked last, so that the lengths are always checked against the end
    // however the bytes came to be.
    ByteCursor sum(data + size - 8, 8);
    if (in.Remaining() != 0 || sum.U64() != Checksum(data, size - 8))
        return false;
    entries_ = std::move(entries);
    return true;
}

std::vector<TestFileRow> ListTestFolder(const std::string& folder, const std::string& cacheFolder, std::size_t limit)
{
    TestRowCache cache(folder);
    if (cache.FileIn(cacheFolder).empty())
        return ScanTestFolder(folder, limit);
    cache.Load(cacheFolder);
    std::vector<TestFileRow> rows = ScanTestFolder(folder, limit, &cache);
    // A cache that cannot be written costs the next listing time, nothing
    // else.
    cache.Save(cacheFolder);
    return rows;
}

}  // namespace tkan
