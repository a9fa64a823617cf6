#include "sim/RecordEncoder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>
#include <utility>

#include "records/HeaderFields.h"

namespace tkan {

namespace {

// Where the instrument puts what in its 256-byte record header; the eight
// texts are placed by the header-field table.
enum HeaderOffset : std::size_t {
    kTypeAt = 4,
    kCountAt = 5,
    kDateAt = 16,
    kMeasureTempAt = 184,
    kReferenceTempAt = 186,
    kTempConstantAt = 188,
    kTapsAt = 190,
};
constexpr unsigned kNoTemperature = 0xFFFF;

constexpr double kResistanceCap = 100000000;  // the decoder's cap, micro-ohms
constexpr double kMotorCurrentUnit = 0.0138;  // amperes per count

// A sample field as mantissa x base^exponent: the smallest exponent whose
// rounded mantissa fits keeps the most precision; past the largest exponent
// the mantissa is held at its limit.
std::pair<unsigned, unsigned> MantissaAndExponent(double value, double base, unsigned maxMantissa, unsigned maxExponent)
{
    unsigned exponent = 0;
    double scale = 1;
    double q = std::round(value);
    while (q > maxMantissa && exponent < maxExponent) {
        ++exponent;
        scale *= base;
        q = std::round(value / scale);
    }
    return {static_cast<unsigned>(std::min(q, static_cast<double>(maxMantissa))), exponent};
}

std::uint8_t Bcd(int value)
{
    value = std::clamp(value, 0, 99);
    return static_cast<std::uint8_t>(((value / 10) << 4) | (value % 10));
}

void PutWordLE(std::vector<std::uint8_t>& block, std::size_t offset, unsigned value)
{
    block[offset] = static_cast<std::uint8_t>(value & 0xFF);
    block[offset + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

// Four-byte values are whole units; what cannot be one is 0.
std::uint32_t Whole(double value)
{
    return static_cast<std::uint32_t>(std::isfinite(value) ? std::clamp(std::round(value), 0.0, 4294967295.0) : 0.0);
}

void AppendLongBE(std::vector<std::uint8_t>& bytes, double value)
{
    const std::uint32_t v = Whole(value);
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<std::uint8_t>(v >> (24 - 8 * i)));
}

// Temperatures travel as tenths of a degree above -60 C.
unsigned TemperatureWord(double celsius)
{
    return static_cast<unsigned>(std::clamp(std::round(celsius * 10) + 600, 0.0, 65534.0));
}

// What an RKZ meter writes after TYPE= for a test of this type.
const char* KeyValueTypeText(int type)
{
    switch (type) {
    case 2:
    case 10: return "V1/V2";
    case 3:
    case 11: return "V1/V2/V3";
    case 17: return "V1 STATIC LTC";
    case 18: return "V1/V2 STATIC LTC";
    case 19: return "V1/V2/V3 STATIC LTC";
    default: return "V1 ONLY";
    }
}

std::string Hex(double value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(Whole(value)));
    return text;
}

std::string OneDecimal(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

}  // namespace

int WindingsOfType(int testType)
{
    switch (testType) {
    case 3:
    case 11:
    case 19: return 3;
    case 2:
    case 10:
    case 18: return 2;
    default: return 1;
    }
}

bool IsTapChangerType(int testType)
{
    return testType >= 17 && testType <= 19;
}

std::array<std::uint8_t, 6> EncodeSample(double resistanceMicroOhm, double currentA, double motorCurrentA)
{
    std::array<std::uint8_t, 6> s{};

    // Resistance: 13-bit mantissa, powers of six.
    unsigned rMantissa = 0, rExponent = 0;
    double r = resistanceMicroOhm;
    if (r >= kResistanceCap) {
        rMantissa = 8191;  // decodes to the cap itself
        rExponent = 7;
    } else if (r > 0) {
        std::tie(rMantissa, rExponent) = MantissaAndExponent(r, 6, 8191, 7);
    }
    s[2] = static_cast<std::uint8_t>(rMantissa & 0xFF);
    s[3] = static_cast<std::uint8_t>((rExponent << 5) | (rMantissa >> 8));

    // Test current: 12-bit mantissa of micro-amperes, powers of two.
    unsigned iMantissa = 0, iExponent = 0;
    double microAmps = currentA * 1000000.0;
    if (microAmps > 0) {
        if (!std::isfinite(microAmps)) {
            iMantissa = 4095;
            iExponent = 15;
        } else {
            std::tie(iMantissa, iExponent) = MantissaAndExponent(microAmps, 2, 4095, 15);
        }
    }
    s[0] = static_cast<std::uint8_t>(iMantissa & 0xFF);
    s[1] = static_cast<std::uint8_t>((iExponent << 4) | (iMantissa >> 8));

    // Motor current: sign and 15-bit magnitude.
    unsigned magnitude = 0;
    if (!std::isnan(motorCurrentA))
        magnitude = static_cast<unsigned>(std::min(std::round(std::fabs(motorCurrentA) / kMotorCurrentUnit), 32767.0));
    bool negative = motorCurrentA < 0 && magnitude > 0;  // no negative zero
    s[4] = static_cast<std::uint8_t>(magnitude & 0xFF);
    s[5] = static_cast<std::uint8_t>((negative ? 0x80 : 0) | (magnitude >> 8));
    return s;
}

void AppendSample(std::vector<std::uint8_t>& record, double resistanceMicroOhm, double currentA, double motorCurrentA)
{
    const std::array<std::uint8_t, 6> s = EncodeSample(resistanceMicroOhm, currentA, motorCurrentA);
    record.insert(record.end(), s.begin(), s.end());
}

std::vector<std::uint8_t> EncodeRecordHeader(const InstrumentRecord& r)
{
    std::vector<std::uint8_t> block(kRecordHeaderSize, 0);
    block[kTypeAt] = static_cast<std::uint8_t>(r.testType);
    block[kCountAt] = static_cast<std::uint8_t>(std::min<std::size_t>(r.readings.size(), 255));
    const SimDate& d = r.date;
    const int when[6] = {d.month, d.day, d.year - 2000, d.hour, d.minute, d.second};
    for (std::size_t i = 0; i < 6; ++i)
        block[kDateAt + i] = Bcd(when[i]);
    for (const HeaderFieldInfo& field : kHeaderFields) {
        const std::string& text = r.header.*field.member;
        for (std::size_t i = 0; i < kHeaderBlockTextLength; ++i)
            block[field.blockOffset + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : ' ';
    }
    if (r.hasTemperatures) {
        PutWordLE(block, kMeasureTempAt, TemperatureWord(r.measureTemp));
        PutWordLE(block, kReferenceTempAt, TemperatureWord(r.referenceTemp));
        PutWordLE(block, kTempConstantAt,
                  static_cast<unsigned>(std::clamp(std::round(r.tempConstant * 10), 0.0, 65535.0)));
    } else {
        for (std::size_t at : {kMeasureTempAt, kReferenceTempAt, kTempConstantAt})
            PutWordLE(block, at, kNoTemperature);
    }
    block[kTapsAt] = static_cast<std::uint8_t>(std::clamp(r.tapsPerSide, 0, 255));
    return block;
}

std::vector<std::uint8_t> EncodeStaticRecord(const InstrumentRecord& r)
{
    std::vector<std::uint8_t> bytes = EncodeRecordHeader(r);
    bytes.reserve(bytes.size() + kReadingRowSize * r.readings.size());
    for (const InstrumentReading& reading : r.readings) {
        const std::size_t row = bytes.size();
        bytes.push_back(0);
        for (double value : {reading.current, reading.r1, reading.r2, reading.r3})
            AppendLongBE(bytes, value);
        bytes.resize(row + kReadingRowSize, 0);
    }
    return bytes;
}

void AppendHeaderLines(std::string& text, const TestHeader& header, const std::string& lineEnd)
{
    for (const HeaderFieldInfo& field : kHeaderFields) {
        text += field.key;
        text += '=';
        text += header.*field.member;
        text += lineEnd;
    }
}

std::string EncodeKeyValueRecord(const InstrumentRecord& r)
{
    const std::string end = "\r\n";
    std::string text;
    auto add = [&](const char* key, const std::string& value) {
        text += key;
        text += '=';
        text += value;
        text += end;
    };
    char date[64];
    const SimDate& d = r.date;
    std::snprintf(date, sizeof date, "%02d/%02d/%04d %02d:%02d:%02d", std::clamp(d.month, 0, 99),
                  std::clamp(d.day, 0, 99), std::clamp(d.year, 0, 9999), std::clamp(d.hour, 0, 99),
                  std::clamp(d.minute, 0, 99), std::clamp(d.second, 0, 99));
    add("DATE", date);
    AppendHeaderLines(text, r.header, end);
    if (IsTapChangerType(r.testType))
        add("R/L", std::to_string(r.tapsPerSide));
    if (r.hasTemperatures) {
        add("Tm", OneDecimal(r.measureTemp));
        add("Ts", OneDecimal(r.referenceTemp));
        add("Tk", OneDecimal(r.tempConstant));
    }
    const int windings = WindingsOfType(r.testType);
    for (const InstrumentReading& reading : r.readings) {
        add("TYPE", KeyValueTypeText(r.testType));
        add("R1", Hex(reading.r1));
        if (windings >= 2)
            add("R2", Hex(reading.r2));
        add("CUR", Hex(reading.current));
    }
    return text;
}

}  // namespace tkan
