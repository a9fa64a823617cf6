// The instrument's record block: parsing its 256-byte header and reading
// rows, and building a record from what the instrument sends.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>

#include "platform/Prompter.h"
#include "records/HeaderFields.h"
#include "records/TestRecord.h"
#include "records/TextLines.h"

namespace tkan {

namespace {

constexpr std::size_t kTypeOffset = 4;
constexpr std::size_t kCountOffset = 5;
constexpr std::size_t kDateOffset = 16;
constexpr std::size_t kMeasureTempOffset = 184;
constexpr std::size_t kReferenceTempOffset = 186;
constexpr std::size_t kTempConstantOffset = 188;
constexpr std::size_t kTapsOffset = 190;
constexpr unsigned kNoTemperature = 0xFFFF;

// A BCD byte as the instrument writes it: the hex digits read as a decimal
// number, a digit above 9 ending it (0x1A is 1).
int Bcd(std::uint8_t b)
{
    int high = b >> 4, low = b & 0x0F;
    if (high > 9)
        return 0;
    if (low > 9)
        return high;
    return high * 10 + low;
}

unsigned Word(const std::uint8_t* block, std::size_t offset)
{
    return block[offset] | static_cast<unsigned>(block[offset + 1]) << 8;
}

std::uint32_t BigEndian(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

std::string BlockText(const std::uint8_t* block, std::size_t offset)
{
    std::string text(reinterpret_cast<const char*>(block + offset), kHeaderBlockTextLength);
    // A NUL ends the text, as it does on the instrument.
    text.resize(std::min(text.find('\0'), text.size()));
    std::size_t end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

}  // namespace

void TestRecord::PatchRecordBlockHeader()
{
    for (const HeaderFieldInfo& f : kHeaderFields) {
        const std::string& text = header.*f.member;
        std::uint8_t* field = recordBlock.data() + f.blockOffset;
        std::memset(field, ' ', kHeaderBlockTextLength);
        std::memcpy(field, text.data(), std::min(text.size(), kHeaderBlockTextLength));
    }
    // Only the reference temperature is the operator's to change; the
    // measured temperature and the constant stay as the instrument sent them.
    // Clamped as a double: a temperature read from a damaged text can be far
    // outside what a long holds, and NaN must not reach the conversion.
    double scaled = std::trunc(referenceTemp * 10) + 600;
    if (!(scaled >= 0))
        scaled = 0;
    long word = static_cast<long>(std::min(scaled, double{0xFFFE}));
    recordBlock[kReferenceTempOffset] = static_cast<std::uint8_t>(word & 0xFF);
    recordBlock[kReferenceTempOffset + 1] = static_cast<std::uint8_t>(word >> 8);
}

int TestRecord::ParseRecordBlock(const std::uint8_t* block, std::size_t length)
{
    // Keep the block so that a save writes it back; a short block is padded
    // with zeros, which every field below reads as "nothing".
    if (block != recordBlock.data()) {
        std::size_t n = std::min(length, kRecordBlockSize);
        std::memmove(recordBlock.data(), block, n);
        std::memset(recordBlock.data() + n, 0, kRecordBlockSize - n);
    } else if (length < kRecordBlockSize) {
        std::memset(recordBlock.data() + length, 0, kRecordBlockSize - length);
    }
    const std::uint8_t* b = recordBlock.data();

    testType = b[kTypeOffset];
    readingCount = std::min<int>(b[kCountOffset], kMaxReadings);

    for (const HeaderFieldInfo& f : kHeaderFields)
        header.*f.member = BlockText(b, f.blockOffset);

    int month = Bcd(b[kDateOffset]);
    int day = Bcd(b[kDateOffset + 1]);
    int year = 2000 + Bcd(b[kDateOffset + 2]);
    int hour = Bcd(b[kDateOffset + 3]);
    int minute = Bcd(b[kDateOffset + 4]);
    int second = Bcd(b[kDateOffset + 5]);
    if (month < 1 || month > 12)
        month = 1;
    if (day < 1 || day > 31)
        day = 1;
    if (hour > 24)
        hour = 0;
    if (minute > 59)
        minute = 0;
    if (second > 59)
        second = 0;

    // The calendar normalises the fields the instrument may send out of
    // range: hour 24 is midnight of the next day, 31 April is 1 May. It is
    // the instrument's own clock time, so no time zone takes part: a local
    // conversion would move a time in a daylight-saving gap by an hour (and
    // reads the zone files on every record, which slows a folder listing).
    std::tm when{};
    when.tm_year = year - 1900;
    when.tm_mon = month - 1;
    when.tm_mday = day;
    when.tm_hour = hour;
    when.tm_min = minute;
    when.tm_sec = second;
    timegm(&when);
    // The month names and AM/PM of the record's date are the instrument's
    // English texts, whatever locale the desktop runs in.
    header.testDate = FormatTimeInCLocale("%b %d, %Y", when);
    header.testTime = FormatTimeInCLocale("%I:%M %p", when);

    if (Word(b, kMeasureTempOffset) != kNoTemperature) {
        measureTemp = (static_cast<int>(Word(b, kMeasureTempOffset)) - 600) / 10.0;
        referenceTemp = (static_cast<int>(Word(b, kReferenceTempOffset)) - 600) / 10.0;
        tempConstant = static_cast<int>(Word(b, kTempConstantOffset)) / 10.0;
        if (!IsDynamic())
            tempCorrected = true;
    }
    tapsPerSide = b[kTapsOffset];

    for (int i = 0; i < readingCount; ++i) {
        const std::uint8_t* row = b + kRecordHeaderSize + kReadingRowSize * i;
        StaticReading& r = readings[i];
        r = StaticReading{};
        r.current = BigEndian(row + 1);
        r.r1 = BigEndian(row + 5);
        r.r2 = BigEndian(row + 9);
        r.r3 = BigEndian(row + 13);
        r.timeText = std::string(15, ' ');
    }
    ApplyCorrection();
    return 1;
}

int TestRecord::TakeSamples(const std::uint8_t* bytes, std::size_t length, bool wholeSeconds)
{
    TraceRestamp restamp{trace};
    const std::size_t rate = static_cast<std::size_t>(SampleRate());
    std::size_t count = length / kSampleSize;
    if (wholeSeconds)
        count = count / rate * rate;  // a trailing part-second is dropped
    // The record's counters are ints; no instrument record comes near this.
    count = std::min<std::size_t>(count, 0x7FFFFFFF / kSampleSize);

    trace.samples.clear();
    trace.sampleCount = 0;
    trace.seconds = 0;
    try {
        trace.samples.assign(bytes, bytes + count * kSampleSize);
    } catch (const std::bad_alloc&) {
        trace.samples.clear();
        if (prompter)
            prompter->Message(MessageStyle::Tkan, "Out of memory, allocating LTC data");
        return 0;
    }
    trace.sampleCount = static_cast<int>(count);
    trace.seconds = static_cast<int>(count / rate);
    return 1;
}

int TestRecord::BuildFromInstrument(const std::uint8_t* bytes, std::size_t length)
{
    if (!bytes)
        length = 0;
    if (textForm) {
        std::string_view text(reinterpret_cast<const char*>(bytes), length);
        return ParseKeyValueRecord(text);
    }

    std::size_t kept = std::min(length, kRecordBufferSize);
    if (kept > 0)
        std::memmove(recordBlock.data(), bytes, kept);
    int result = ParseRecordBlock(recordBlock.data(), kept);

    if (IsDynamic()) {
        std::size_t sampleBytes = length > kRecordHeaderSize ? length - kRecordHeaderSize : 0;
        if (trace.durationLimit > 0) {
            std::size_t limit =
                static_cast<std::size_t>(trace.durationLimit) * static_cast<std::size_t>(SampleRate()) * kSampleSize;
            sampleBytes = std::min(sampleBytes, limit);
        }
        if (sampleBytes > 0)
            TakeSamples(bytes + kRecordHeaderSize, sampleBytes, false);
    }
    return result;
}

}  // namespace tkan
