// Test files: the sectioned layout (read in versions 1 to 6, written in 6),
// the two old layouts, and plain results-text files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <new>

#include "platform/Codepage.h"
#include "platform/Paths.h"
#include "platform/Prompter.h"
#include "records/AtomicFile.h"
#include "records/ByteCursor.h"
#include "records/HeaderFields.h"
#include "records/TestRecord.h"

namespace tkan {

namespace {

constexpr std::uint32_t kWrittenVersion = 6;
constexpr std::size_t kOldLayoutRecordOffset = 256;
constexpr std::size_t kOldLayoutSamplesOffset = 512;
// Far above any record the instrument can store (2 MiB); a larger file is not
// a test file, and refusing it keeps a stray pick in the Open dialog cheap.
constexpr std::size_t kMaxTestFileBytes = 256u << 20;

// Offsets of the sectioned layout's fixed header.
constexpr std::size_t kNotesLengthField = 8;
constexpr std::size_t kReservedField = 16;
constexpr std::size_t kSamplesLengthField = 24;
constexpr std::size_t kSamplesOffsetField = 28;
constexpr std::size_t kFixedHeaderSize = 36;
constexpr std::uint32_t kFirstVersionWithSamplesOffset = 3;
// A sectioned file's header, block and data points fit in this.
constexpr std::size_t kHeadReadSize = 4096;

bool IsKnownMagic(const std::uint8_t* first4)
{
    return std::memcmp(first4, "RKZ-", 4) == 0 || std::memcmp(first4, "TKAN", 4) == 0 ||
           std::memcmp(first4, "TTXB", 4) == 0;
}

// Only files named as test files may hold a plain results text; a ".test"
// download that starts with text is not a record.
bool HasTextTestName(const std::string& fileName)
{
    std::string lower = fileName;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find(".tst-rkz") != std::string::npos || lower.find(".tst-tkan") != std::string::npos;
}

std::uint32_t LittleEndian32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

class FileHandle {
public:
    explicit FileHandle(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~FileHandle()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }

