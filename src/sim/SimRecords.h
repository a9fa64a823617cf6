#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "records/TestRecord.h"
#include "sim/SimOptions.h"

namespace tkan {

// One test in the simulated instrument's memory: the bytes it streams for
// it, and what its directory listing says about it.
struct SimStoredRecord {
    int number = 0;
    // As streamed on the download command, without the end marker: a record
    // block with its rows or samples, or a key-value text from an RKZ meter.
    std::vector<std::uint8_t> bytes;
    bool keyValue = false;

    std::string dateText;  // "MM/DD/YY HH:MM:SS"
    std::string typeText;
    TestHeader header;  // the eight texts only
};

// Fills in the directory fields from the record's own bytes.
SimStoredRecord DescribeStoredRecord(int number, std::vector<std::uint8_t> bytes, bool keyValue);

// The records an instrument of this model holds out of the box. A TKAN has
// a dynamic test at each sample rate and two static tests; an RKZ meter
// holds static tests only, as key-value records.
std::vector<SimStoredRecord> DemoRecordSet(SimModel model, const SimDate& today);

// Adds small static records, numbered on, until the memory holds `count`.
void FillRecordMemory(std::vector<SimStoredRecord>& records, SimModel model, const SimDate& today, int count);

// The bytes an instrument of this model streams for a test the program
// holds: the record's own block where it has one, else a block or a
// key-value text built from its fields. Empty, with the reason in problem,
// when such an instrument cannot hold the test (a dynamic test on an RKZ).
std::vector<std::uint8_t> InstrumentFormOf(const TestRecord& record, SimModel model, std::string& problem);

// The test files (".test", ".tst-tkan", ".tst-rkz") of a folder in name
// order, numbered from 1. Files that do not load are skipped and named in
// problems. 0 when the folder cannot be read.
int LoadRecordFolder(const std::string& folder, SimModel model, std::vector<SimStoredRecord>& records,
                     std::vector<std::string>& problems);

}  // namespace tkan
