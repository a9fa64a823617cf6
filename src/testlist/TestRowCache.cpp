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

void PutText(ByteWriter& out, std::string_view text)
{
    out.U32(static_cast<std::uint32_t>(text.size()));
    out.Raw(text.data(), text.size());
}

// A length-prefixed text that ends before the cursor's end; false, with the
// cursor anywhere, when it does not.
bool SkipText(ByteCursor& in, std::size_t& at, std::size_t& length)
{
    if (in.Remaining() < 4)
        return false;
    length = in.U32();
    if (length > in.Remaining())
        return false;
    at = in.Position();
    in.Skip(length);
    return true;
}

void PutRow(ByteWriter& out, std::string_view name, const TestFileStamp& stamp, const TestFileRow& row)
{
    out.U64(stamp.size);
    out.U64(static_cast<std::uint64_t>(stamp.modifiedNs));
    out.U64(stamp.inode);
    out.U64(static_cast<std::uint64_t>(row.dateKey));
    out.U32(static_cast<std::uint32_t>(row.readingCount));
    PutText(out, name);
    for (const std::string* text :
         {&row.testDate, &row.testTime, &row.typeName, &row.company, &row.station, &row.circuit})
        PutText(out, *text);
}

// The row from bytes Decode() found whole.
void ReadRow(const std::uint8_t* data, std::size_t size, TestFileRow& row)
{
    ByteCursor in(data, size);
    in.Skip(3 * 8);
    row.dateKey = static_cast<std::int64_t>(in.U64());
    row.readingCount = static_cast<std::int32_t>(in.U32());
    for (std::string* text :
         {&row.fileName, &row.testDate, &row.testTime, &row.typeName, &row.company, &row.station, &row.circuit})
        in.Text(in.U32(), *text);
}

}  // namespace

TestRowCache::TestRowCache(const std::string& folder) : folder_(AbsoluteFolder(folder)) {}

std::string_view TestRowCache::NameOf(const KeptRow& kept) const
{
    return {reinterpret_cast<const char*>(bytes_.data() + kept.nameAt), kept.nameLength};
}

TestRowCache::KeptRow* TestRowCache::FindKept(std::string_view name)
{
    // A listing asks in name order within each pattern: mostly for the row
    // after the last one found.
    if (nextKept_ < kept_.size() && NameOf(kept_[nextKept_]) == name)
        return &kept_[nextKept_++];
    auto found = std::lower_bound(kept_.begin(), kept_.end(), name,
                                  [this](const KeptRow& kept, std::string_view n) { return NameOf(kept) < n; });
    if (found == kept_.end() || NameOf(*found) != name)
        return nullptr;
    nextKept_ = static_cast<std::size_t>(found - kept_.begin()) + 1;
    return &*found;
}

std::size_t TestRowCache::Size() const
{
    std::size_t size = new_.size();
    for (const KeptRow& kept : kept_)
        size += kept.replaced ? 0 : 1;
    return size;
}

bool TestRowCache::Recall(const std::string& name, const TestFileStamp& stamp, TestFileRow& row)
{
    if (auto found = new_.find(name); found != new_.end()) {
        if (found->second.stamp != stamp)
            return false;
        found->second.listed = true;
        std::string path = std::move(row.path);
        row = found->second.row;
        row.path = std::move(path);
        return true;
    }
    KeptRow* kept = FindKept(name);
    if (!kept || kept->replaced || kept->stamp != stamp)
        return false;
    kept->listed = true;
    ReadRow(bytes_.data() + kept->at, kept->end - kept->at, row);
    return true;
}

void TestRowCache::Remember(const std::string& name, const TestFileStamp& stamp, const TestFileRow& row)
{
    if (KeptRow* kept = FindKept(name))
        kept->replaced = true;
    NewRow& entry = new_[name];
    entry.stamp = stamp;
    entry.row = row;
    entry.row.fileName = name;
    entry.row.path.clear();
    entry.listed = true;
    changed_ = true;
}