    // Up to `count` bytes from `offset`; fewer only at the end of the file.
    // False on a read error.
    bool ReadAt(std::size_t offset, std::uint8_t* out, std::size_t count, std::size_t& got) const
    {
        got = 0;
        while (got < count) {
            ssize_t n = ::pread(fd_, out + got, count - got, static_cast<off_t>(offset + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return false;
            if (n == 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    int fd_;
};

// Counts the whole seconds of samples in the trace; a trailing part-second
// is dropped. The bytes stay until the loader is done with the file (they
// may still be read through it) and are cut to the count then.
void CountWholeSeconds(DynamicTrace& trace, int rate)
{
    const auto perSecond = static_cast<std::size_t>(rate);
    std::size_t count = trace.samples.size() / kSampleSize / perSecond * perSecond;
    count = std::min<std::size_t>(count, 0x7FFFFFFF / kSampleSize);
    trace.sampleCount = static_cast<int>(count);
    trace.seconds = static_cast<int>(count / perSecond);
}

void ApplyHeaderLine(TestHeader& h, std::string_view line)
{
    std::size_t eq = line.find('=');
    if (const HeaderFieldInfo* field = HeaderFieldByKey(line.substr(0, eq)))
        h.*field->member = eq == std::string_view::npos ? std::string() : std::string(line.substr(eq + 1));
}

void ApplyHeaderLines(TestHeader& h, std::string_view lines)
{
    while (!lines.empty()) {
        std::size_t lf = lines.find('\n');
        ApplyHeaderLine(h, lines.substr(0, lf));
        if (lf == std::string_view::npos)
            break;
        lines.remove_prefix(lf + 1);
    }
}

std::string HeaderLines(const TestHeader& h)
{
    std::string lines;
    for (const HeaderFieldInfo& field : kHeaderFields)
        lines.append(field.key).append("=").append(h.*field.member).append("\n");
    return lines;
}

}  // namespace

// A test file as it was read: in pieces, each at its offset in the file.
// The samples section goes straight into the record's trace rather than
// through a copy of the file, and the few reads that fall inside it (from a
// damaged header, or the old layout's block, which overlaps its samples) are
// served from there. Bytes no piece holds, past the end of the file or in a
// section that could not be kept, read as zeros.
class TestFileBytes {
public:
    void Add(std::size_t start, const std::uint8_t* data, std::size_t length)
    {
        if (length > 0)
            pieces_.push_back({start, data, length});
    }
    void SetSize(std::size_t size) { size_ = size; }
    std::size_t Size() const { return size_; }

    // Bytes [offset, offset + count), zeros wherever there are none.
    void Copy(std::size_t offset, std::uint8_t* out, std::size_t count) const
    {
        if (count == 0)
            return;  // out may be an empty vector's null data
        std::memset(out, 0, count);
        for (const Piece& piece : pieces_) {
            std::size_t from = std::max(offset, piece.start);
            std::size_t to = std::min(offset + count, piece.start + piece.length);
            if (from < to)
                std::memcpy(out + (from - offset), piece.data + (from - piece.start), to - from);
        }
    }

    // Where the samples were read into the trace; empty when they were not.
    std::size_t samplesStart = 0;
    std::size_t samplesLength = 0;
    // The section was there but no memory could be had for it.
    bool samplesOutOfMemory = false;
    // The caller asked for everything but the samples.
    bool samplesSkipped = false;
    // A trace buffer replaced while the file still reads from it is kept
    // here until the file is done with.
    std::vector<std::uint8_t> retiredSamples;

private:
    struct Piece {
        std::size_t start;
        const std::uint8_t* data;
        std::size_t length;
    };
    std::vector<Piece> pieces_;
    std::size_t size_ = 0;
};

namespace {

// ByteCursor's reading rules over a TestFileBytes: a file may be shorter than
// its header claims, and what is missing reads as zeros or as a short text.
class FileCursor {
public:
    explicit FileCursor(const TestFileBytes& file) : file_(file) {}

    std::size_t Position() const { return pos_; }
    std::size_t Remaining() const { return file_.Size() - pos_; }
    void Seek(std::uint64_t offset) { pos_ = offset > file_.Size() ? file_.Size() : static_cast<std::size_t>(offset); }

    void Take(std::uint8_t* out, std::size_t count)
    {
        std::size_t n = std::min(count, Remaining());
        file_.Copy(pos_, out, n);
        if (count > n)
            std::memset(out + n, 0, count - n);
        pos_ += n;
    }
    std::uint32_t U32()
    {
        std::uint8_t b[4];
        Take(b, sizeof b);
        return LittleEndian32(b);
    }
    double F64()
    {
        std::uint8_t b[8];
        Take(b, sizeof b);
        return ByteCursor(b, sizeof b).F64();
    }
    // As much of a `length`-byte text as the file holds; false when the
    // file ends inside it.
    bool Text(std::uint64_t length, std::string& out)
    {
        out.resize(std::min<std::size_t>(Remaining(), length));
        Take(reinterpret_cast<std::uint8_t*>(out.data()), out.size());
        return out.size() == length;
    }

private:
    const TestFileBytes& file_;
    std::size_t pos_ = 0;
};

// Where a file keeps its samples, from its first bytes alone, so that they
// can be read into the trace directly. Files that do not say (old sectioned
// versions) are read whole instead.
void FindSamplesSection(const std::uint8_t* fixed, std::size_t fileSize, std::size_t& start, std::size_t& length)
{
    start = length = 0;
    if (std::memcmp(fixed, "RKZ-", 4) == 0 || std::memcmp(fixed, "TKAN", 4) == 0) {
        if (fileSize > kOldLayoutSamplesOffset) {
            start = kOldLayoutSamplesOffset;
            length = fileSize - start;
        }
        return;
    }
    std::uint32_t version = LittleEndian32(fixed + 4);
    if (version < kFirstVersionWithSamplesOffset || version > kWrittenVersion)
        return;
    std::size_t offset = LittleEndian32(fixed + kSamplesOffsetField);
    std::size_t claimed = LittleEndian32(fixed + kSamplesLengthField);
    if (offset == 0 || offset >= fileSize || claimed == 0)
        return;
    start = offset;
    length = std::min(claimed, fileSize - offset);
}

// The samples [from, from + length) of the file as the trace, whole seconds
// only. Usually they were read into the trace already; otherwise they are
// copied out of what was read. 0 when there is no memory for them.
int LoadSamples(TestRecord& record, TestFileBytes& file, std::size_t from, std::size_t length)
{
    DynamicTrace& trace = record.trace;
    if (file.samplesSkipped) {
        trace.samples.clear();
        trace.sampleCount = trace.seconds = 0;
        return 1;
    }
    bool inTrace = file.samplesLength > 0 && from == file.samplesStart && length == file.samplesLength;
    if (!inTrace) {
        try {
            if (file.samplesOutOfMemory)
                throw std::bad_alloc();
            std::vector<std::uint8_t> samples(length);
            file.Copy(from, samples.data(), length);
            trace.samples.swap(samples);
            file.retiredSamples.swap(samples);
        } catch (const std::bad_alloc&) {
            trace.samples.clear();
            trace.sampleCount = trace.seconds = 0;
            if (record.prompter)
                record.prompter->Message(MessageStyle::Tkan, "Out of memory, allocating LTC data");
            return 0;
        }
    }
    CountWholeSeconds(trace, record.SampleRate());
    return 1;
}

// The file's name as a header text: names on the disk are UTF-8, header
// texts Windows-1252.
std::string FileNameText(const std::string& path)
{
    return Utf8ToCp1252(FileNamePart(path));
}

}  // namespace

int TestRecord::LoadTestFile(const std::string& path, SampleLoading samples)
{
    Reset();
    TraceRestamp restamp{trace};
    header.fileName = FileNameText(path);

    FileHandle handle(path);
    if (!handle.IsOpen())
        return 0;
    // The file's first bytes in one read: the fixed header, and for most
    // files everything before the samples, so that a listing of many files
    // reads each of them once.
    std::uint8_t head[kHeadReadSize];
    std::size_t headGot = 0;
    if (!handle.ReadAt(0, head, sizeof head, headGot))
        headGot = 0;  // not one of the magics, then
    std::uint8_t fixed[kFixedHeaderSize] = {};
    std::memcpy(fixed, head, std::min(headGot, sizeof fixed));

    if (HasTextTestName(header.fileName) && !IsKnownMagic(fixed)) {
        if (!LoadResultsTextFile(path))
            return 0;
        ComputeStaticRanges();
        return 1;
    }
    if (!IsKnownMagic(fixed))
        return 0;

    struct stat info {};
    if (::fstat(handle.Fd(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uint64_t>(info.st_size) > kMaxTestFileBytes)
        return 0;
    const auto fileSize = static_cast<std::size_t>(info.st_size);

    std::size_t samplesStart = 0, samplesLength = 0;
    FindSamplesSection(fixed, fileSize, samplesStart, samplesLength);
    const std::size_t samplesEnd = samplesStart + samplesLength;

    // The file in up to three reads: what precedes the samples, the samples
    // into the trace, what follows them. A file that is shorter than it was
    // a moment ago ends where the reading stopped.
    TestFileBytes file;
    std::vector<std::uint8_t> before, after;
    std::size_t size = 0;
    try {
        before.resize(samplesLength > 0 ? samplesStart : fileSize);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    std::size_t got = 0;
    if (before.size() <= headGot) {
        if (!before.empty())
            std::memcpy(before.data(), head, before.size());
        got = before.size();
    } else if (!handle.ReadAt(0, before.data(), before.size(), got)) {
        return 0;
    }
    file.Add(0, before.data(), got);
    size = got;
    bool complete = got == before.size();

    std::vector<std::uint8_t> samplesHead;
    if (complete && samplesLength > 0 && samples == SampleLoading::Skip) {
        // The old layout's record block reaches into its samples section;
        // that much of the section is still read.
        const std::size_t blockEnd = kOldLayoutRecordOffset + kRecordBlockSize;
        if (samplesStart < blockEnd) {
            samplesHead.resize(std::min(samplesLength, blockEnd - samplesStart));
            if (!handle.ReadAt(samplesStart, samplesHead.data(), samplesHead.size(), got))
                return 0;
            file.Add(samplesStart, samplesHead.data(), got);
        }
        file.samplesSkipped = true;
        size = samplesEnd;
    } else if (complete && samplesLength > 0) {
        try {
            trace.samples.resize(samplesLength);
        } catch (const std::bad_alloc&) {
            trace.samples.clear();
            file.samplesOutOfMemory = true;
        }
        if (!file.samplesOutOfMemory) {
            if (!handle.ReadAt(samplesStart, trace.samples.data(), samplesLength, got))
                return 0;
            trace.samples.resize(got);
            file.Add(samplesStart, trace.samples.data(), got);
            file.samplesStart = samplesStart;
            file.samplesLength = got;
            complete = got == samplesLength;
        }
        size = complete ? samplesEnd : samplesStart + got;
    }
    if (complete && samplesLength > 0 && samplesEnd < fileSize) {
        try {
            after.resize(fileSize - samplesEnd);
        } catch (const std::bad_alloc&) {
            return 0;
        }
        if (!handle.ReadAt(samplesEnd, after.data(), after.size(), got))
            return 0;
        file.Add(samplesEnd, after.data(), got);
        size = samplesEnd + got;
    }
    file.SetSize(size);

    int result = std::memcmp(fixed, "TTXB", 4) == 0 ? LoadSectioned(file) : LoadOldLayout(file);
    if (IsDynamic()) {
        trace.samples.resize(std::min(trace.samples.size(), static_cast<std::size_t>(trace.sampleCount) * kSampleSize));
    } else {
        // Only a dynamic record has samples, whatever the file carried.
        trace.samples.clear();
        trace.samples.shrink_to_fit();
        trace.sampleCount = trace.seconds = 0;
    }
    return result;
}

int TestRecord::LoadOldLayout(TestFileBytes& file)
{
    FileCursor in(file);
    in.Seek(kOldLayoutRecordOffset);
    in.Take(recordBlock.data(), kRecordBlockSize);
    ParseRecordBlock(recordBlock.data(), kRecordBlockSize);

    if (IsDynamic()) {
        std::size_t from = std::min(kOldLayoutSamplesOffset, file.Size());
        if (!LoadSamples(*this, file, from, file.Size() - from))
            return 0;
        ComputeDynamicRanges();
    } else {
        ComputeStaticRanges();
    }
    return 1;
}

int TestRecord::LoadSectioned(TestFileBytes& file)
{
    FileCursor in(file);
    in.Seek(4);
    std::uint32_t version = in.U32();
    // Versions this program knows; a later writer may have moved things.
    if (version < 1 || version > kWrittenVersion)
        return 0;

    std::uint32_t notesLength = 0, notesOffset = 0, dataPointsOffset = 0;
    std::uint32_t samplesLength = 0, samplesOffset = 0, textFlag = 0;
    if (version >= 2) {
        notesLength = in.U32();
        notesOffset = in.U32();
    }
    if (version >= 3) {
        in.U32();  // reserved
        dataPointsOffset = in.U32();
        samplesLength = in.U32();
        samplesOffset = in.U32();
    }
    if (version >= 4)
        textFlag = in.U32();

    // A file cut short keeps what it holds: the sections end where the file
    // does, and the texts are read as far as they go.
    auto readNotes = [&]() {
        if (notesLength == 0)
            return;
        FileCursor notes(file);
        notes.Seek(notesOffset);
        std::string text;
        notes.Text(notesLength, text);
        // A file cut before its notes keeps the notes its results text gave;
        // an empty section would wipe them, and a save would not bring them
        // back the same.
        if (!text.empty())
            notesText = std::move(text);
    };

    if (textFlag != 0) {
        textForm = true;
        std::string text;
        in.Text(in.U32(), text);
        int result =
            text.find("RKZ TEST RESULTS") != std::string::npos ? ParseResultsText(text) : ParseKeyValueRecord(text);
        readNotes();
        ComputeStaticRanges();
        return result;
    }

    if (version >= 5) {
        headerTextPresent = in.U32() != 0;
        if (headerTextPresent) {
            std::string results, lines;
            in.Text(in.U32(), results);
            ParseResultsText(results);
            in.Text(in.U32(), lines);
            ApplyHeaderLines(header, lines);
        }
    }
    in.Take(recordBlock.data(), kRecordBlockSize);
    std::size_t blockEnd = in.Position();
    readNotes();
    if (!headerTextPresent)
        ParseRecordBlock(recordBlock.data(), kRecordBlockSize);

    if (IsDynamic()) {
        std::size_t from, length;
        if (samplesOffset != 0) {
            from = std::min<std::size_t>(samplesOffset, file.Size());
            length = std::min<std::size_t>(samplesLength, file.Size() - from);
        } else {
            // Files without a samples offset keep their samples right after
            // the block; a notes section behind them is not sample data.
            from = blockEnd;
            std::size_t end = file.Size();
            if (notesLength != 0 && notesOffset >= from && notesOffset < end)
                end = notesOffset;
            length = end - from;
        }
        if (!LoadSamples(*this, file, from, length))
            return 0;
        ComputeDynamicRanges();
    }

    if (dataPointsOffset != 0) {
        FileCursor points(file);
        points.Seek(dataPointsOffset);
        std::uint32_t count = points.U32();
        int kept = 0;
        for (std::uint32_t i = 0; i < count && kept < kMaxDataPoints; ++i) {
            // The list ends where the file does: no point is made up of zeros.
            if (points.Remaining() < 2 * sizeof(double) + sizeof(std::uint32_t))
                break;
            DataPoint& p = dataPoints[kept];
            p = DataPoint{};
            p.time = points.F64();
            p.resistance = points.F64();
            if (!points.Text(points.U32(), p.comment))
                break;
            if (version >= 6) {
                if (points.Remaining() < 2 * sizeof(double))
                    break;
                p.current = points.F64();
                p.motorCurrent = points.F64();
            }
            ++kept;
        }
        dataPointCount = kept;
    }

    if (!IsDynamic())
        ComputeStaticRanges();
    return 1;
}

std::vector<std::uint8_t> TestRecord::SerializeTestFile()
{
    PatchRecordBlockHeader();

    ByteWriter out;
    out.Raw("TTXB", 4);
    out.U32(kWrittenVersion);
    for (std::size_t offset = 8; offset < 32; offset += 4)
        out.U32(0);
    out.U32(textForm ? 1 : 0);

    if (textForm) {
        PatchHeaderValues(recordText);
        out.U32(static_cast<std::uint32_t>(recordText.size()));
        out.Text(recordText);
    } else {
        out.U32(headerTextPresent ? 1 : 0);
        if (headerTextPresent) {
            std::string lines = HeaderLines(header);
            out.U32(static_cast<std::uint32_t>(recordText.size()));
            out.Text(recordText);
            out.U32(static_cast<std::uint32_t>(lines.size()));
            out.Text(lines);
        }
        out.Raw(recordBlock.data(), kRecordBlockSize);

        int points = std::clamp(dataPointCount, 0, kMaxDataPoints);
        if (points != 0) {
            std::size_t at = out.Size();
            out.U32(static_cast<std::uint32_t>(points));
            for (int i = 0; i < points; ++i) {
                const DataPoint& p = dataPoints[i];
                out.F64(p.time);
                out.F64(p.resistance);
                out.U32(static_cast<std::uint32_t>(p.comment.size()));
                out.Text(p.comment);
                out.F64(p.current);
                out.F64(p.motorCurrent);
            }
            out.PatchU32(kReservedField, 0);
            out.PatchU32(kReservedField + 4, static_cast<std::uint32_t>(at));
        }
        if (IsDynamic()) {
            std::size_t length =
                std::min(static_cast<std::size_t>(std::max(trace.sampleCount, 0)) * kSampleSize, trace.samples.size());
            std::size_t at = out.Size();
            out.Raw(trace.samples.data(), length);
            out.PatchU32(kSamplesLengthField, static_cast<std::uint32_t>(length));
            out.PatchU32(kSamplesLengthField + 4, static_cast<std::uint32_t>(at));
        }
    }

    if (!notesText.empty() && !IsDynamic()) {
        std::size_t at = out.Size();
        out.Text(notesText);
        out.PatchU32(kNotesLengthField, static_cast<std::uint32_t>(notesText.size()));
        out.PatchU32(kNotesLengthField + 4, static_cast<std::uint32_t>(at));
    }
    static_assert(kFixedHeaderSize == 36);
    return std::move(out.bytes);
}

int TestRecord::SaveTestFile(const std::string& path)
{
    std::vector<std::uint8_t> bytes = SerializeTestFile();
    if (!WriteFileAtomically(path, bytes.data(), bytes.size()))
        return 0;
    header.fileName = FileNameText(path);
    if (autoExportAfterSave)
        autoExportAfterSave(*this);
    return 1;
}

}  // namespace tkan
