#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "records/TestRecord.h"
#include "sim/RecordEncoder.h"
#include "sim/SimOptions.h"

namespace tkan {

// The header texts of every demonstration test.
TestHeader DemoHeader();

// Records as the instrument would send them, for the demonstration test of
// the command-line tool and for the simulated instrument. Everything is
// computed from the parameters and the seed, so the same parameters always
// give the same bytes.
struct DemoParameters {
    // Header texts as typed on the instrument: at most 20 characters each
    // (longer ones are cut), Windows-1252. Only the eight texts are used.
    TestHeader header = DemoHeader();

    SimDate date;  // when the test ran, by the instrument's clock

    // Dynamic records: 5 records 1000 samples/s, anything else is written as
    // 4 (2000 samples/s). Static records: one of 1-3, 9-11, 17-19; anything
    // else is written as 18.
    int testType = 4;

    // Dynamic records: the length is kept within the instrument's own test
    // (120 s at 2000 samples/s, 240 s at 1000).
    int seconds = 15;
    double setCurrentA = 10;
    int tapChanges = 2;  // raise operations of the tap changer
    std::uint64_t seed = 1;

    // Winding resistance at the first tap (dynamic) or at neutral (static),
    // and the change per tap, in micro-ohms. A negative step lowers.
    double windingResistance = 2450;
    double tapStep = 38;

    // Static records.
    int readingCount = 5;         // types 1-3 and 9-11
    int tapsPerSide = 8;          // types 17-19: readings from 8L through N to 8R
    bool hasTemperatures = true;  // false writes 0xFFFF: no temperature data
    double measureTemp = 24.5;
    double referenceTemp = 75;
    double tempConstant = 234.5;
};

// One operation of the tap changer in a dynamic record, times in seconds
// from the first sample.
struct DemoTapChange {
    double motorStart = 0;
    double motorStop = 0;
    double transitionStart = 0;  // the diverter switch leaves the old tap
    double transitionLength = 0;
    double resistanceBefore = 0;  // micro-ohms, steady value on the old tap
    double resistanceAfter = 0;   // and on the new one
};

// The sample rate and length a dynamic record of these parameters has.
int DemoSampleRate(const DemoParameters& params);
int DemoSeconds(const DemoParameters& params);

// When the tap changer operates in a dynamic record. Operations that do not
// fit in the record are left out; in a short record the motor runs shorter.
std::vector<DemoTapChange> DemoTapChanges(const DemoParameters& params);

// A dynamic record: the 256-byte record header followed by the samples.
std::vector<std::uint8_t> BuildDynamicRecord(const DemoParameters& params);

// The static type the parameters give, and that type's readings in order.
int DemoStaticType(const DemoParameters& params);
std::vector<InstrumentReading> DemoStaticReadings(const DemoParameters& params);

// A static record: the 256-byte record header followed by one 32-byte row
// per reading.
std::vector<std::uint8_t> BuildStaticRecord(const DemoParameters& params);

// The same static test as an RKZ meter of the first series sends it: one
// KEY=VALUE line per item, each ending in CR LF. This form has no third
// winding.
std::string BuildKeyValueRecord(const DemoParameters& params);

}  // namespace tkan
