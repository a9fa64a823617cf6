// Test files: the sectioned layout (read in versions 1 to 6, written in 6),
// the two old layouts, and plain results-text files.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "records/AtomicFile.h"
#include "records/ByteCursor.h"
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
constexpr std::size_t kFixedHeaderSize = 36;

bool StartsWith(const std::vector<std::uint8_t>& bytes, const char* magic)
{
    return bytes.size() >= 4 && std::memcmp(bytes.data(), magic, 4) == 0;
}

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

bool ReadFirstFour(const std::string& path, std::uint8_t (&first4)[4])
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    std::memset(first4, 0, sizeof first4);
    std::size_t got = std::fread(first4, 1, sizeof first4, f);
    std::fclose(f);
    (void)got;  // a shorter file is simply not one of the magics
    return true;
}

void ApplyHeaderLine(TestHeader& h, std::string_view line)
{
    std::size_t eq = line.find('=');
    std::string_view key = line.substr(0, eq);
    std::string value = eq == std::string_view::npos ? std::string() : std::string(line.substr(eq + 1));
    if (key == "COMPANY") h.company = value;
    else if (key == "STATION") h.station = value;
    else if (key == "CIRCUIT") h.circuit = value;
    else if (key == "MFR") h.manufacturer = value;
    else if (key == "MODEL") h.model = value;
    else if (key == "SN") h.serialNumber = value;
    else if (key == "KVA") h.kva = value;
    else if (key == "OPERATOR") h.operatorName = value;
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
    return "COMPANY=" + h.company + "\n" + "STATION=" + h.station + "\n" + "CIRCUIT=" + h.circuit + "\n" +
           "MFR=" + h.manufacturer + "\n" + "MODEL=" + h.model + "\n" + "SN=" + h.serialNumber + "\n" +
           "KVA=" + h.kva + "\n" + "OPERATOR=" + h.operatorName + "\n";
}

}  // namespace

int TestRecord::LoadTestFile(const std::string& path)
{
    Reset();
    header.fileName = FileNamePart(path);

    if (HasTextTestName(header.fileName)) {
        std::uint8_t first4[4];
        if (ReadFirstFour(path, first4) && !IsKnownMagic(first4)) {
            if (!LoadResultsTextFile(path))
                return 0;
            ComputeStaticRanges();
            return 1;
        }
    }

    std::vector<std::uint8_t> file;
    if (!ReadWholeFile(path, file, kMaxTestFileBytes))
        return 0;
    if (StartsWith(file, "RKZ-") || StartsWith(file, "TKAN"))
        return LoadOldLayout(file);
    if (StartsWith(file, "TTXB"))
        return LoadSectioned(file);
    return 0;
}

int TestRecord::LoadOldLayout(const std::vector<std::uint8_t>& file)
{
    ByteCursor in(file.data(), file.size());
    in.Seek(kOldLayoutRecordOffset);
    in.Take(recordBlock.data(), kRecordBlockSize);
    ParseRecordBlock(recordBlock.data(), kRecordBlockSize);

    if (IsDynamic()) {
        std::size_t from = std::min(kOldLayoutSamplesOffset, file.size());
        if (!TakeSamples(file.data() + from, file.size() - from, true))
            return 0;
        ComputeDynamicRanges();
    } else {
        ComputeStaticRanges();
    }
    return 1;
}

int TestRecord::LoadSectioned(const std::vector<std::uint8_t>& file)
{
    ByteCursor in(file.data(), file.size());
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

    auto readNotes = [&]() {
        if (notesLength == 0)
            return true;
        ByteCursor notes(file.data(), file.size());
        notes.Seek(notesOffset);
        return notes.Text(notesLength, notesText);
    };

    std::fill(recordBlock.begin(), recordBlock.begin() + kRecordBlockSize, 0);

    if (textFlag != 0) {
        textForm = true;
        std::string text;
        if (!in.Text(in.U32(), text))
            return 0;
        int result = text.find("RKZ TEST RESULTS") != std::string::npos ? ParseResultsText(text)
                                                                           : ParseKeyValueRecord(text);
        if (!readNotes())
            return 0;
        ComputeStaticRanges();
        return result;
    }

    if (version >= 5) {
        headerTextPresent = in.U32() != 0;
        if (headerTextPresent) {
            std::string results, lines;
            if (!in.Text(in.U32(), results))
                return 0;
            ParseResultsText(results);
            if (!in.Text(in.U32(), lines))
                return 0;
            ApplyHeaderLines(header, lines);
        }
    }
    in.Take(recordBlock.data(), kRecordBlockSize);
    std::size_t blockEnd = in.Position();
    if (!readNotes())
        return 0;
    if (!headerTextPresent)
        ParseRecordBlock(recordBlock.data(), kRecordBlockSize);

    if (IsDynamic()) {
        std::size_t from, length;
        if (samplesOffset != 0) {
            from = std::min<std::size_t>(samplesOffset, file.size());
            length = std::min<std::size_t>(samplesLength, file.size() - from);
        } else {
            // Files without a samples offset keep their samples right after
            // the block; a notes section behind them is not sample data.
            from = blockEnd;
            std::size_t end = file.size();
            if (notesLength != 0 && notesOffset >= from && notesOffset < end)
                end = notesOffset;
            length = end - from;
        }
        if (!TakeSamples(file.data() + from, length, true))
            return 0;
        ComputeDynamicRanges();
    }

    if (dataPointsOffset != 0) {
        ByteCursor points(file.data(), file.size());
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
                return 0;
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
            std::size_t length = std::min(static_cast<std::size_t>(std::max(trace.sampleCount, 0)) * kSampleSize,
                                          trace.samples.size());
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
    header.fileName = FileNamePart(path);
    if (autoExportAfterSave)
        autoExportAfterSave(*this);
    return 1;
}

}  // namespace tkan
