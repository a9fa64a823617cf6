#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "records/TestRecord.h"
#include "sim/SimOptions.h"

namespace tkan {

// The instrument's side of the record formats: the record block with its
// reading rows or samples, and the key-value text of an RKZ meter of the
// first series. Every record the simulator, the demonstration, the fuzz
// seeds and the benchmarks make is written here, so they all carry the same
// bytes an instrument would.

// One reading row: current in instrument units (amperes x 10,000),
// resistances in micro-ohms; windings the type lacks are 0.
struct InstrumentReading {
    double current = 0;
    double r1 = 0, r2 = 0, r3 = 0;
};

// What an instrument writes about a test, in either form.
struct InstrumentRecord {
    int testType = 0;
    SimDate date;
    // The eight texts; the date, time and file name are not sent this way.
    TestHeader header;
    bool hasTemperatures = false;  // false writes 0xFFFF: no temperature data
    double measureTemp = 0, referenceTemp = 0, tempConstant = 0;
    int tapsPerSide = 0;
    std::vector<InstrumentReading> readings;  // static tests
};

// How many windings (1 to 3) a static test of this type measures.
int WindingsOfType(int testType);
// The static tap-changer tests, which step through the taps.
bool IsTapChangerType(int testType);

// The 6-byte sample that decodes to the nearest representable values:
// each field takes the smallest exponent whose mantissa fits, which keeps
// the most precision. Out-of-range values are held at the format's limits
// (a resistance of 100 ohms or more at the decoder's cap); negative and
// non-finite resistances and test currents become 0.
std::array<std::uint8_t, 6> EncodeSample(double resistanceMicroOhm, double currentA, double motorCurrentA);
void AppendSample(std::vector<std::uint8_t>& record, double resistanceMicroOhm, double currentA, double motorCurrentA);

// The 256-byte record header. Its reading count is the number of readings.
std::vector<std::uint8_t> EncodeRecordHeader(const InstrumentRecord& record);

// The header followed by one 32-byte row per reading.
std::vector<std::uint8_t> EncodeStaticRecord(const InstrumentRecord& record);

// The same test as an RKZ meter of the first series sends it: one KEY=VALUE
// line per item, each ending in CR LF. This form has no third winding.
std::string EncodeKeyValueRecord(const InstrumentRecord& record);

// The eight header texts as KEY=value lines, each ended by lineEnd.
void AppendHeaderLines(std::string& text, const TestHeader& header, const std::string& lineEnd);

}  // namespace tkan