void TestRowCache::DropUnlisted()
{
    const std::size_t before = kept_.size();
    std::erase_if(kept_, [](const KeptRow& kept) { return !kept.listed || kept.replaced; });
    for (KeptRow& kept : kept_)
        kept.listed = false;
    nextKept_ = 0;
    for (auto it = new_.begin(); it != new_.end();) {
        if (it->second.listed) {
            it->second.listed = false;
            ++it;
        } else {
            it = new_.erase(it);
            changed_ = true;
        }
    }
    // Replaced rows changed the cache when they were remembered.
    if (kept_.size() != before)
        changed_ = true;
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
    const std::string file = FileIn(cacheFolder);
    std::vector<std::uint8_t> bytes;
    if (file.empty() || !ReadWholeFile(file, bytes, kMaxCacheBytes))
        bytes.clear();
    return Decode(bytes.data(), bytes.size());
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
    ByteWriter out;
    out.Raw(kMagic.data(), kMagic.size());
    PutText(out, folder_);
    out.U32(static_cast<std::uint32_t>(Size()));
    // Both in name order: merged, the file is too, and one set of rows has
    // one form.
    auto kept = kept_.begin();
    auto added = new_.begin();
    while (kept != kept_.end() || added != new_.end()) {
        if (kept != kept_.end() && kept->replaced) {
            ++kept;
        } else if (kept != kept_.end() && (added == new_.end() || NameOf(*kept) < added->first)) {
            out.Raw(bytes_.data() + kept->at, kept->end - kept->at);
            ++kept;
        } else {
            PutRow(out, added->first, added->second.stamp, added->second.row);
            ++added;
        }
    }
    out.U64(Checksum(out.bytes.data(), out.bytes.size()));
    return std::move(out.bytes);
}

bool TestRowCache::Decode(const std::uint8_t* data, std::size_t size)
{
    bytes_.clear();
    kept_.clear();
    nextKept_ = 0;
    new_.clear();
    changed_ = false;
    if (size < kMagic.size() + 8 || std::string_view(reinterpret_cast<const char*>(data), kMagic.size()) != kMagic)
        return false;
    ByteCursor in(data, size - 8);
    in.Skip(kMagic.size());
    std::size_t folderAt = 0, folderLength = 0;
    if (!SkipText(in, folderAt, folderLength) ||
        std::string_view(reinterpret_cast<const char*>(data + folderAt), folderLength) != folder_ || in.Remaining() < 4)
        return false;
    const std::uint32_t count = in.U32();
    if (count > in.Remaining() / kFixedRowBytes)
        return false;

    std::vector<KeptRow> kept(count);
    for (std::size_t i = 0; i < kept.size(); ++i) {
        KeptRow& row = kept[i];
        if (in.Remaining() < kFixedRowBytes - 7 * 4)
            return false;
        row.at = in.Position();
        row.stamp.size = in.U64();
        row.stamp.modifiedNs = static_cast<std::int64_t>(in.U64());
        row.stamp.inode = in.U64();
        in.Skip(8 + 4);
        if (!SkipText(in, row.nameAt, row.nameLength))
            return false;
        for (int text = 1; text < 7; ++text) {
            std::size_t at = 0, length = 0;
            if (!SkipText(in, at, length))
                return false;
        }
        row.end = in.Position();
        // In name order, as written: one set of rows has one form, and a
        // name is found by halving.
        auto name = [data](const KeptRow& r) {
            return std::string_view(reinterpret_cast<const char*>(data + r.nameAt), r.nameLength);
        };
        if (i > 0 && !(name(kept[i - 1]) < name(row)))
            return false;
    }
    // Checked last, so that the lengths are always checked against the end
    // however the bytes came to be.
    ByteCursor sum(data + size - 8, 8);
    if (in.Remaining() != 0 || sum.U64() != Checksum(data, size - 8))
        return false;
    bytes_.assign(data, data + size);
    kept_ = std::move(kept);
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
